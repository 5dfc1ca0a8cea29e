// SPDX-License-Identifier: LicenseRef-proprietary
#include "DirectoryEntry_linux.h"
#include "SystemCall_unix.h"

#include "FileSystemType_linux.h"

#include <QByteArrayView>

#include <cerrno>
#include <fcntl.h>

namespace platform {

bool isUnsupported(int error)
{
    return error == ENOSYS || error == ENOTTY || error == EOPNOTSUPP || error == EINVAL;
}

Status statusFromErrno(int error)
{
    if (isUnsupported(error))
        return Status::Unsupported;
    switch (error) {
    case ENOENT:
        return Status::NotFound;
    case EACCES:
    case EPERM:
        return Status::AccessDenied;
    case EROFS:
        return Status::WriteProtected;
    case ELOOP:
    case EISDIR:
    case ENXIO:
        return Status::NotRegularFile;
    default:
        return Status::IoError;
    }
}

namespace {
// The most entries a root is listed to: sixteen times what the largest FAT32 directory holds.
// A listing that goes on past it (a hostile file system, a FAT whose cluster chain loops)
// would never end.
constexpr qsizetype kMostListed = qsizetype(1) << 20;

// ASCII letters fold, as the Windows file systems match names; a name that merely looks
// alike in another script is another name.
bool sameNameInAnyCase(QByteArrayView name, QByteArrayView wanted)
{
    return name.size() == wanted.size() && name.compare(wanted, Qt::CaseInsensitive) == 0;
}
} // namespace

Result<DirectoryEntry> findEntry(int dirFd, const QByteArray &wanted)
{
    DirectoryEntry exact{wanted, {}};
    if (onDisk([&] { return ::fstatat(dirFd, wanted.constData(), &exact.info, AT_SYMLINK_NOFOLLOW); }) == 0) {
        if (!S_ISDIR(exact.info.st_mode))
            return {exact};
    } else if (errno != ENOENT) {
        return Result<DirectoryEntry>::failure(Status::VolumeUnavailable);
    }
    if (fileSystemFoldsCase(dirFd))
        return Result<DirectoryEntry>::failure(Status::NotFound);

    // Only another spelling needs the listing, and so read permission on the directory.
    Fd listFd(onDisk([&] { return ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
    Dir dir(listFd.valid() ? ::fdopendir(listFd.get()) : nullptr);
    if (!dir)
        return Result<DirectoryEntry>::failure(Status::VolumeUnavailable);
    (void)listFd.release(); // the stream owns it now

    Result<DirectoryEntry> best = Result<DirectoryEntry>::failure(Status::NotFound);
    qsizetype listed = 0;
    errno = 0;
    while (const dirent *d = onDisk([&] { return ::readdir(dir.get()); })) {
        if (++listed > kMostListed)
            return Result<DirectoryEntry>::failure(Status::VolumeUnavailable);
        const QByteArrayView name(d->d_name);
        // d_type is not consulted: a damaged or hostile file system may call a file a
        // directory there, and only lstat of the entry tells what it is.
        if (name == QByteArrayView(wanted) || !sameNameInAnyCase(name, wanted)
            || (best.ok() && QByteArrayView(best.value.name) < name))
            continue;
        DirectoryEntry candidate{name.toByteArray(), {}};
        if (onDisk([&] { return ::fstatat(dirFd, d->d_name, &candidate.info, AT_SYMLINK_NOFOLLOW); }) == 0
            && !S_ISDIR(candidate.info.st_mode))
            best = {candidate};
        errno = 0;
    }
    if (errno != 0 && !best.ok())
        return Result<DirectoryEntry>::failure(Status::VolumeUnavailable);
    return best;
}

Status openRegular(int dirFd, DirectoryEntry &entry, Fd &file)
{
    if (!S_ISREG(entry.info.st_mode))
        return Status::NotRegularFile;
    const auto stillTheFile = [&entry](int fd, struct stat &info) {
        return onDisk([&] { return ::fstat(fd, &info); }) == 0 && S_ISREG(info.st_mode)
            && info.st_dev == entry.info.st_dev && info.st_ino == entry.info.st_ino;
    };
    // Held first without being opened: a device swapped in for the file would act on an open.
    const Fd held(onDisk([&] { return ::openat(dirFd, entry.name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC); }));
    struct stat opened = {};
    if (!held.valid())
        return statusFromErrno(errno);
    if (!stillTheFile(held.get(), opened))
        return Status::NotRegularFile;
    // Through /proc the open reaches that inode and no other; without /proc, the name again,
    // and what it opened is checked once more.
    constexpr int kReadFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    const QByteArray heldPath = "/proc/self/fd/" + QByteArray::number(held.get());
    file = Fd(onDisk([&] { return ::open(heldPath.constData(), kReadFlags); }));
    if (!file.valid() && errno == ENOENT) {
        file = Fd(onDisk([&] { return ::openat(dirFd, entry.name.constData(), kReadFlags | O_NOFOLLOW); }));
        if (file.valid() && !stillTheFile(file.get(), opened))
            return Status::NotRegularFile;
    }
    if (!file.valid())
        return statusFromErrno(errno);
    entry.info = opened;
    return Status::Ok;
}

} // namespace platform
