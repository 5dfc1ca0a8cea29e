// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include <QList>
#include <QString>

#include <sys/types.h>

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

#endif

// The volumes mounted now. Reads only the kernel's mount table and device attributes,
// never the mounted file systems, so a dead network mount cannot stall it. On Windows the
// drives with what each last said of its label and serial number (DriveIdentities_win.h):
// the list never waits for a drive; one that has not answered yet is listed by its letter
// alone, and its answer has the list made again.
QList<Volume> mountedVolumes();

} // namespace platform
