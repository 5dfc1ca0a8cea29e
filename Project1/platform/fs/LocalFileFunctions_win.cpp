// SPDX-License-Identifier: LicenseRef-proprietary
#include "BoundedRead.h"
#include "DiskProgress.h"
#include "Errors_win.h"
#include "FileFunctions.h"
#include "LocalFileFunctions.h"
#include "VolumeRoot.h"

#include <QList>

#include <algorithm>
#include <optional>

#include <windows.h>

namespace platform {

namespace {

const wchar_t *wide(const QString &s)
{
    return reinterpret_cast<const wchar_t *>(s.utf16());
}

// The disk answered a call: a slow disk that answers each is not a dead one. The call's
// error stays for its caller to read.
void answered()
{
    const DWORD error = ::GetLastError();
    diskProgress();
    ::SetLastError(error);
}

// A handle, closed by `Close` when its owner goes: a file's by CloseHandle, a directory
// search's by FindClose.
template <BOOL(WINAPI *Close)(HANDLE)>
class Owned
{
public:
    explicit Owned(HANDLE h = INVALID_HANDLE_VALUE) : m_h(h) {}
    ~Owned() { reset(INVALID_HANDLE_VALUE); }
    Owned(const Owned &) = delete;
    Owned &operator=(const Owned &) = delete;
    [[nodiscard]] bool valid() const { return m_h != INVALID_HANDLE_VALUE && m_h != nullptr; }
    [[nodiscard]] HANDLE get() const { return m_h; }
    void reset(HANDLE h)
    {
        if (valid())
            Close(m_h);
        m_h = h;
    }

private:
    HANDLE m_h;
};
using Handle = Owned<::CloseHandle>;
using Search = Owned<::FindClose>;

bool sameName(const wchar_t *a, const QString &b)
{
    return ::CompareStringOrdinal(a, -1, wide(b), int(b.size()), TRUE) == CSTR_EQUAL;
}

// Where the last component of `path` starts: after its last separator, either kind.
qsizetype nameStart(const QString &path)
{
    return qMax(path.lastIndexOf(u'\\'), path.lastIndexOf(u'/')) + 1;
}

// The full path of the non-directory entry that `file` names in its directory, spelt as the
// directory spells it, or NotFound. The file system matches the name (in any case on FAT and
// NTFS); a match through the 8.3 alias counts, as any program opening the path would reach
// that file. The exact spelling wins, then the first in code unit order, so that repeated
// calls agree where a case-sensitive directory holds several. Any other failure of the
// search means the directory cannot be read; so does a drive that holds another disk than
// the one asked for.
Status locate(const VolumeEntry &file, QString &found)
{
    const QString &path = file.path;
    if (file.volume != 0 && !isMountedAt(path.left(qMax<qsizetype>(nameStart(path) - 1, 0)), dev_t(file.volume)))
        return Status::VolumeUnavailable;
    const QString directory = path.left(nameStart(path));
    const QString wanted = path.mid(nameStart(path));
    if (wanted.isEmpty() || wanted.contains(u'*') || wanted.contains(u'?'))
        return Status::NotFound;
    WIN32_FIND_DATAW data = {};
    Search search(::FindFirstFileW(wide(path), &data));
    answered();
    if (!search.valid()) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES ? Status::NotFound
                                                                             : Status::VolumeUnavailable;
    }
    QList<QString> names;
    for (bool more = true; more; answered()) {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            && (sameName(data.cFileName, wanted) || sameName(data.cAlternateFileName, wanted)))
            names.append(QString::fromWCharArray(data.cFileName));
        more = ::FindNextFileW(search.get(), &data);
    }
    if (names.isEmpty())
        return Status::NotFound;
    std::sort(names.begin(), names.end());
    found = directory + (names.contains(wanted) ? wanted : names.first());
    return Status::Ok;
}

// The volume serial number of what `handle` is open on.
std::optional<DWORD> serialOf(HANDLE handle)
{
    BY_HANDLE_FILE_INFORMATION info = {};
    const BOOL got = ::GetFileInformationByHandle(handle, &info);
    answered();
    return got ? std::optional<DWORD>(info.dwVolumeSerialNumber) : std::nullopt;
}

