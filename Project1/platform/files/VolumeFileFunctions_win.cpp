// SPDX-License-Identifier: LicenseRef-proprietary
#include "platform/files/VolumeFileFunctions.h"
#include "platform/files/VolumeRoot.h"

namespace platform {

// Windows ends a process whose thread is stuck in a call on a drive, so the calls are made
// in this process.
FileFunctions &volumeFileFunctions()
{
    return localFileFunctions();
}

std::optional<bool> volumeIsMountedAt(const QString &root, dev_t device)
{
    return isMountedAt(root, device);
}

void prepareVolumeAccess() {}

QFuture<QString> volumeAccessWarning()
{
    return QtFuture::makeReadyFuture(QString());
}

} // namespace platform
