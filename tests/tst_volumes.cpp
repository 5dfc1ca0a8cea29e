// SPDX-License-Identifier: LicenseRef-proprietary
#include "platform/files/PathBytes.h"
#include "platform/files/VolumeList.h"

#include "FatImage.h"

#include <QTest>

#include <sys/mount.h>

using platform::MountEntry;
using platform::Volume;

namespace {
// A mount table as the kernel writes it: sda1 the system disk, sdb1 and sdc1 removable
// sticks (sdc1 the newer), a FAT image through FUSE, and the pseudo file systems.
const QByteArray kMountInfo = "21 26 0:20 / /proc rw,relatime - proc proc rw\n"
                              "26 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
                              "27 26 0:22 / /dev/shm rw - tmpfs tmpfs rw\n"
                              "40 26 8:17 / /media/anna/KINGSTON rw,nosuid shared:5 - vfat /dev/sdb1 rw\n"
                              "41 26 0:45 / /mnt/nfs rw - nfs4 server:/export rw\n"
                              "38 26 8:33 / /media/anna/MY\\040STICK rw - exfat /dev/sdc1 rw\n"
                              "43 26 0:50 / /tmp/img rw - fuse.fusefat fusefat rw\n"
                              "44 26 0:51 / /run/user/0/gvfs rw - fuse.gvfsd-fuse gvfsd-fuse rw\n"
                              "45 26 7:0 / /snap/core rw - squashfs /dev/loop0 ro\n"
                              "broken line\n";
} // namespace

