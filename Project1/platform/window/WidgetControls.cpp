// SPDX-License-Identifier: LicenseRef-proprietary
#include "WidgetControls.h"

#include "DriveListBox.h"
#include "MessageBox.h"

#include "platform/files/DiskWorker.h"
#include "platform/files/VolumeFileFunctions.h"

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

Result<QString> WidgetControls::driveSpecification()
{
    if (!m_w.drive)
        return Result<QString>::failure(Status::ControlFailed);
    const std::optional<DriveListBox::Selection> selected = m_w.drive->selection();
    if (!selected)
        return Result<QString>::failure(Status::ControlFailed);
    if (selected->device == 0)
        return {selected->root};
    if (!m_w.disk)
        return Result<QString>::failure(Status::ControlFailed);
    const QString root = selected->root;
    const dev_t device = selected->device;
    m_w.disk->identify(root, QString::number(device));
    // Not asked in time, or not asked at all: never taken for a volume that went.
    const std::optional<std::optional<bool>> mounted =
        m_w.disk->run<std::optional<bool>>(root, [root, device] { return volumeIsMountedAt(root, device); });
    if (!mounted || !*mounted)
        return Result<QString>::failure(Status::VolumeNotAnswering);
    if (!**mounted)
        return Result<QString>::failure(Status::VolumeUnavailable);
    return {root};
}

Status WidgetControls::setProgressValue(int percent)
{
    return onWidget(m_w.progress, [&](QProgressBar &bar) { bar.setValue(percent); });
}

Status WidgetControls::messageBox(const QString &text, MessageStyle style, const QString &title)
{
    // Quit or the window's close while a disk was waited for: the scan runs to its end
    // unseen, and nothing may appear, nor be announced, once the program is ending.
    if (m_w.disk && m_w.disk->isEnding())
        return Status::ControlFailed;
    showMessageBox(m_w.form, text, style, title);
    return Status::Ok;
}

Status WidgetControls::loadIntoR(const QString &path)
{
    return m_w.r ? m_w.r->loadFile(path) : Status::ControlFailed;
}

Result<QString> WidgetControls::rText()
{
    if (!m_w.r)
        return Result<QString>::failure(Status::ControlFailed);
    return {m_w.r->text()};
}

} // namespace platform
