// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include "Controls.h"
#include "FileFunctions.h"

#include <QString>

namespace scan {

// The one file the program cares about, named in the root of the volume `Drive1` selects:
// the drive specification followed directly by the separator and "autorun.inf".
QString AutorunPath(const QString &driveSpecification);

// The operations on the autorun file of the selected volume. Each forms AutorunPath afresh
// from Drive1, so it acts on whatever volume is selected at that moment.
class AutorunFile
{
public:
    AutorunFile(platform::Controls &controls, platform::FileFunctions &files) : m_controls(controls), m_files(files) {}

    platform::Status resetAttributes();
    // The name of the file or link found in the root whatever its attributes, or an empty
    // string when there is none; a directory of that name does not count.
    platform::Result<QString> presenceTest();
    platform::Status remove();
    platform::Status loadIntoR();
    platform::Result<QString> readContents();

private:
    // AutorunPath on the volume chosen now.
    platform::Result<platform::VolumeEntry> path();

    platform::Controls &m_controls;
    platform::FileFunctions &m_files;
};

// What "Delete" does: reset the attributes, then delete. Nothing is shown unless a file
// that is there could not be removed.
void deleteCommand(platform::Controls &controls, platform::FileFunctions &files);

} // namespace scan
