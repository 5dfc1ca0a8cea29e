// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include <QByteArrayView>

namespace platform {

// Whether the file system of type `fsType` (as the mount table names it) matches names in
// any letter case itself, as FAT and exFAT do.
bool foldsCase(QByteArrayView fsType);

// Whether the file system that `fd` is open on matches names in any letter case itself:
// then a lookup of the exact name already found any spelling of it. Asks the kernel only.
bool fileSystemFoldsCase(int fd);

} // namespace platform
