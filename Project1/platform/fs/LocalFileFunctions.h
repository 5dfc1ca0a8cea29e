// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include "FileFunctions.h"

namespace platform {

// The file functions of the machine the program runs on, each call made by the calling
// thread itself.
FileFunctions &localFileFunctions();

} // namespace platform
