// SPDX-License-Identifier: LicenseRef-proprietary
#include "Errors_win.h"

#include <windows.h>

namespace platform {

Status statusFromWindowsError(unsigned long error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
        return Status::NotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_NOT_READY:
    case ERROR_BAD_NETPATH:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_BAD_UNIT:
        return Status::VolumeUnavailable;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return Status::AccessDenied;
    case ERROR_WRITE_PROTECT:
        return Status::WriteProtected;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION:
        return Status::Unsupported;
    case ERROR_CANT_ACCESS_FILE:
    case ERROR_DIRECTORY:
        return Status::NotRegularFile;
    default:
        return Status::IoError;
    }
}

void failCriticalErrorsQuietly()
{
    static const bool done = [] {
        ::SetErrorMode(::GetErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
        return true;
    }();
    (void)done;
}

} // namespace platform
