// SPDX-License-Identifier: LicenseRef-proprietary
#include "VolumeList_linux.h"
#include "VolumeList.h"

#include "PathBytes_unix.h"
#include "TextDecoding.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QVarLengthArray>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>

namespace platform {

namespace {

// udev writes unsafe characters of a label as \xHH.
QString unescapeUdev(const QString &name)
{
    QByteArray out;
    const QByteArray in = QFile::encodeName(name);
    for (qsizetype i = 0; i < in.size(); ++i) {
        bool ok = false;
        const int byte = in.mid(i + 2, 2).toInt(&ok, 16);
        if (in[i] == '\\' && i + 3 < in.size() && in[i + 1] == 'x' && ok) {
            out += char(byte);
            i += 3;
        } else {
            out += in[i];
        }
    }
    return QFile::decodeName(out);
}

bool readSysFlag(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) && f.read(2).startsWith('1');
}

bool deviceIsRemovable(const MountEntry &mount)
{
    if (major(mount.device) == 0)
        return false; // no block device behind it (FUSE, virtual)
    const QString device =
        QFileInfo(QStringLiteral("/sys/dev/block/%1:%2").arg(major(mount.device)).arg(minor(mount.device)))
            .canonicalFilePath();
    if (device.isEmpty())
        return false;
    // USB disks often call themselves fixed; the bus they hang on tells.
    if (device.contains(QLatin1String("/usb")) || device.contains(QLatin1String("/mmc")))
        return true;
    return readSysFlag(device + QStringLiteral("/removable")) || readSysFlag(device + QStringLiteral("/../removable"));
}

// Desktop automounters name the mount point after the label: /media/USER/LABEL or
// /run/media/USER/LABEL.
QString automountLabel(QStringView mountPoint)
{
    for (const QStringView base : {u"/media/", u"/run/media/"}) {
        if (!mountPoint.startsWith(base))
            continue;
        const QStringView rest = mountPoint.sliced(base.size()); // USER/LABEL
        const qsizetype slash = rest.indexOf(u'/');
        if (slash > 0 && slash + 1 < rest.size() && !rest.sliced(slash + 1).contains(u'/'))
            return rest.sliced(slash + 1).toString();
    }
    return {};
}

// The name of udev's link in `directory` (/dev/disk/by-label, by-uuid) to the block
// device mounted, or an empty string.
QString udevLinkTo(const MountEntry &mount, const QString &directory)
{
    if (!mount.source.startsWith(QLatin1String("/dev/")))
        return {};
    const QString device = QFileInfo(mount.source).canonicalFilePath();
    const QDir links(directory);
    const QStringList names = links.entryList(QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        if (!device.isEmpty() && QFileInfo(links.filePath(name)).canonicalFilePath() == device)
            return name;
    }
    return {};
}

QString labelOf(const MountEntry &mount)
{
    const QString label = udevLinkTo(mount, QStringLiteral("/dev/disk/by-label"));
    return label.isEmpty() ? automountLabel(mount.mountPoint) : unescapeUdev(label);
}

QString uuidOf(const MountEntry &mount)
{
    return udevLinkTo(mount, QStringLiteral("/dev/disk/by-uuid"));
}

// Whether the directory `inner` of a file system lies within its directory `outer`.
bool within(const QString &inner, const QString &outer)
{
    return outer == u"/" || inner == outer || (inner.startsWith(outer) && inner[outer.size()] == u'/');
}

} // namespace

bool isDiskFileSystem(const MountEntry &mount)
{
    static const QList<QByteArrayView> disk = {
        "ext2", "ext3",    "ext4", "vfat", "msdos",   "exfat", "ntfs",     "ntfs3",  "xfs",   "btrfs",
        "f2fs", "iso9660", "udf",  "hfs",  "hfsplus", "jfs",   "reiserfs", "nilfs2", "minix", "fuseblk",
    };
    static const QList<QByteArrayView> fuseDisk = {"fusefat", "fuse2fs", "ntfs-3g", "exfat", "fuseiso"};
    const QByteArrayView type = mount.fsType;
    if (disk.contains(type))
        return true;
    if (type != "fuse" && !type.startsWith("fuse."))
        return false;
    if (type.startsWith("fuse.") && (disk.contains(type.sliced(5)) || fuseDisk.contains(type.sliced(5))))
        return true;
    // Whatever a FUSE driver calls itself, one that serves a block device serves a disk;
    // ntfs-3g on an image file mounts as plain "fuse" with the image's path as its source.
    // Told from the mount table alone: looking at the source could stall on a dead disk.
    if (mount.source.startsWith(QLatin1String("/dev/")))
        return mount.source != u"/dev/fuse";
    return type == "fuse" && mount.source.startsWith(u'/');
}

QList<Volume> volumesFrom(const QList<MountEntry> &mounts, const std::function<bool(const MountEntry &)> &isRemovable,
                          const std::function<QString(const MountEntry &)> &labelOf,
                          const std::function<QString(const MountEntry &)> &uuidOf)
{
    QList<const MountEntry *> visible;
    for (qsizetype i = 0; i < mounts.size(); ++i) {
        const MountEntry &m = mounts[i];
        const bool hidden = std::any_of(mounts.begin() + i + 1, mounts.end(),
                                        [&](const MountEntry &later) { return later.mountPoint == m.mountPoint; });
        if (isDiskFileSystem(m) && !hidden)
            visible.append(&m);
    }
    QList<Volume> removable, fixed;
    for (qsizetype i = 0; i < visible.size(); ++i) {
        const MountEntry &m = *visible[i];
        // Another mount of this file system shows all that this one does: a wider
        // directory of it, or the same one mounted earlier.
        const bool shownElsewhere = std::any_of(visible.begin(), visible.end(), [&](const MountEntry *other) {
            return other != &m && other->device == m.device && within(m.root, other->root)
                && (other->root != m.root || other < &m);
        });
        if (shownElsewhere)
            continue;
        const QString label = labelOf(m);
        const QString entry = label.isEmpty() ? m.mountPoint : label + QStringLiteral(" (") + m.mountPoint + u')';
        const Volume v{m.mountPoint,
                       showableLine(displayedPath(entry)),
                       isRemovable(m) || !automountLabel(m.mountPoint).isEmpty(),
                       m.device,
                       m.source,
                       uuidOf ? uuidOf(m) : QString()};
        (v.removable ? removable : fixed).append(v);
    }
    std::reverse(removable.begin(), removable.end()); // the newest first
    return removable + fixed;
}

QList<Volume> mountedVolumes()
{
    QFile table(QString::fromLatin1(kMountTable));
    if (!table.open(QIODevice::ReadOnly))
        return {};
    return volumesFrom(parseMountInfo(table.readAll()), deviceIsRemovable, labelOf, uuidOf);
}

} // namespace platform
