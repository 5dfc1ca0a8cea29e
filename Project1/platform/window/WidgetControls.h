// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include "platform/Controls.h"
#include "platform/files/TextFileLoader.h"

#include <QPointer>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QTimer;
class QWidget;

namespace platform {

class DiskWorker;
class DriveListBox;

// The window's widgets that the scan operations act on.
struct ControlWidgets {
    QPointer<QWidget> form;
    QPointer<DriveListBox> drive;
    QPointer<QLabel> status;
    QPointer<QProgressBar> progress;
    QPointer<QCheckBox> check;
    QPointer<QPlainTextEdit> contents;
    QPointer<QTimer> timer;
    TextFileLoader *r = nullptr; // the hidden loader, owned by the window
    DiskWorker *disk = nullptr;  // where the check that a volume is still there runs
};

// The control operations over the window's real widgets.
class WidgetControls final : public Controls
{
public:
    explicit WidgetControls(const ControlWidgets &widgets) : m_w(widgets) {}

    Status setStatusCaption(const QString &text) override;
    Status setTimerEnabled(bool enabled) override;
    Result<CheckValue> checkValue() override;
    Status setContentsText(const QString &text) override;
    Result<QString> driveSpecification() override;
    Status setProgressValue(int percent) override;
    Status messageBox(const QString &text, MessageStyle style, const QString &title) override;
    Status loadIntoR(const QString &path) override;
    Result<QString> rText() override;

private:
    ControlWidgets m_w;
};

} // namespace platform
