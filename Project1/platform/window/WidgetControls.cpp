// SPDX-License-Identifier: LicenseRef-proprietary
#include "WidgetControls.h"

#include "DriveListBox.h"
#include "MessageBox.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTimer>

namespace platform {

namespace {
// A widget already gone (the window closing mid-scan) fails the operation instead of
// crashing it.
template <typename Widget, typename Action>
Status onWidget(const QPointer<Widget> &widget, Action action)
{
    if (!widget)
        return Status::ControlFailed;
    action(*widget);
    return Status::Ok;
}
} // namespace

Status WidgetControls::setStatusCaption(const QString &text)
{
    return onWidget(m_w.status, [&](QLabel &label) { label.setText(text); });
}

Status WidgetControls::setTimerEnabled(bool enabled)
{
    return onWidget(m_w.timer, [&](QTimer &timer) {
        if (!enabled)
            timer.stop();
        else if (!timer.isActive()) // a running scan keeps its rhythm
            timer.start();
    });
}

Result<CheckValue> WidgetControls::checkValue()
{
    if (!m_w.check)
        return Result<CheckValue>::failure(Status::ControlFailed);
    switch (m_w.check->checkState()) {
    case Qt::Checked:
        return {CheckValue::Ticked};
    case Qt::PartiallyChecked:
        return {CheckValue::Greyed};
    case Qt::Unchecked:
        break;
    }
    return {CheckValue::Unticked};
}

Status WidgetControls::setContentsText(const QString &text)
{
    return onWidget(m_w.contents, [&](QPlainTextEdit &edit) { edit.setPlainText(text); });
}

Result<Drive> WidgetControls::drive()
{
    const std::optional<Drive> selected = m_w.drive ? m_w.drive->selection() : std::nullopt;
    return selected ? Result<Drive>{*selected} : Result<Drive>::failure(Status::ControlFailed);
}

Status WidgetControls::setProgressValue(int percent)
{
    return onWidget(m_w.progress, [&](QProgressBar &bar) { bar.setValue(percent); });
}

Status WidgetControls::messageBox(const QString &text, MessageStyle style, const QString &title)
{
    // Quit or the window's close while a disk was waited for: the scan runs to its end
    // unseen, and nothing may appear, nor be announced, once the program is ending.
    if (m_w.ending && m_w.ending())
        return Status::ControlFailed;
    showMessageBox(m_w.form, text, style, title);
    return Status::Ok;
}

Status WidgetControls::loadIntoR(const VolumeEntry &file)
{
    return m_w.r ? m_w.r->loadFile(file) : Status::ControlFailed;
}

Result<QString> WidgetControls::rText()
{
    if (!m_w.r)
        return Result<QString>::failure(Status::ControlFailed);
    return {m_w.r->text()};
}

} // namespace platform
