#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>

#include <functional>

namespace platform {

// A mounted volume a user could mean in the drive list.
struct Volume {
    QString driveSpecification; // what the autorun path is formed from: the mount root
    QString entryText;          // what the list shows: "LABEL (/media/anna/LABEL)" or the root alone
    bool removable = false;
    QByteArray device; // "major:minor" of the mounted file system
};

// One line of /proc/self/mountinfo, unescaped. The table lists mounts as they came.
struct MountEntry {
    QByteArray device; // "major:minor"
    QString mountPoint;
    QByteArray fsType;
    QString source;
};

QList<MountEntry> parseMountInfo(QByteArrayView text);

// Real disk file systems, FUSE-mounted disks included; never pseudo or network ones.
bool isDiskFileSystem(QByteArrayView fsType);

// Removable volumes first, the most recently mounted at the head; then the others in
// mount order. Where a later mount hides an earlier one on the same root, only the later
// is listed.
QList<Volume> volumesFrom(const QList<MountEntry> &mounts, const std::function<bool(const MountEntry &)> &isRemovable,
                          const std::function<QString(const MountEntry &)> &labelOf);

// The volumes mounted now. Reads only the kernel's mount table and device attributes,
// never the mounted file systems, so a dead network mount cannot stall it.
QList<Volume> mountedVolumes();

} // namespace platform
