// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include "MountTable_linux.h"
#include "VolumeList.h"

#include <functional>

namespace platform {

// Real disk file systems, FUSE-mounted disks included (a FUSE mount of a block device or
// of a disk image is a disk); never pseudo or network ones.
bool isDiskFileSystem(const MountEntry &mount);

// Removable volumes first, the most recently mounted at the head; then the others in
// mount order. A volume the desktop mounted for its user (/media/USER/LABEL or
// /run/media/USER/LABEL) counts as removable. Each file system is listed once: where a
// later mount hides an earlier one on the same root, only the later; where it is mounted
// at several places, the first; a directory of it mounted elsewhere (a bind mount) not at
// all. A directory mounted by itself whose file system is not otherwise listed (a btrfs
// subvolume) is a volume of its own.
QList<Volume> volumesFrom(const QList<MountEntry> &mounts, const std::function<bool(const MountEntry &)> &isRemovable,
                          const std::function<QString(const MountEntry &)> &labelOf,
                          const std::function<QString(const MountEntry &)> &uuidOf = {});

} // namespace platform
