// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include "Controls.h"
#include "LocalFileFunctions.h"
#include "StagedScan.h"
#include "TextFileLoader.h"

#include <QStringList>

#include <functional>
#include <optional>

// The scan's and Delete's boxes, as FakeControls notes them: "title|text|style".
inline const QString kCleanBox = QStringLiteral("Information|This Disk was escaped from 'autorun' viruses.|64");
inline const QString kFoundBox = QStringLiteral("Information|An autorun file was founded, see its contents.|64");
inline const QString kNotCheckedBox = QStringLiteral("Information|This Disk could not be checked.|48");
inline const QString kNotDeletedBox = QStringLiteral("Delete|The autorun file could not be deleted.|48");
inline const QString kNotAnsweredBox =
    QStringLiteral("Delete|The disk did not answer; the autorun file may still be there.|48");

// The window's controls without a window, with the drive specification `selected` (none:
// the drive read fails, as with no volume at all), keeping what a user would see.
class FakeControls final : public platform::Controls
{
public:
    explicit FakeControls(std::optional<QString> drive = QString(),
                          platform::FileFunctions &files = platform::localFileFunctions())
        : selected(std::move(drive)), m_r(files)
    {
    }

    std::optional<QString> selected;
    platform::CheckValue check = platform::CheckValue::Ticked;
    std::function<void()> whileBoxOpen;

    QString caption = QStringLiteral("Done");
    QString contents;
    int progress = 0;
    bool timerEnabled = false;
    QStringList boxes; // "title|text|style"

    // The caption, the progress and the timer as a user sees them: "Done 0 off".
    QString shown() const
    {
        return caption + u' ' + QString::number(progress) + (timerEnabled ? u" on"_qs : u" off"_qs);
    }

    platform::Status setStatusCaption(const QString &text) override { return caption = text, platform::Status::Ok; }
    platform::Status setTimerEnabled(bool on) override { return timerEnabled = on, platform::Status::Ok; }
    platform::Status setContentsText(const QString &text) override { return contents = text, platform::Status::Ok; }
    platform::Status setProgressValue(int percent) override { return progress = percent, platform::Status::Ok; }
    platform::Result<platform::CheckValue> checkValue() override { return {check}; }
    platform::Result<platform::Drive> drive() override
    {
        return selected ? platform::Result<platform::Drive>{{*selected}}
                        : platform::Result<platform::Drive>::failure(platform::Status::ControlFailed);
    }
    platform::Result<QString> rText() override { return {m_r.text()}; }
    platform::Status messageBox(const QString &text, platform::MessageStyle style, const QString &title) override
    {
        boxes.append(title + u'|' + text + u'|' + QString::number(int(style)));
        if (whileBoxOpen)
            whileBoxOpen();
        return platform::Status::Ok;
    }
    platform::Status loadIntoR(const platform::VolumeEntry &file) override { return m_r.loadFile(file); }

private:
    platform::TextFileLoader m_r;
};

// `ticks` ticks of the scan's timer, counted on from `tickCount`.
inline void runTicks(scan::TickCounter &tickCount, int ticks, platform::Controls &controls,
                     platform::FileFunctions &files = platform::localFileFunctions())
{
    for (int i = 0; i < ticks; ++i)
        scan::tickSequence(tickCount, controls, files);
}
