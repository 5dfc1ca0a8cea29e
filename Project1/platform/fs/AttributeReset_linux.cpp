// SPDX-License-Identifier: LicenseRef-proprietary
#include "AttributeReset_linux.h"
#include "DirectoryEntry_linux.h"
#include "SystemCall_unix.h"

#include <QtEndian>

#include <cerrno>
#include <linux/magic.h>
#include <linux/msdos_fs.h>
#include <optional>
#include <sys/ioctl.h>
#include <sys/vfs.h>
#include <sys/xattr.h>

namespace platform {

namespace {

// The kernel's NTFS driver (ntfs3) marks its super block "ntfs"; linux/magic.h has no name for it.
constexpr __fsword_t kNtfs3Magic = 0x7366746e;

// FILE_ATTRIBUTE_READONLY, _HIDDEN, _SYSTEM and _ARCHIVE, as NTFS stores them.
constexpr quint32 kNtfsCleared = 0x1 | 0x2 | 0x4 | 0x20;

// The errors that say the file system has no such interface, or the file no such
// attribute, rather than that it failed.
bool notOffered(int error)
{
    return isUnsupported(error) || error == ENODATA || error == ERANGE;
}

// An empty result: the file system offers no FAT attribute ioctls.
std::optional<Status> clearFatAttributes(int fd)
{
    quint32 attributes = 0;
    if (onDisk([&] { return ::ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &attributes); }) != 0)
        return notOffered(errno) ? std::nullopt : std::optional(statusFromErrno(errno));
    // Volume label and directory stay as they are; the driver would refuse to change them.
    const quint32 cleared = attributes & ~quint32(ATTR_RO | ATTR_HIDDEN | ATTR_SYS | ATTR_ARCH);
    if (cleared != attributes && onDisk([&] { return ::ioctl(fd, FAT_IOCTL_SET_ATTRIBUTES, &cleared); }) != 0)
        return statusFromErrno(errno);
    return Status::Ok;
}

// Read, clear the four, write back only when something changed: every other bit, such as
// compressed, sparse or not content indexed, is kept. An empty result: no such attribute.
std::optional<Status> clearNtfsAttributes(int fd, const char *name, bool bigEndian)
{
    quint32 stored = 0;
    const ssize_t size = onDisk([&] { return ::fgetxattr(fd, name, &stored, sizeof stored); });
    if (size < 0)
        return notOffered(errno) ? std::nullopt : std::optional(statusFromErrno(errno));
    if (size != sizeof stored)
        return std::nullopt;
    const quint32 attributes = bigEndian ? qFromBigEndian(stored) : stored;
    const quint32 cleared = attributes & ~kNtfsCleared;
    if (cleared == attributes)
        return Status::Ok;
    const quint32 value = bigEndian ? qToBigEndian(cleared) : cleared;
    if (onDisk([&] { return ::fsetxattr(fd, name, &value, sizeof value, 0); }) != 0)
        return statusFromErrno(errno);
    return Status::Ok;
}

// Unlinking needs no write permission on the file itself. A file with other names shares
// its mode with them, and is left as it is; its link count asked afresh.
Status giveOwnerWrite(int fd, mode_t mode)
{
    struct stat now = {};
    if (onDisk([&] { return ::fstat(fd, &now); }) != 0)
        return statusFromErrno(errno);
    if (now.st_nlink > 1)
        return Status::Ok;
    if ((mode & S_IWUSR) == 0 && onDisk([&] { return ::fchmod(fd, (mode & 07777) | S_IWUSR); }) != 0)
        return statusFromErrno(errno);
    return Status::Ok;
}

} // namespace

Status resetAttributes(int fd, const struct stat &info)
{
    struct statfs fs = {};
    if (onDisk([&] { return ::fstatfs(fd, &fs); }) != 0)
        return statusFromErrno(errno);
    std::optional<Status> cleared;
    if (fs.f_type == MSDOS_SUPER_MAGIC || fs.f_type == EXFAT_SUPER_MAGIC) {
        cleared = clearFatAttributes(fd); // the kernel's exFAT has them in recent versions only
    } else {
        // ntfs-3g, and ntfs3 since Linux 6.2; FUSE and other file systems answer that they lack it.
        cleared = clearNtfsAttributes(fd, "system.ntfs_attrib_be", true);
        // ntfs3 before 6.2 has only the attribute in the machine's byte order.
        if (!cleared && fs.f_type == kNtfs3Magic)
            cleared = clearNtfsAttributes(fd, "system.ntfs_attrib", false);
    }
    // What is left is write permission, which on exFAT without the ioctls clears read-only.
    return cleared ? *cleared : giveOwnerWrite(fd, info.st_mode);
}

} // namespace platform
