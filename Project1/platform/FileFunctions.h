// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include "platform/Status.h"

#include <QByteArray>
#include <QString>

namespace platform {

// The attributes a reset may give a file; the program only ever asks for Normal.
enum class FileAttributes { Normal = 0 };

// The file functions, each acting on the one entry that `path` names in its directory.
// The last component matches in any letter case, and a symbolic link is never followed:
// a link is itself the entry.
class FileFunctions
{
public:
    virtual ~FileFunctions() = default;

    // Clears read-only, hidden, system and archive where the file system has them,
    // otherwise gives the owner write permission. Regular files only.
    virtual Status setAttributes(const QString &path, FileAttributes attributes) = 0;
    // Removes the entry (a link, never its target); never a directory.
    virtual Status deleteFile(const QString &path) = 0;
    // The name of the non-directory entry found, or an empty string when there is none.
    // Fails only when the directory itself cannot be read.
    virtual Result<QString> lookup(const QString &path) = 0;
    // At most `limit` bytes from the start of a regular file, read without blocking on
    // special files.
    virtual Result<QByteArray> readPrefix(const QString &path, qsizetype limit) = 0;
};

// The file functions of the machine the program runs on.
FileFunctions &localFileFunctions();

} // namespace platform