class TstVolumeList : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void listsDiskVolumes_data()
    {
        QTest::addColumn<QByteArray>("mountInfo");
        QTest::addColumn<QStringList>("entries");

        QTest::newRow("removable newest first, then fixed in mount order, pseudo and network left out")
            << kMountInfo
            << QStringList{u"MY STICK (/media/anna/MY STICK)"_qs, u"KINGSTON (/media/anna/KINGSTON)"_qs, u"/"_qs,
                           u"/tmp/img"_qs};
        QTest::newRow("a later mount on the same root hides the earlier one")
            << QByteArray("26 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                          "50 26 8:17 / /media/anna/A rw - vfat /dev/sdb1 rw\n"
                          "51 26 0:52 / /media/anna/A rw - fuse.fuse2fs img rw\n")
            << QStringList{u"A (/media/anna/A)"_qs, u"/"_qs};
        QTest::newRow("FUSE and loop volumes the desktop mounted for its user are removable")
            << QByteArray("26 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                          "50 26 0:52 / /media/anna/FUSE rw - fuse.fuse2fs /home/anna/disk.img rw\n"
                          "51 26 7:0 / /run/media/anna/LOOP rw - ext4 /dev/loop0 rw\n"
                          "52 26 7:1 / /media/other rw - ext4 /dev/loop1 rw\n")
            << QStringList{u"/run/media/anna/LOOP"_qs, u"FUSE (/media/anna/FUSE)"_qs, u"/"_qs, u"/media/other"_qs};
        QTest::newRow("a directory of a listed file system mounted elsewhere is not a volume")
            << QByteArray("26 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                          "60 26 8:1 /home/anna/dir /mnt/dir rw - ext4 /dev/sda1 rw\n"
                          "61 26 8:17 /DCIM /mnt/photos rw - vfat /dev/sdb1 rw\n"
                          "62 26 8:17 / /media/anna/CAMERA rw - vfat /dev/sdb1 rw\n")
            << QStringList{u"CAMERA (/media/anna/CAMERA)"_qs, u"/"_qs};
        QTest::newRow("a file system mounted at several places is listed once")
            << QByteArray("26 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                          "40 26 8:17 / /media/anna/KINGSTON rw - vfat /dev/sdb1 rw\n"
                          "41 26 8:17 / /mnt/again rw - vfat /dev/sdb1 rw\n")
            << QStringList{u"KINGSTON (/media/anna/KINGSTON)"_qs, u"/"_qs};
        QTest::newRow("btrfs subvolumes mounted by themselves stay, a directory of one does not")
            << QByteArray("26 1 0:30 /@ / rw - btrfs /dev/sda2 rw\n"
                          "27 26 0:30 /@home /home rw - btrfs /dev/sda2 rw\n"
                          "28 26 0:30 /@home/anna/share /srv/share rw - btrfs /dev/sda2 rw\n"
                          "29 26 0:30 /@homeless /srv/other rw - btrfs /dev/sda2 rw\n")
            << QStringList{u"/"_qs, u"/home"_qs, u"/srv/other"_qs};
        QTest::newRow("FUSE on a block device or an image file is a disk, other FUSE mounts are not")
            << QByteArray("26 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                          "70 26 0:60 / /mnt/ntfs rw - fuse /home/anna/ntfs.img rw\n"
                          "71 26 0:61 / /mnt/dev rw - fuse.somedriver /dev/sdd1 rw\n"
                          "72 26 0:62 / /mnt/ssh rw - fuse.sshfs anna@host:/ rw\n"
                          "73 26 0:63 / /mnt/bind rw - fuse.bindfs /home/anna rw\n"
                          "74 26 0:64 / /mnt/fd rw - fuse /dev/fuse rw\n")
            << QStringList{u"/"_qs, u"/mnt/ntfs"_qs, u"/mnt/dev"_qs};
        QTest::newRow("a mount point that is not UTF-8 is shown with U+FFFD")
            << QByteArray("26 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                          "40 26 8:17 / /media/anna/St\377ck rw - vfat /dev/sdb1 rw\n")
            << QStringList{u"St\uFFFDck (/media/anna/St\uFFFDck)"_qs, u"/"_qs};
        QTest::newRow("nothing mounted that a user could mean")
            << QByteArray("21 26 0:20 / /proc rw - proc proc rw\n") << QStringList{};
    }

    void listsDiskVolumes()
    {
        QFETCH(QByteArray, mountInfo);
        QFETCH(QStringList, entries);

        const auto removable = [](const MountEntry &m) { return m.source == u"/dev/sdb1" || m.source == u"/dev/sdc1"; };
        const auto label = [](const MountEntry &m) {
            return m.mountPoint.startsWith(u"/media/anna/") ? m.mountPoint.mid(12) : QString();
        };
        QStringList shown;
        for (const Volume &v : platform::volumesFrom(platform::parseMountInfo(mountInfo), removable, label)) {
            shown.append(v.entryText);
            const QString root = platform::displayedPath(v.driveSpecification);
            QVERIFY2(v.entryText.endsWith(root) || v.entryText.endsWith(root + u')'), qPrintable(v.entryText));
        }
        QCOMPARE(shown, entries);
    }

    void pathKeepsItsBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::newRow("ASCII") << QByteArray("/media/anna/KINGSTON") << u"/media/anna/KINGSTON"_qs;
        QTest::newRow("UTF-8, beyond the BMP too")
            << QByteArray("/Caf\xC3\xA9 \xF0\x90\x82\x80") << u"/Caf\u00E9 \U00010080"_qs;
        QTest::newRow("bytes that are not UTF-8") << QByteArray("/St\377\376ck") << u"/St\uFFFD\uFFFDck"_qs;
        QTest::newRow("overlong, surrogate and cut sequences")
            << QByteArray("/\xC0\xAF\xED\xB2\x80\xE2\x82") << u"/\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"_qs;
    }

    void pathKeepsItsBytes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        const QString path = platform::pathFromBytes(bytes);
        QCOMPARE(platform::bytesFromPath(path), bytes);
        QCOMPARE(platform::displayedPath(path), shown);
    }

    void btrfsSubvolumeIsStillItsVolume()
    {
        // Its files carry a device number of the subvolume's own, not the one the mount table shows.
        if (::geteuid() != 0 || !FatImage::missingTool({u"mkfs.btrfs"_qs, u"btrfs"_qs}).isEmpty())
            QSKIP("a btrfs volume needs root and mkfs.btrfs (btrfs-progs)");
        QTemporaryDir dir;
        const QString image = dir.filePath(u"volume.img"_qs), top = dir.filePath(u"top"_qs),
                      sub = dir.filePath(u"sub"_qs);
        QVERIFY(QDir().mkpath(top) && QDir().mkpath(sub));
        QVERIFY(QFile(image).open(QIODevice::WriteOnly) && QFile(image).resize(128 << 20));
        QCOMPARE(FatImage::run(u"mkfs.btrfs"_qs, {u"-q"_qs, image}), 0);
        if (FatImage::run(u"mount"_qs, {u"-o"_qs, u"loop"_qs, image, top}) != 0)
            QSKIP("this kernel mounts no btrfs");
        const bool made = FatImage::run(u"btrfs"_qs, {u"subvolume"_qs, u"create"_qs, top + u"/vol"_qs}) == 0
            && FatImage::run(u"mount"_qs, {u"-o"_qs, u"loop,subvol=vol"_qs, image, sub}) == 0;
        ::umount2(QFile::encodeName(top).constData(), MNT_DETACH);
        QVERIFY(made);

        const QList<platform::Volume> volumes = platform::mountedVolumes();
        const auto listed = std::find_if(volumes.begin(), volumes.end(),
                                         [&](const platform::Volume &v) { return v.driveSpecification == sub; });
        QVERIFY(listed != volumes.end());
        QVERIFY(platform::isMountedAt(sub, listed->device));
        QCOMPARE(::umount2(QFile::encodeName(sub).constData(), MNT_DETACH), 0);
        QVERIFY(!platform::isMountedAt(sub, listed->device));
    }
};

QTEST_GUILESS_MAIN(TstVolumeList)
#include "tst_volumelist.moc"
