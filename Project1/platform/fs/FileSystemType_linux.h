// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

namespace platform {

// Whether the file system that `fd` is open on matches names in any letter case itself:
// then a lookup of the exact name already found any spelling of it. Asks the kernel only.
bool fileSystemFoldsCase(int fd);

} // namespace platform
