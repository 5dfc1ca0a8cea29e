// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include "Controls.h"
#include "TextFileLoader.h"

#include <QPointer>

#include <functional>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QTimer;
class QWidget;

namespace platform {

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
    TextFileLoader *r = nullptr;  // the hidden loader, owned by the window
    std::function<bool()> ending; // whether the program is ending: no box appears then
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
    Result<Drive> drive() override;
    Status setProgressValue(int percent) override;
    Status messageBox(const QString &text, MessageStyle style, const QString &title) override;
    Status loadIntoR(const VolumeEntry &file) override;
    Result<QString> rText() override;

private:
    ControlWidgets m_w;
};

} // namespace platform
