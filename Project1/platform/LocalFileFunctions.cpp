#include "FileFunctions.h"

#include "EntryName.h"

#include <QFile>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace platform {

namespace {

// A file descriptor closed on every path out of the function that holds it.
class Fd
{
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(Fd &&other) noexcept
    {
        std::swap(m_fd, other.m_fd);
        return *this;
    }

    [[nodiscard]] int get() const { return m_fd; }
    [[nodiscard]] bool valid() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

Status statusFromErrno(int error)
{
    switch (error) {
    case ENOENT:
        return Status::NotFound;
    case EACCES:
    case EPERM:
        return Status::AccessDenied;
    case EROFS:
        return Status::WriteProtected;
    case ENOSYS:
    case ENOTTY:
    case EOPNOTSUPP:
        return Status::Unsupported;
    case ELOOP:
    case EISDIR:
    case ENXIO:
        return Status::NotRegularFile;
    default:
        return Status::IoError;
    }
}

struct Entry {
    QByteArray name; // as the directory spells it
    struct stat info = {};
};

// The non-directory entry of the directory whose name is `wanted` in any letter case,
// never following a link. The exact spelling wins; otherwise the first in byte order, so
// that repeated operations agree on the entry where a case-sensitive file system holds
// several.
Result<Entry> findEntry(int dirFd, const QByteArray &wanted)
{
    Entry exact{wanted, {}};
    if (::fstatat(dirFd, wanted.constData(), &exact.info, AT_SYMLINK_NOFOLLOW) == 0) {
        if (!S_ISDIR(exact.info.st_mode))
            return {exact};
    } else if (errno != ENOENT) {
        return Result<Entry>::failure(Status::VolumeUnavailable);
    }

    const int listFd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (!dir) {
        if (listFd >= 0)
            ::close(listFd);
        return Result<Entry>::failure(Status::VolumeUnavailable);
    }
    Result<Entry> best = Result<Entry>::failure(Status::NotFound);
    errno = 0;
    while (const dirent *d = ::readdir(dir)) {
        const QByteArrayView name(d->d_name);
        if (d->d_type == DT_DIR || name == QByteArrayView(wanted) || !entryNameMatches(name, wanted)
            || (best.ok() && QByteArrayView(best.value.name) < name))
            continue;
        Entry candidate{name.toByteArray(), {}};
        if (::fstatat(dirFd, d->d_name, &candidate.info, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISDIR(candidate.info.st_mode))
            best = {candidate};
        errno = 0;
    }
    const int readError = errno;
    ::closedir(dir);
    if (readError != 0 && !best.ok())
        return Result<Entry>::failure(Status::VolumeUnavailable);
    return best;
}

// The directory `path` names an entry in (the volume's root), open, and that entry.
struct Located {
    Fd dir;
    Entry entry;
};

// Failing to open or search the directory, for whatever reason, means the volume cannot be
// read at all, which callers must tell apart from a missing entry.
Status locate(const QString &path, Located &located)
{
    const QByteArray encoded = QFile::encodeName(path);
    const qsizetype slash = encoded.lastIndexOf('/');
    const QByteArray directory = slash < 0 ? QByteArrayLiteral(".")
        : slash == 0                       ? QByteArrayLiteral("/")
                                           : encoded.left(slash);
    located.dir = Fd(::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!located.dir.valid())
        return Status::VolumeUnavailable;
    Result<Entry> entry = findEntry(located.dir.get(), encoded.mid(slash + 1));
    located.entry = entry.value;
    return entry.status;
}

// Opens the regular file found for reading without following a link and without
// blocking, and checks that it is still the entry that was looked up; the entry's
// information is then the open file's.
Status openRegular(Located &located, Fd &file)
{
    if (!S_ISREG(located.entry.info.st_mode))
        return Status::NotRegularFile;
    file = Fd(::openat(located.dir.get(), located.entry.name.constData(),
                       O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file.valid())
        return statusFromErrno(errno);
    struct stat opened = {};
    if (::fstat(file.get(), &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_dev != located.entry.info.st_dev
        || opened.st_ino != located.entry.info.st_ino)
        return Status::NotRegularFile;
    located.entry.info = opened;
    return Status::Ok;
}

Status clearFatAttributes(int fd)
{
    quint32 attributes = 0;
    if (::ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &attributes) != 0)
        return statusFromErrno(errno);
    attributes &= ~quint32(ATTR_RO | ATTR_HIDDEN | ATTR_SYS | ATTR_ARCH);
    if (::ioctl(fd, FAT_IOCTL_SET_ATTRIBUTES, &attributes) != 0)
        return statusFromErrno(errno);
    return Status::Ok;
}

// Reads at most `limit` bytes into a buffer sized for the file's `size` plus one byte to
// see it end, grown should the file be longer by now.
Result<QByteArray> readAtMost(int fd, off_t size, qsizetype limit)
{
    QByteArray bytes(qMin(limit, qsizetype(qMax<off_t>(size, 0)) + 1), Qt::Uninitialized);
    qsizetype filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (bytes.size() == limit)
                break;
            bytes.resize(qMin(limit, bytes.size() * 2));
        }
        const ssize_t n = ::read(fd, bytes.data() + filled, size_t(bytes.size() - filled));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Result<QByteArray>::failure(statusFromErrno(errno));
        if (n == 0)
            break;
        filled += n;
    }
    bytes.truncate(filled);
    return {bytes};
}

class LocalFileFunctions final : public FileFunctions
{
public:
    Status setAttributes(const QString &path, FileAttributes) override
    {
        Located located;
        Fd file;
        if (const Status s = locate(path, located); s != Status::Ok)
            return s;
        if (const Status s = openRegular(located, file); s != Status::Ok)
            return s;
        struct statfs fs = {};
        if (::fstatfs(file.get(), &fs) == 0 && fs.f_type == MSDOS_SUPER_MAGIC)
            return clearFatAttributes(file.get());
        const mode_t mode = located.entry.info.st_mode;
        if ((mode & S_IWUSR) == 0 && ::fchmod(file.get(), (mode & 07777) | S_IWUSR) != 0)
            return statusFromErrno(errno);
        return Status::Ok;
    }

    Status deleteFile(const QString &path) override
    {
        Located located;
        if (const Status s = locate(path, located); s != Status::Ok)
            return s;
        // No AT_REMOVEDIR: should the entry have become a directory meanwhile, it stays.
        if (::unlinkat(located.dir.get(), located.entry.name.constData(), 0) != 0)
            return statusFromErrno(errno);
        return Status::Ok;
    }

    Result<QString> lookup(const QString &path) override
    {
        Located located;
        const Status s = locate(path, located);
        if (s == Status::NotFound)
            return {QString()};
        if (s != Status::Ok)
            return Result<QString>::failure(s);
        return {QFile::decodeName(located.entry.name)};
    }

    Result<QByteArray> readPrefix(const QString &path, qsizetype limit) override
    {
        Located located;
        Fd file;
        if (const Status s = locate(path, located); s != Status::Ok)
            return Result<QByteArray>::failure(s);
        if (const Status s = openRegular(located, file); s != Status::Ok)
            return Result<QByteArray>::failure(s);
        return readAtMost(file.get(), located.entry.info.st_size, limit);
    }
};

} // namespace

FileFunctions &localFileFunctions()
{
    static LocalFileFunctions functions;
    return functions;
}

} // namespace platform
