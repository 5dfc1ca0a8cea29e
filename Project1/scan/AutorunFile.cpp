// SPDX-License-Identifier: LicenseRef-proprietary
#include "AutorunFile.h"

namespace scan {

using platform::Result;
using platform::Status;

namespace {
#ifdef Q_OS_WIN
constexpr QLatin1StringView kAutorunSuffix("\\autorun.inf");
#else
constexpr QLatin1StringView kAutorunSuffix("/autorun.inf");
#endif
} // namespace

QString AutorunPath(const QString &driveSpecification)
{
    return driveSpecification + kAutorunSuffix;
}

Result<platform::VolumeEntry> AutorunFile::path()
{
    const Result<platform::Drive> drive = m_controls.drive();
    if (!drive.ok())
        return Result<platform::VolumeEntry>::failure(drive.status);
    return {{AutorunPath(drive.value.specification), drive.value.identity}};
}

Status AutorunFile::resetAttributes()
{
    const Result<platform::VolumeEntry> p = path();
    return p.ok() ? m_files.setAttributes(p.value, platform::FileAttributes::Normal) : p.status;
}

Result<QString> AutorunFile::presenceTest()
{
    const Result<platform::VolumeEntry> p = path();
    return p.ok() ? m_files.lookup(p.value) : Result<QString>::failure(p.status);
}

Status AutorunFile::remove()
{
    const Result<platform::VolumeEntry> p = path();
    return p.ok() ? m_files.deleteFile(p.value) : p.status;
}

Status AutorunFile::loadIntoR()
{
    const Result<platform::VolumeEntry> p = path();
    return p.ok() ? m_controls.loadIntoR(p.value) : p.status;
}

Result<QString> AutorunFile::readContents()
{
    return m_controls.rText();
}

void deleteCommand(platform::Controls &controls, platform::FileFunctions &files)
{
    AutorunFile file(controls, files);
    file.resetAttributes(); // a failed reset does not stop the deletion
    const Status deleted = file.remove();
    // Only a file that was there and stayed, or a disk that did not answer, is worth a
    // word; with no file, or no volume selected or readable, nothing is known to be kept.
    if (deleted == Status::Ok || deleted == Status::NotFound || deleted == Status::VolumeUnavailable
        || deleted == Status::ControlFailed)
        return;
    controls.messageBox(deleted == Status::VolumeNotAnswering
                            ? QStringLiteral("The disk did not answer; the autorun file may still be there.")
                            : QStringLiteral("The autorun file could not be deleted."),
                        platform::MessageStyle::Warning, QStringLiteral("Delete"));
}

} // namespace scan
