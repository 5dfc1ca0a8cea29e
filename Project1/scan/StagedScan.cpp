// SPDX-License-Identifier: LicenseRef-proprietary
#include "StagedScan.h"

#include "AutorunFile.h"

namespace scan {

using platform::CheckValue;
using platform::Controls;
using platform::MessageStyle;
using platform::Result;
using platform::Status;

namespace {

enum class Stage : TickCounter { Loading = 1, Searching = 5, Checking = 10 };

constexpr int kProgressLoading = 10;
constexpr int kProgressSearching = 70;
constexpr int kProgressChecking = 100;
constexpr int kProgressRest = 0;

bool at(TickCounter tickCount, Stage stage)
{
    return tickCount == static_cast<TickCounter>(stage);
}

void showVerdict(Controls &controls, const Result<QString> &presence)
{
    const QString title = QStringLiteral("Information");
    if (!presence.ok()) {
        // The root could not be read: saying the disk is clean would be a guess.
        controls.messageBox(QStringLiteral("This Disk could not be checked."), MessageStyle::Warning, title);
    } else if (presence.value.isEmpty()) {
        controls.messageBox(QStringLiteral("This Disk was escaped from 'autorun' viruses."), MessageStyle::Information,
                            title);
    } else {
        controls.messageBox(QStringLiteral("An autorun file was founded, see its contents."), MessageStyle::Information,
                            title);
    }
}

void showContents(AutorunFile &file, Controls &controls)
{
    // Without a file loaded in this scan the pane is emptied, so that an earlier volume's
    // text is never shown as this one's.
    QString text;
    if (file.loadIntoR() == Status::Ok) {
        const Result<QString> contents = file.readContents();
        if (contents.ok())
            text = contents.value;
    }
    controls.setContentsText(text);
}

} // namespace

void searchCommand(Controls &controls)
{
    controls.setTimerEnabled(true);
}

void tickSequence(TickCounter &tickCount, Controls &controls, platform::FileFunctions &files)
{
    ++tickCount;

    if (at(tickCount, Stage::Loading)) {
        controls.setStatusCaption(QStringLiteral("Loading orvane..."));
        controls.setProgressValue(kProgressLoading);
    }
    if (at(tickCount, Stage::Searching)) {
        controls.setStatusCaption(QStringLiteral("Searching .inf..."));
        controls.setProgressValue(kProgressSearching);
    }
    if (!at(tickCount, Stage::Checking))
        return;

    controls.setStatusCaption(QStringLiteral("Loading..."));
    controls.setProgressValue(kProgressChecking);

    AutorunFile file(controls, files);
    file.resetAttributes();                     // a write-protected disk still gets its presence test
    showVerdict(controls, file.presenceTest()); // ticks meanwhile only raise the counter

    controls.setTimerEnabled(false);
    tickCount = 0;

    // An unreadable check box counts as ticked: the contents are shown.
    const Result<CheckValue> check = controls.checkValue();
    if (!check.ok() || check.value == CheckValue::Ticked)
        showContents(file, controls);

    controls.setProgressValue(kProgressRest);
    controls.setStatusCaption(QStringLiteral("Done"));
}

} // namespace scan
