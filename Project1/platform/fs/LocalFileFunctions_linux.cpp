// SPDX-License-Identifier: LicenseRef-proprietary
#include "AttributeReset_linux.h"
#include "BoundedRead.h"
#include "DirectoryEntry_linux.h"
#include "FileFunctions.h"
#include "LocalFileFunctions.h"
#include "PathBytes_unix.h"
#include "SystemCall_unix.h"
#include "VolumeRoot.h"

#include <cerrno>
#include <fcntl.h>

namespace platform {

namespace {

// The directory `path` names an entry in (the volume's root), open, and that entry.
struct Located {
    Fd dir;
    DirectoryEntry entry;
};

// Failing to open or search the directory, for whatever reason, means the volume cannot be
// read at all, which callers must tell apart from a missing entry; so does a directory that
// is no longer the root of the volume asked for, checked on the directory opened.
Status locate(const VolumeEntry &file, Located &located)
{
    const QByteArray encoded = bytesFromPath(file.path);
    const qsizetype slash = encoded.lastIndexOf('/');
    QByteArray directory = encoded.left(slash);
    if (slash < 0)
        directory = QByteArrayLiteral(".");
    else if (slash == 0)
        directory = QByteArrayLiteral("/");
    // O_PATH: a lookup by name needs only search permission; findEntry opens the
    // directory for reading itself should it have to list it.
    located.dir = Fd(onDisk([&] { return ::open(directory.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC); }));
    if (!located.dir.valid())
        return Status::VolumeUnavailable;
    if (file.volume != 0 && !isMountedAt(located.dir.get(), pathFromBytes(directory), dev_t(file.volume)))
        return Status::VolumeUnavailable;
    Result<DirectoryEntry> entry = findEntry(located.dir.get(), encoded.mid(slash + 1));
    located.entry = entry.value;
    return entry.status;
}

Result<qsizetype> readSome(int fd, char *into, qsizetype room)
{
    const ssize_t n = onDisk([&] { return ::read(fd, into, size_t(room)); });
    return n >= 0 ? Result<qsizetype>{qsizetype(n)} : Result<qsizetype>::failure(statusFromErrno(errno));
}

// A deletion counts once it is on the disk: a stick that fails its writes drops it from the
// cache only, and the file is there again at the next mount. A directory that cannot be
// opened for reading, or a file system with nothing to flush, leaves the deletion as made.
Status flushDirectory(int dirFd)
{
    const Fd listFd(onDisk([&] { return ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
    if (!listFd.valid() || onDisk([&] { return ::fsync(listFd.get()); }) == 0 || isUnsupported(errno) || errno == EROFS)
        return Status::Ok;
    return statusFromErrno(errno);
}

class LocalFileFunctions final : public FileFunctions
{
public:
    Status setAttributes(const VolumeEntry &entry, FileAttributes) override
    {
        Located located;
        Fd file;
        if (const Status s = locate(entry, located); s != Status::Ok)
            return s;
        if (const Status s = openRegular(located.dir.get(), located.entry, file); s != Status::Ok)
            return s;
        return resetAttributes(file.get(), located.entry.info);
    }

    Status deleteFile(const VolumeEntry &entry) override
    {
        Located located;
        if (const Status s = locate(entry, located); s != Status::Ok)
            return s;
        // No AT_REMOVEDIR: should the entry have become a directory meanwhile, it stays.
        if (onDisk([&] { return ::unlinkat(located.dir.get(), located.entry.name.constData(), 0); }) != 0)
            return statusFromErrno(errno);
        return flushDirectory(located.dir.get());
    }

    Result<QString> lookup(const VolumeEntry &entry) override
    {
        Located located;
        const Status s = locate(entry, located);
        if (s == Status::NotFound)
            return {QString()};
        if (s != Status::Ok)
            return Result<QString>::failure(s);
        return {pathFromBytes(located.entry.name)};
    }

    Result<QByteArray> readPrefix(const VolumeEntry &entry, qsizetype limit) override
    {
        Located located;
        Fd file;
        if (const Status s = locate(entry, located); s != Status::Ok)
            return Result<QByteArray>::failure(s);
        if (const Status s = openRegular(located.dir.get(), located.entry, file); s != Status::Ok)
            return Result<QByteArray>::failure(s);
        const int fd = file.get();
        const off_t size = located.entry.info.st_size;
        return readAtMost([fd](char *into, qsizetype room) { return readSome(fd, into, room); },
                          size < 0 ? 0 : quint64(size), limit);
    }
};

} // namespace

FileFunctions &localFileFunctions()
{
    static LocalFileFunctions functions;
    return functions;
}

} // namespace platform
