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

// A file descriptor closed on every path out of the function that opened it.
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
    Fd &operator=(const Fd &) = delete;

    [[nodiscard]] int get() const { return m_fd; }
    [[nodiscard]] bool valid() const { return m_fd >= 0; }
    int release() { return std::exchange(m_fd, -1); }

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

struct SplitPath {
    QByteArray directory;
    QByteArray name;
};

SplitPath splitPath(const QString &path)
{
    const QByteArray encoded = QFile::encodeName(path);
    const qsizetype slash = encoded.lastIndexOf('/');
    if (slash < 0)
        return {QByteArrayLiteral("."), encoded};
    return {slash == 0 ? QByteArrayLiteral("/") : encoded.left(slash), encoded.mid(slash + 1)};
}

// The directory that holds the entry: the volume's root. Failing to open it means the
// volume cannot be read at all, which the callers must tell apart from a missing file.
Result<int> openDirectory(const QByteArray &directory)
{
    const int fd = ::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return Result<int>::failure(errno == EACCES ? Status::AccessDenied : Status::VolumeUnavailable);
    return {fd};
}

struct Entry {
    QByteArray name; // as the directory spells it
    struct stat info {};
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
        return Result<Entry>::failure(errno == EACCES ? Status::AccessDenied : Status::VolumeUnavailable);
    }

    const int listFd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0)
        return Result<Entry>::failure(Status::VolumeUnavailable);
    DIR *dir = ::fdopendir(listFd);
    if (!dir) {
        ::close(listFd);
        return Result<Entry>::failure(Status::VolumeUnavailable);
    }

    Result<Entry> best = Result<Entry>::failure(Status::NotFound);
    errno = 0;
    while (const dirent *d = ::readdir(dir)) {
        const QByteArrayView name(d->d_name);
        if (d->d_type == DT_DIR || name == QByteArrayView(wanted) || !entryNameMatches(name, wanted))
            continue;
        if (best.ok() && QByteArrayView(best.value.name) < name)
            continue;
        Entry candidate{name.toByteArray(), {}};
        if (::fstatat(dirFd, d->d_name, &candidate.info, AT_SYMLINK_NOFOLLOW) != 0 || S_ISDIR(candidate.info.st_mode))
            continue;
        best = {candidate};
        errno = 0;
    }
    const int readError = errno;
    ::closedir(dir);
    if (readError != 0 && !best.ok())
        return Result<Entry>::failure(Status::VolumeUnavailable);
    return best;
}

// Opens the regular file `entry` for reading without following a link and without
// blocking, and checks that it is still the entry that was looked up.
Result<int> openRegular(int dirFd, const Entry &entry)
{
    if (!S_ISREG(entry.info.st_mode))
        return Result<int>::failure(Status::NotRegularFile);
    Fd fd(::openat(dirFd, entry.name.constData(),
                   O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid())
        return Result<int>::failure(statusFromErrno(errno));
    struct stat opened {};
    if (::fstat(fd.get(), &opened) != 0 || !S_ISREG(opened.st_mode)
        || opened.st_dev != entry.info.st_dev || opened.st_ino != entry.info.st_ino)
        return Result<int>::failure(Status::NotRegularFile);
    return {fd.release()};
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

class LocalFileFunctions final : public FileFunctions
{
public:
    Status setAttributes(const QString &path, FileAttributes) override
    {
        const SplitPath split = splitPath(path);
        const Result<int> dirFd = openDirectory(split.directory);
        if (!dirFd.ok())
            return dirFd.status;
        const Fd dir(dirFd.value);
        const Result<Entry> entry = findEntry(dir.get(), split.name);
        if (!entry.ok())
            return entry.status;
        const Result<int> fileFd = openRegular(dir.get(), entry.value);
        if (!fileFd.ok())
            return fileFd.status;
        const Fd file(fileFd.value);

        struct statfs fs {};
        if (::fstatfs(file.get(), &fs) == 0 && fs.f_type == MSDOS_SUPER_MAGIC)
            return clearFatAttributes(file.get());
        struct stat info {};
        if (::fstat(file.get(), &info) != 0)
            return statusFromErrno(errno);
        if (info.st_mode & S_IWUSR)
            return Status::Ok;
        if (::fchmod(file.get(), (info.st_mode & 07777) | S_IWUSR) != 0)
            return statusFromErrno(errno);
        return Status::Ok;
    }

    Status deleteFile(const QString &path) override
    {
        const SplitPath split = splitPath(path);
        const Result<int> dirFd = openDirectory(split.directory);
        if (!dirFd.ok())
            return dirFd.status;
        const Fd dir(dirFd.value);
        const Result<Entry> entry = findEntry(dir.get(), split.name);
        if (!entry.ok())
            return entry.status;
        // No AT_REMOVEDIR: should the entry have become a directory meanwhile, it stays.
        if (::unlinkat(dir.get(), entry.value.name.constData(), 0) != 0)
            return statusFromErrno(errno);
        return Status::Ok;
    }

    Result<QString> lookup(const QString &path) override
    {
        const SplitPath split = splitPath(path);
        const Result<int> dirFd = openDirectory(split.directory);
        if (!dirFd.ok())
            return Result<QString>::failure(dirFd.status);
        const Fd dir(dirFd.value);
        const Result<Entry> entry = findEntry(dir.get(), split.name);
        if (entry.status == Status::NotFound)
            return {QString()};
        if (!entry.ok())
            return Result<QString>::failure(entry.status);
        return {QFile::decodeName(entry.value.name)};
    }

    Result<QByteArray> readPrefix(const QString &path, qsizetype limit) override
    {
        const SplitPath split = splitPath(path);
        const Result<int> dirFd = openDirectory(split.directory);
        if (!dirFd.ok())
            return Result<QByteArray>::failure(dirFd.status);
        const Fd dir(dirFd.value);
        const Result<Entry> entry = findEntry(dir.get(), split.name);
        if (!entry.ok())
            return Result<QByteArray>::failure(entry.status);
        const Result<int> fileFd = openRegular(dir.get(), entry.value);
        if (!fileFd.ok())
            return Result<QByteArray>::failure(fileFd.status);
        const Fd file(fileFd.value);

        // Sized for the file as it stands, plus one byte to see it end; grown should it be
        // longer by now, never past the limit.
        struct stat opened {};
        const qsizetype expected = ::fstat(file.get(), &opened) == 0 ? qsizetype(qMax<off_t>(opened.st_size, 0)) : 0;
        QByteArray bytes(qMin(limit, expected + 1), Qt::Uninitialized);
        qsizetype filled = 0;
        for (;;) {
            if (filled == bytes.size()) {
                if (bytes.size() == limit)
                    break;
                bytes.resize(qMin(limit, bytes.size() * 2));
            }
            const ssize_t n = ::read(file.get(), bytes.data() + filled, size_t(bytes.size() - filled));
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
};

} // namespace

FileFunctions &localFileFunctions()
{
    static LocalFileFunctions functions;
    return functions;
}

} // namespace platform
