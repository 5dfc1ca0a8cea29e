// SPDX-License-Identifier: LicenseRef-proprietary
#include "FileSystemType_linux.h"

#include "MountTable_linux.h"
#include "SystemCall_unix.h"

#include <QFile>

#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>

namespace platform {

namespace {
// FUSE's super block magic, which linux/magic.h does not name.
constexpr decltype(statfs::f_type) kFuseMagic = 0x65735546;

// Whether the file system of type `fsType` (as the mount table names it) matches names in
// any letter case itself, as FAT and exFAT do. A FUSE block device ("fuseblk") may be NTFS,
// which does not fold: it is not listed.
bool foldsCase(QByteArrayView fsType)
{
    return fsType == "vfat" || fsType == "msdos" || fsType == "exfat" || fsType == "fuse.fusefat"
        || fsType == "fuse.exfat";
}
} // namespace

bool fileSystemFoldsCase(int fd)
{
    struct statfs fs = {};
    if (onDisk([&] { return ::fstatfs(fd, &fs); }) != 0)
        return false;
    if (fs.f_type == MSDOS_SUPER_MAGIC || fs.f_type == EXFAT_SUPER_MAGIC)
        return true;
    if (fs.f_type != kFuseMagic)
        return false;
    // Which FUSE file system it is, only the mount table tells.
    struct stat info = {};
    QFile table(QString::fromLatin1(kMountTable));
    if (onDisk([&] { return ::fstat(fd, &info); }) != 0 || !table.open(QIODevice::ReadOnly))
        return false;
    const QList<MountEntry> mounts = parseMountInfo(table.readAll());
    for (const MountEntry &mount : mounts) {
        if (mount.device == info.st_dev)
            return foldsCase(mount.fsType);
    }
    return false;
}

} // namespace platform
