// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include "Status.h"

#include <QByteArray>
#include <QString>

#include <utility>

namespace platform {

// The attributes a reset may give a file; the program only ever asks for Normal.
enum class FileAttributes { Normal = 0 };

// The entry a path names, and the volume it is to be on (Drive::identity): a call that finds
// another volume mounted at the path's directory now fails with VolumeUnavailable before it
// touches anything. 0 asks for no such check: the entry of whatever volume is there.
struct VolumeEntry {
    // A path alone names an entry on whatever volume is there.
    VolumeEntry(QString path = {}, quint64 volume = 0) // NOLINT(google-explicit-constructor)
        : path(std::move(path)), volume(volume)
    {
    }

    QString path;
    quint64 volume = 0;
};

// The file functions, each acting on the one entry that `file` names in its directory.
// The last component matches in any letter case, and a symbolic link is never followed:
// a link is itself the entry.
class FileFunctions
{
public:
    virtual ~FileFunctions() = default;

    // Clears read-only, hidden, system and archive where the file system has them,
    // otherwise gives the owner write permission. Regular files only.
    virtual Status setAttributes(const VolumeEntry &file, FileAttributes attributes) = 0;
    // Removes the entry (a link, never its target); never a directory.
    virtual Status deleteFile(const VolumeEntry &file) = 0;
    // The name of the non-directory entry found, or an empty string when there is none.
    // Fails only when the directory itself cannot be read.
    virtual Result<QString> lookup(const VolumeEntry &file) = 0;
    // At most `limit` bytes from the start of a regular file, read without blocking on
    // special files.
    virtual Result<QByteArray> readPrefix(const VolumeEntry &file, qsizetype limit) = 0;
};

} // namespace platform
