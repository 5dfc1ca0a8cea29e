// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include "Fd_unix.h"
#include "Status.h"

#include <QByteArray>

#include <sys/stat.h>

namespace platform {

// An entry of a directory, as an lstat() of it saw it.
struct DirectoryEntry {
    QByteArray name; // as the directory spells it
    struct stat info = {};
};

// The non-directory entry of the directory `dirFd` whose name is `wanted` in any letter
// case, never following a link. The exact spelling wins; otherwise the first in byte
// order, so that repeated operations agree on the entry where a case-sensitive file
// system holds several. NotFound when there is none; VolumeUnavailable when the directory
// cannot be searched, or the exact name is not a file there and the directory cannot be
// listed. `dirFd` needs only search permission (an O_PATH descriptor serves) unless the
// listing is needed. Where the file system itself folds case, the lookup of the exact name
// is the whole search.
Result<DirectoryEntry> findEntry(int dirFd, const QByteArray &wanted);

// Opens `entry` of `dirFd` for reading, without following a link, and only once it is
// known to be still the regular file that was looked up: whatever took its place (a FIFO,
// a device, another file) is never opened; `entry.info` is then the open file's.
Status openRegular(int dirFd, DirectoryEntry &entry, Fd &file);

// What an errno from a file function means to its caller.
Status statusFromErrno(int error);

// Whether `error` says that the file system offers no such call, rather than that the call
// failed (an fsync of a directory where EINVAL says it has nothing to flush).
bool isUnsupported(int error);

} // namespace platform
