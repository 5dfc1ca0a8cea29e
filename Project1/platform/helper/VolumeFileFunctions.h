// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include "FileFunctions.h"

#include <QFuture>
#include <QString>

namespace platform {

// The file functions through which the program reaches a volume. On Linux each disk thread hands its calls to a helper
// process of its own (the program `orvane-disk`), so that a call the kernel will not
// interrupt, as a lookup behind another program's on a dead disk, leaves that process
// stuck and never this one: the program can always end. Where the helper is missing, the
// calls are made in this process.
FileFunctions &volumeFileFunctions();
// Gets ready for the first call to a volume without making it: a scan makes it 2 s on.
void prepareVolumeAccess();
// What the user is to be told at start-up of how volumes are reached, or an empty string:
// without a helper that runs, the program makes the calls itself, and a disk that stops
// answering may then keep it from ending. Found on a thread of its own, for it starts the
// helper once.
QFuture<QString> volumeAccessWarning();

} // namespace platform
