// SPDX-License-Identifier: LicenseRef-proprietary
#include "LocalFileFunctions.h"
#include "VolumeFileFunctions.h"

namespace platform {

// Windows ends a process whose thread is stuck in a call on a drive, so the calls are made
// in this process.
FileFunctions &volumeFileFunctions()
{
    return localFileFunctions();
}

void prepareVolumeAccess() {}

QFuture<QString> volumeAccessWarning()
{
    return QtFuture::makeReadyFuture(QString());
}

} // namespace platform
