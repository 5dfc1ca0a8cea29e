// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>

#include <sys/types.h>

#include <functional>

namespace platform {

// A mounted volume a user could mean in the drive list. Paths keep the kernel's bytes
// (PathBytes_unix.h).
struct Volume {
    QString driveSpecification; // what the autorun path is formed from: the mount root
    QString entryText;          // what the list shows: "LABEL (/media/anna/LABEL)" or the root alone
    bool removable = false;
    dev_t device = 0; // the mounted file system; on Windows the volume serial number
    QString source;   // what is mounted: a device, an image file, a driver's name
    QString uuid;     // the file system's UUID where the kernel tells it, else empty
};

#ifdef Q_OS_WIN

// A drive as Windows tells it.
struct DriveInfo {
    QString root;      // "e:"
    unsigned type = 0; // GetDriveTypeW's answer
    QString label;
    quint32 serial = 0; // 0 when the drive had no disk or did not answer
};

// Removable drives first, then fixed, optical and RAM drives, each group in letter order;
// network drives and drives without a root are not disks of this machine and are left out.
// An entry reads "e: [LABEL]", or "e:" without a label.
QList<Volume> volumesFromDrives(const QList<DriveInfo> &drives);

#else

// The kernel's table of this process's mounts; it reads no mounted file system.
inline constexpr char kMountTable[] = "/proc/self/mountinfo";

// One line of the mount table, unescaped. The table lists mounts as they came.
struct MountEntry {
    dev_t device = 0;
    quint64 id = 0; // the mount's own number, unique while it is mounted
    QString root;   // the directory of the file system that is mounted: "/" for all of it
    QString mountPoint;
    QByteArray fsType;
    QString source;
};

QList<MountEntry> parseMountInfo(QByteArrayView text);

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

#endif

// The volumes mounted now. Reads only the kernel's mount table and device attributes,
// never the mounted file systems, so a dead network mount cannot stall it. On Windows the
// drives with what each last said of its label and serial number (DriveIdentities_win.h):
// the list never waits for a drive; one that has not answered yet is listed by its letter
// alone, and its answer has the list made again.
QList<Volume> mountedVolumes();

// Whether `root` is still the root of the file system `device`: once a volume is
// unmounted, its mount point is a plain directory of another file system (on Windows: the
// drive letter holds a disk of that serial number). Asks the file system at `root`, so it
// waits for a disk that does not answer. The mount `root` is on decides, not the device
// number its files carry: btrfs gives each subvolume one of its own, which the mount table
// does not show.
bool isMountedAt(const QString &root, dev_t device);

} // namespace platform
