// SPDX-License-Identifier: LicenseRef-proprietary
#include "VolumeRoot.h"

#include "DiskProgress.h"
#include "Errors_win.h"

#include <windows.h>

namespace platform {

DriveIdentity identityOf(const QString &root)
{
    const QString directory = root + u'\\';
    wchar_t label[MAX_PATH + 1] = {};
    DWORD serial = 0;
    const BOOL asked = ::GetVolumeInformationW(reinterpret_cast<const wchar_t *>(directory.utf16()), label,
                                               MAX_PATH + 1, &serial, nullptr, nullptr, nullptr, 0);
    diskProgress();
    if (!asked)
        return {};
    return {QString::fromWCharArray(label), quint32(serial)};
}

bool isMountedAt(const QString &root, dev_t device)
{
    failCriticalErrorsQuietly();
    return device != 0 && identityOf(root).serial == quint32(device);
}

} // namespace platform
