// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include "Status.h"

#include <sys/stat.h>

namespace platform {

// Clears read-only, hidden, system and archive of the open regular file `fd`, whose
// fstat() is `info`, keeping its other attributes, by what its file system offers: the FAT
// attribute ioctls (vfat, msdos, the kernel's exFAT), the NTFS attribute extended attribute
// (ntfs-3g, the kernel's ntfs3), or else the owner's write permission. Acts on `fd` only.
Status resetAttributes(int fd, const struct stat &info);

} // namespace platform
