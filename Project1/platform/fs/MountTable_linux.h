// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <sys/types.h>

namespace platform {

// The kernel's table of this process's mounts; it reads no mounted file system.
inline constexpr char kMountTable[] = "/proc/self/mountinfo";

// One line of the mount table, unescaped. The table lists mounts as they came. Paths keep
// the kernel's bytes (PathBytes_unix.h).
struct MountEntry {
    dev_t device = 0;
    quint64 id = 0; // the mount's own number, unique while it is mounted
    QString root;   // the directory of the file system that is mounted: "/" for all of it
    QString mountPoint;
    QByteArray fsType;
    QString source;
};

QList<MountEntry> parseMountInfo(QByteArrayView text);

} // namespace platform
