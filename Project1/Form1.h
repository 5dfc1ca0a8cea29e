// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include "DiskWorker.h"
#include "StagedScan.h"
#include "TextFileLoader.h"
#include "VolumeFileFunctions.h"
#include "WidgetControls.h"
#include "WorkerFileFunctions.h"

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

// The program's one window. It lays out its controls and hands each handled event on:
//
//   Timer1 tick -> scan::tickSequence (stages, check, verdict, contents)
//     -> scan::AutorunFile (the autorun path of Drive1's volume and its operations)
//       -> platform::FileFunctions (the disk, through the disk worker's thread and the
//          orvane-disk helper process it hands each call to)
//          and platform::Controls (these widgets)
//
// "Delete" goes to scan::deleteCommand the same way; "Search Viruses" switches Timer1 on.
class Form1 : public QWidget
{
    Q_OBJECT

public:
    // `diskDeadline`: how long a volume may take to answer before it counts as not ready.
    explicit Form1(std::chrono::milliseconds diskDeadline = platform::DiskWorker::kDeadline, QWidget *parent = nullptr);

    void Command1_Click(); // Quit
    void Command2_Click(); // Delete
    void Command4_Click(); // About
    void Command5_Click(); // Search Viruses
    void Timer1_Timer();

private:
    QFrame *Picture1 = nullptr;               // the white banner
    QLabel *Label1 = nullptr;                 // the grey band across its top
    QLabel *Label2 = nullptr;                 // company name, on the band
    QLabel *Label3 = nullptr;                 // product name
    QLabel *Label4 = nullptr;                 // version
    QGroupBox *Frame1 = nullptr;              // "Removeable Disk"
    platform::DriveListBox *Drive1 = nullptr; // the volumes to choose from
    QGroupBox *Frame2 = nullptr;              // "Options"
    QCheckBox *Check1 = nullptr;              // "Show contents"
    QPushButton *Command4 = nullptr;          // "About"
    QPushButton *Command5 = nullptr;          // "Search Viruses"
    QTimer *Timer1 = nullptr;                 // the scan's 200 ms ticks
    QGroupBox *Frame4 = nullptr;              // untitled: progress and status
    QProgressBar *XP_ProgressBar1 = nullptr;  // the scan's progress
    QLabel *Label5 = nullptr;                 // the status line
    QGroupBox *Frame3 = nullptr;              // "Contents"
    QPlainTextEdit *Text1 = nullptr;          // the contents pane
    QPushButton *Command2 = nullptr;          // "Delete"
    QPushButton *Command1 = nullptr;          // "Quit"

    platform::DiskWorker m_disk; // where every call that reaches a volume runs
    platform::WorkerFileFunctions m_files{platform::volumeFileFunctions(), m_disk};
    platform::TextFileLoader r{m_files}; // the hidden loader of the file's text
    std::unique_ptr<platform::WidgetControls> m_controls;
    scan::TickCounter TickCount = 0;
};
