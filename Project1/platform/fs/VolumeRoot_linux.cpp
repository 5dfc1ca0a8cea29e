// SPDX-License-Identifier: LicenseRef-proprietary
#include "VolumeRoot.h"

#include "MountTable_linux.h"
#include "SystemCall_unix.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>

namespace platform {

bool isMountedAt(int rootFd, const QString &root, dev_t device)
{
    struct statx info = {};
    const int flags = AT_EMPTY_PATH | AT_STATX_SYNC_AS_STAT;
    if (onDisk([&] { return ::statx(rootFd, "", flags, STATX_MNT_ID, &info); }) != 0)
        return false;
    if ((info.stx_mask & STATX_MNT_ID) == 0) // a kernel before 5.8
        return makedev(info.stx_dev_major, info.stx_dev_minor) == device;
    QFile table(QString::fromLatin1(kMountTable));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    const QList<MountEntry> mounts = parseMountInfo(table.readAll());
    return std::any_of(mounts.begin(), mounts.end(), [&](const MountEntry &mount) {
        return mount.id == info.stx_mnt_id && mount.device == device && mount.mountPoint == root;
    });
}

} // namespace platform
