// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include "FatImage.h"
#include "TempVolume.h"

#include "platform/files/VolumeList.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <dirent.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <algorithm>
#include <optional>

// A disk image laid out from short descriptions and mounted at a directory whose name is
// given as bytes; unmounted, and its loop device let go, when it goes. Ext2 is mounted
// by the kernel from a loop device that stays attached between mounts, so the volume comes
// back with the same source; Ntfs through ntfs-3g straight from the image file, or from a
// loop device once attachLoop() made one.
// Entries: "NAME" a file holding kAutorunText, "dir:NAME" a directory, "lying:NAME" a
// regular file whose directory entry calls it a directory (Ext2 only).
class DiskImage
{
public:
    enum class Kind { Ext2, Ntfs };

    // Why such an image cannot be mounted here, or an empty string when it can.
    static QString unavailableReason(Kind kind)
    {
        if (::geteuid() != 0)
            return QStringLiteral("mounting a disk image needs root");
        if (!QFile::exists(u"/dev/loop-control"_qs))
            return u"no loop devices on this machine"_qs;
        if (kind == Kind::Ntfs && !QFile::exists(u"/dev/fuse"_qs))
            return u"no /dev/fuse on this machine"_qs;
        return FatImage::missingTool(kind == Kind::Ext2 ? QStringList{u"mkfs.ext2"_qs, u"debugfs"_qs, u"losetup"_qs}
                                                        : QStringList{u"mkntfs"_qs, u"ntfs-3g"_qs, u"losetup"_qs});
    }

    explicit DiskImage(Kind kind, const QByteArray &mountName = "stick")
        : m_kind(kind), m_mountPoint(QFile::encodeName(m_dir.path()) + '/' + mountName)
    {
        ::mkdir(m_mountPoint.constData(), 0755);
    }
    DiskImage(const DiskImage &) = delete;
    DiskImage &operator=(const DiskImage &) = delete;
    ~DiskImage()
    {
        unmount();
        if (!m_loop.isEmpty())
            FatImage::run(u"losetup"_qs, {u"-d"_qs, m_loop});
        ::rmdir(m_mountPoint.constData()); // QTemporaryDir cannot name it where it is not UTF-8
    }

    bool create(const QStringList &layout) { return m_kind == Kind::Ext2 ? createExt2(layout) : createNtfs(layout); }

    // `ntfsOptions`: ntfs-3g's, such as "ro".
    bool mount(const QString &ntfsOptions = u"rw"_qs)
    {
        if (m_mounted)
            return true;
        if (m_kind == Kind::Ntfs) {
            m_mounted =
                FatImage::run(u"ntfs-3g"_qs, {u"-o"_qs, ntfsOptions, source(), QFile::decodeName(m_mountPoint)}) == 0;
            return m_mounted;
        }
        if (!attachLoop())
            return false;
        m_mounted = ::mount(QFile::encodeName(m_loop).constData(), m_mountPoint.constData(), "ext2", 0, nullptr) == 0;
        return m_mounted;
    }

    bool attachLoop()
    {
        QByteArray out;
        if (m_loop.isEmpty() && FatImage::run(u"losetup"_qs, {u"-f"_qs, u"--show"_qs, image()}, &out) == 0)
            m_loop = QString::fromLocal8Bit(out.trimmed());
        return !m_loop.isEmpty();
    }

    bool unmount()
    {
        if (m_mounted && ::umount2(m_mountPoint.constData(), 0) == 0)
            m_mounted = false;
        return !m_mounted;
    }

    QByteArray mountPoint() const { return m_mountPoint; }

    // The listed volume whose root is the directory `mountPoint` names now.
    static std::optional<platform::Volume> listedAt(const QByteArray &mountPoint)
    {
        struct stat root = {};
        if (::stat(mountPoint.constData(), &root) != 0)
            return std::nullopt;
        for (const platform::Volume &v : platform::mountedVolumes()) {
            if (v.device == root.st_dev)
                return v;
        }
        return std::nullopt;
    }

    QString source() const { return m_loop.isEmpty() ? image() : m_loop; }

    // The root's entries as the kernel lists them, less the file system's own.
    QStringList entries() const
    {
        QStringList names;
        if (DIR *dir = ::opendir(m_mountPoint.constData())) {
            while (const dirent *d = ::readdir(dir)) {
                const QString name = QString::fromUtf8(d->d_name);
                if (name != u"." && name != u".." && name != u"lost+found")
                    names.append(name);
            }
            ::closedir(dir);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    QString image() const { return m_dir.filePath(u"volume.img"_qs); }

    bool createExt2(const QStringList &layout)
    {
        QStringList lying;
        for (const QString &entry : layout) {
            if (entry.startsWith(u"lying:"))
                lying.append(entry.section(u':', -1));
            m_source.lay(entry.startsWith(u"lying:") ? u"dir:"_qs + lying.last() : entry);
        }
        if (FatImage::run(u"mkfs.ext2"_qs, {u"-q"_qs, u"-F"_qs, u"-d"_qs, m_source.root(), image(), u"4M"_qs}) != 0)
            return false;
        // The inode becomes a regular file; the entry in its directory still says directory.
        for (const QString &name : lying) {
            for (const QString &field : {u"mode 0100644"_qs, u"links_count 1"_qs}) {
                if (FatImage::run(u"debugfs"_qs, {u"-w"_qs, u"-R"_qs, u"sif "_qs + name + u' ' + field, image()}) != 0)
                    return false;
            }
        }
        return true;
    }

    bool createNtfs(const QStringList &layout)
    {
        if (QFile f(image()); !f.open(QIODevice::WriteOnly) || !f.resize(8 << 20))
            return false;
        if (FatImage::run(u"mkntfs"_qs, {u"-q"_qs, u"-F"_qs, u"-f"_qs, image()}) != 0 || !mount())
            return false;
        bool written = true;
        for (const QString &name : layout) {
            QFile f(QFile::decodeName(m_mountPoint) + u'/' + name);
            written = written && f.open(QIODevice::WriteOnly) && f.write(kAutorunText) == kAutorunText.size();
        }
        return written;
    }

    QTemporaryDir m_dir;
    TempVolume m_source; // what an Ext2 image is made from
    Kind m_kind;
    QByteArray m_mountPoint;
    QString m_loop;
    bool m_mounted = false;
};
