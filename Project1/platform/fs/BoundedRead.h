// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include "Status.h"

#include <QByteArray>

#include <functional>

namespace platform {

// Reads once into `into`, at most `room` bytes: how many it read (0 at the end), or why not.
using ReadSome = std::function<Result<qsizetype>(char *into, qsizetype room)>;

// At most `limit` bytes of an open file that claims `size` bytes, read through `readSome`
// into a buffer sized for the claim plus one byte to see the file end, grown should the
// file be longer by now. A file system may claim any size, the largest too.
Result<QByteArray> readAtMost(const ReadSome &readSome, quint64 size, qsizetype limit);

} // namespace platform
