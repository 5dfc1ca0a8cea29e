// SPDX-License-Identifier: LicenseRef-proprietary
#include "VolumeList.h"

#include "DriveIdentities_win.h"
#include "Errors_win.h"
#include "MountWatcher.h"
#include "TextDecoding.h"
#include "VolumeRoot.h"

#include <windows.h>

#include <algorithm>

namespace platform {

namespace {

// Never destroyed: a question to a dead disk may outlive the program's own objects.
DriveIdentities &driveIdentities()
{
    static auto *identities = new DriveIdentities(identityOf, driveIdentitiesChanged);
    return *identities;
}

int groupOf(unsigned type)
{
    switch (type) {
    case DRIVE_REMOVABLE:
        return 0;
    case DRIVE_FIXED:
    case DRIVE_CDROM:
    case DRIVE_RAMDISK:
        return 1;
    default:
        return -1; // network, unknown, no root
    }
}

} // namespace

QList<Volume> volumesFromDrives(const QList<DriveInfo> &drives)
{
    QList<DriveInfo> sorted;
    for (const DriveInfo &d : drives) {
        if (groupOf(d.type) >= 0)
            sorted.append(d);
    }
    std::stable_sort(sorted.begin(), sorted.end(), [](const DriveInfo &a, const DriveInfo &b) {
        if (groupOf(a.type) != groupOf(b.type))
            return groupOf(a.type) < groupOf(b.type);
        return a.root.compare(b.root, Qt::CaseInsensitive) < 0;
    });
    QList<Volume> volumes;
    for (const DriveInfo &d : sorted) {
        const QString root = d.root.toLower();
        volumes.append({root, d.label.isEmpty() ? root : showableLine(root + QStringLiteral(" [") + d.label + u']'),
                        d.type == DRIVE_REMOVABLE, dev_t(d.serial), root,
                        d.serial == 0 ? QString() : QString::number(d.serial, 16).rightJustified(8, u'0')});
    }
    return volumes;
}

QList<Volume> mountedVolumes()
{
    failCriticalErrorsQuietly();
    wchar_t buffer[32 * 4 + 1] = {}; // "a:\" and its NUL for each of 26 letters, and the last NUL
    const DWORD length = ::GetLogicalDriveStringsW(DWORD(std::size(buffer)), buffer);
    if (length == 0 || length > std::size(buffer))
        return {};
    QList<DriveInfo> drives;
    for (const wchar_t *p = buffer; *p != 0; p += wcslen(p) + 1) {
        const unsigned type = ::GetDriveTypeW(p);
        if (groupOf(type) >= 0)
            drives.append({QString::fromWCharArray(p, 2), type, {}, 0});
    }
    // What each drive last answered; a new answer lists the drives again.
    for (DriveInfo &d : drives) {
        const DriveIdentity identity = driveIdentities().ask(d.root);
        d.label = identity.label;
        d.serial = identity.serial;
    }
    return volumesFromDrives(drives);
}

} // namespace platform
