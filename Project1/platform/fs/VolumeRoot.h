// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include <QString>

#include <sys/types.h>

namespace platform {

// Whether `root` is still the root of the file system `device`: once a volume is
// unmounted, its mount point is a plain directory of another file system (on Windows: the
// drive letter holds a disk of that serial number). Asks the file system at `root`, so it
// waits for a disk that does not answer. The mount `root` is on decides, not the device
// number its files carry: btrfs gives each subvolume one of its own, which the mount table
// does not show.
#ifdef Q_OS_WIN
bool isMountedAt(const QString &root, dev_t device);
#else
// Asked of the directory `rootFd` opened at `root` (O_PATH serves): what is asked is what
// was opened.
bool isMountedAt(int rootFd, const QString &root, dev_t device);
#endif

#ifdef Q_OS_WIN
// What a drive tells of the disk in it: its label and serial number; an empty label and
// serial 0 when it holds no disk, cannot be read, or has not answered yet.
struct DriveIdentity {
    QString label;
    quint32 serial = 0;

    bool operator==(const DriveIdentity &) const = default;
};

// The label and serial number of the disk in the drive `root` ("e:"). Reads the disk.
DriveIdentity identityOf(const QString &root);
#endif

} // namespace platform
