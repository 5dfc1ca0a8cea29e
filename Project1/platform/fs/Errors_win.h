// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include "Status.h"

namespace platform {

// What a Windows error code from a file function means to its caller.
Status statusFromWindowsError(unsigned long error);

// Makes a drive without a disk fail the call instead of asking the user to insert one.
// Process-wide, once.
void failCriticalErrorsQuietly();

} // namespace platform
