#pragma once

#include "platform/RichTextBox.h"
#include "platform/WidgetControls.h"
#include "scan/StagedScan.h"

#include <QWidget>

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;

namespace platform {
class DriveListBox;
}

// The program's one window. It lays out its controls and hands each handled event to the
// scan operations; the controls keep the names a user's documentation gives them.
class Form1 : public QWidget
{
    Q_OBJECT

public:
    explicit Form1(QWidget *parent = nullptr);

    [[nodiscard]] scan::TickCounter tickCount() const { return TickCount; }

    void Command1_Click(); // Quit
    void Command2_Click(); // Delete
    void Command4_Click(); // About
    void Command5_Click(); // Search Viruses
    void Timer1_Timer();

private:
    QFrame *Picture1 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QGroupBox *Frame1 = nullptr;
    platform::DriveListBox *Drive1 = nullptr;
    QGroupBox *Frame2 = nullptr;
    QCheckBox *Check1 = nullptr;
    QPushButton *Command4 = nullptr;
    QPushButton *Command5 = nullptr;
    QTimer *Timer1 = nullptr;
    QGroupBox *Frame4 = nullptr;
    QProgressBar *XP_ProgressBar1 = nullptr;
    QLabel *Label5 = nullptr;
    QGroupBox *Frame3 = nullptr;
    QPlainTextEdit *Text1 = nullptr;
    QPushButton *Command2 = nullptr;
    QPushButton *Command1 = nullptr;

    platform::RichTextBox r{platform::localFileFunctions()};
    std::unique_ptr<platform::WidgetControls> m_controls;
    scan::TickCounter TickCount = 0;
};