// The volume serial number of the drive whose root is `root`, asked as of a file: through
// a handle to the root.
std::optional<DWORD> driveSerial(const QString &root)
{
    const Handle dir(::CreateFileW(wide(root), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    answered();
    return dir.valid() ? serialOf(dir.get()) : std::nullopt;
}

// Opens the entry at `path` itself, never what an NTFS link or mount point leads to, and
// checks that it is a file or a link to one, on the drive whose root holds it: under Wine a
// Unix link of that name leads anywhere, and the handle says where it led. Without
// FILE_SHARE_DELETE the entry can be neither renamed nor removed while the handle is held,
// so `path` keeps naming the entry checked.
Status openEntry(const QString &path, DWORD access, Handle &file, BY_HANDLE_FILE_INFORMATION &info)
{
    file.reset(::CreateFileW(wide(path), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    answered();
    if (!file.valid())
        return statusFromWindowsError(::GetLastError());
    const BOOL got = ::GetFileType(file.get()) == FILE_TYPE_DISK && ::GetFileInformationByHandle(file.get(), &info);
    answered();
    if (!got || (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)))
        return Status::NotRegularFile;
    const std::optional<DWORD> drive = driveSerial(path.left(nameStart(path)));
    if (!drive)
        return Status::VolumeUnavailable;
    return *drive == info.dwVolumeSerialNumber ? Status::Ok : Status::NotRegularFile;
}

// As openEntry, for a regular file only: never a link.
Status openRegular(const QString &path, DWORD access, Handle &file, BY_HANDLE_FILE_INFORMATION &info)
{
    const Status opened = openEntry(path, access, file, info);
    if (opened == Status::Ok && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return Status::NotRegularFile;
    return opened;
}

// One ReadFile, of at most 1 MiB.
Result<qsizetype> readSome(HANDLE file, char *into, qsizetype room)
{
    DWORD n = 0;
    const BOOL read = ::ReadFile(file, into, DWORD(qMin<qsizetype>(room, 1 << 20)), &n, nullptr);
    answered();
    if (!read)
        return Result<qsizetype>::failure(statusFromWindowsError(::GetLastError()));
    return {qsizetype(n)};
}

// A deletion counts once it is on the disk: a stick that fails its writes drops it from the
// cache only, and the file is there again next time. A directory that cannot be opened for
// writing, or a file system that cannot flush one, leaves the deletion as made.
Status flushDirectory(const QString &directory)
{
    const Handle dir(::CreateFileW(wide(directory), GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    answered();
    if (!dir.valid())
        return Status::Ok;
    const BOOL flushed = ::FlushFileBuffers(dir.get());
    answered();
    if (flushed)
        return Status::Ok;
    const DWORD error = ::GetLastError();
    return error == ERROR_INVALID_FUNCTION || error == ERROR_INVALID_HANDLE || error == ERROR_INVALID_PARAMETER
            || error == ERROR_ACCESS_DENIED || error == ERROR_NOT_SUPPORTED
        ? Status::Ok
        : statusFromWindowsError(error);
}

class WindowsFileFunctions final : public FileFunctions
{
public:
    Status setAttributes(const VolumeEntry &entry, FileAttributes) override
    {
        QString found;
        if (const Status s = locate(entry, found); s != Status::Ok)
            return s;
        Handle file;
        BY_HANDLE_FILE_INFORMATION info = {};
        if (const Status s = openRegular(found, FILE_READ_ATTRIBUTES, file, info); s != Status::Ok)
            return s;
        const BOOL reset = ::SetFileAttributesW(wide(found), FILE_ATTRIBUTE_NORMAL);
        answered();
        if (!reset)
            return statusFromWindowsError(::GetLastError());
        return Status::Ok;
    }

    Status deleteFile(const VolumeEntry &entry) override
    {
        QString found;
        if (const Status s = locate(entry, found); s != Status::Ok)
            return s;
        // The entry checked is the one removed, as its last handle closes: a link itself,
        // never what it leads to, never a directory.
        Handle file;
        BY_HANDLE_FILE_INFORMATION info = {};
        if (const Status s = openEntry(found, DELETE, file, info); s != Status::Ok)
            return s;
        FILE_DISPOSITION_INFO disposition = {TRUE};
        const BOOL marked =
            ::SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition, sizeof disposition);
        answered();
        if (!marked)
            return statusFromWindowsError(::GetLastError());
        file.reset(INVALID_HANDLE_VALUE);
        answered();
        // A driver may report a deletion it did not make (a read-only drive under Wine, a worn
        // stick): it counts once a fresh lookup no longer finds that entry.
        QString again;
        const Status looked = locate(found, again);
        if (looked == Status::Ok && again == found)
            return Status::WriteProtected;
        if (looked != Status::Ok && looked != Status::NotFound)
            return Status::IoError; // whether it is gone is not known
        return flushDirectory(found.left(nameStart(found)));
    }

    Result<QString> lookup(const VolumeEntry &entry) override
    {
        QString found;
        const Status s = locate(entry, found);
        if (s == Status::NotFound)
            return {QString()};
        if (s != Status::Ok)
            return Result<QString>::failure(s);
        return {found.mid(nameStart(found))};
    }

    Result<QByteArray> readPrefix(const VolumeEntry &entry, qsizetype limit) override
    {
        QString found;
        if (const Status s = locate(entry, found); s != Status::Ok)
            return Result<QByteArray>::failure(s);
        Handle file;
        BY_HANDLE_FILE_INFORMATION info = {};
        if (const Status s = openRegular(found, GENERIC_READ, file, info); s != Status::Ok)
            return Result<QByteArray>::failure(s);
        HANDLE handle = file.get();
        return readAtMost([handle](char *into, qsizetype room) { return readSome(handle, into, room); },
                          (quint64(info.nFileSizeHigh) << 32) | info.nFileSizeLow, limit);
    }
};

} // namespace

FileFunctions &localFileFunctions()
{
    failCriticalErrorsQuietly();
    static WindowsFileFunctions functions;
    return functions;
}

} // namespace platform
