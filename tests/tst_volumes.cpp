// SPDX-License-Identifier: LicenseRef-proprietary
// The volume list, and the scan and Delete on real volumes: disks that lie, refuse or carry
// odd names, mounted by the kernel (ext2), fusefat and ntfs-3g. Every verdict is
// about the disk that was given, and true of it.
#include "DiskImage.h"
#include "FakeControls.h"

#include "AutorunFile.h"
#include "LocalFileFunctions.h"
#include "PathBytes_unix.h"
#include "VolumeList_linux.h"

#include <QScopeGuard>
#include <QTest>
#include <QtEndian>

#include <sys/xattr.h>

using platform::MountEntry;
using platform::Volume;

namespace {
// The system disk, sda1, as the kernel writes its line of the mount table; each row's lines
// follow it.
const QByteArray kSystemDisk = "26 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n";

// NTFS's FILE_ATTRIBUTE_READONLY | HIDDEN | SYSTEM | ARCHIVE, and two that must stay:
// TEMPORARY and NOT_CONTENT_INDEXED.
constexpr quint32 kWormAttributes = 0x27, kKept = 0x2100;
constexpr qint64 kGone = -1;

// The attributes ntfs-3g offers in system.ntfs_attrib_be; kGone for none.
qint64 ntfsAttributes(const QString &path)
{
    quint32 value = 0;
    const auto got = ::getxattr(QFile::encodeName(path).constData(), "system.ntfs_attrib_be", &value, sizeof value);
    return got == sizeof value ? qint64(qFromBigEndian(value)) : kGone;
}

} // namespace

class TstVolumes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void listsDiskVolumes_data()
    {
        QTest::addColumn<QByteArray>("mountInfo");
        QTest::addColumn<QStringList>("entries");

        QTest::newRow("removable newest first, then fixed in mount order, pseudo and network left out")
            // sdb1 and sdc1 removable sticks (sdc1 the newer), a FAT image through FUSE, and the
            // pseudo file systems.
            << QByteArray("21 26 0:20 / /proc rw,relatime - proc proc rw\n"
                          "27 26 0:22 / /dev/shm rw - tmpfs tmpfs rw\n"
                          "40 26 8:17 / /media/anna/KINGSTON rw,nosuid shared:5 - vfat /dev/sdb1 rw\n"
                          "41 26 0:45 / /mnt/nfs rw - nfs4 server:/export rw\n"
                          "38 26 8:33 / /media/anna/MY\\040STICK rw - exfat /dev/sdc1 rw\n"
                          "43 26 0:50 / /tmp/img rw - fuse.fusefat fusefat rw\n"
                          "44 26 0:51 / /run/user/0/gvfs rw - fuse.gvfsd-fuse gvfsd-fuse rw\n"
                          "45 26 7:0 / /snap/core rw - squashfs /dev/loop0 ro\n"
                          "broken line\n")
            << QStringList{u"MY STICK (/media/anna/MY STICK)"_qs, u"KINGSTON (/media/anna/KINGSTON)"_qs, u"/"_qs,
                           u"/tmp/img"_qs};
        QTest::newRow("a later mount on the same root hides the earlier one")
            << QByteArray("50 26 8:17 / /media/anna/A rw - vfat /dev/sdb1 rw\n"
                          "51 26 0:52 / /media/anna/A rw - fuse.fuse2fs img rw\n")
            << QStringList{u"A (/media/anna/A)"_qs, u"/"_qs};
        QTest::newRow("btrfs subvolumes mounted by themselves stay, a directory of one does not")
            << QByteArray("26 1 0:30 /@ / rw - btrfs /dev/sda2 rw\n"
                          "28 26 0:30 /@home/anna/share /srv/share rw - btrfs /dev/sda2 rw\n"
                          "27 26 0:30 /@home /home rw - btrfs /dev/sda2 rw\n"
                          "29 26 0:30 /@homeless /srv/other rw - btrfs /dev/sda2 rw\n")
            << QStringList{u"/"_qs, u"/home"_qs, u"/srv/other"_qs};
        QTest::newRow("FUSE on a block device or an image file is a disk, other FUSE mounts are not")
            << QByteArray("70 26 0:60 / /mnt/ntfs rw - fuse /home/anna/ntfs.img rw\n"
                          "71 26 0:61 / /mnt/dev rw - fuse.somedriver /dev/sdd1 rw\n"
                          "72 26 0:62 / /mnt/ssh rw - fuse.sshfs anna@host:/ rw\n"
                          "73 26 0:63 / /mnt/bind rw - fuse.bindfs /home/anna rw\n"
                          "74 26 0:64 / /mnt/fd rw - fuse /dev/fuse rw\n")
            << QStringList{u"/"_qs, u"/mnt/ntfs"_qs, u"/mnt/dev"_qs};
        QTest::newRow("mount points: what is not UTF-8 shown as U+FFFD, UTF-8 beyond the BMP kept")
            << QByteArray("40 26 8:17 / /media/anna/St\377\376ck rw - vfat /dev/sdb1 rw\n"
                          "41 26 8:33 / /media/anna/\xC0\xAF\xED\xB2\x80\xE2\x82 rw - vfat /dev/sdc1 rw\n"
                          "42 26 8:49 / /mnt/Caf\xC3\xA9\\040\xF0\x90\x82\x80 rw - ext4 /dev/sdd1 rw\n")
            << QStringList{
                   u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD (/media/anna/\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD)"_qs,
                   u"St\uFFFD\uFFFDck (/media/anna/St\uFFFD\uFFFDck)"_qs, u"/"_qs, u"/mnt/Caf\u00E9 \U00010080"_qs};
        QTest::newRow("a label that would reorder its entry shows the override as U+FFFD")
            << QByteArray("40 26 8:17 / /media/anna/\xE2\x80\xAEgnp.exe rw - vfat /dev/sdb1 rw\n")
            << QStringList{u"\uFFFDgnp.exe (/media/anna/\uFFFDgnp.exe)"_qs, u"/"_qs};
    }

    void listsDiskVolumes()
    {
        QFETCH(QByteArray, mountInfo);
        QFETCH(QStringList, entries);

        const auto removable = [](const MountEntry &m) { return m.source == u"/dev/sdb1" || m.source == u"/dev/sdc1"; };
        const auto label = [](const MountEntry &m) {
            return m.mountPoint.startsWith(u"/media/anna/") ? m.mountPoint.mid(12) : QString();
        };
        const QByteArray table = kSystemDisk + mountInfo;
        QStringList shown;
        for (const Volume &v : platform::volumesFrom(platform::parseMountInfo(table), removable, label)) {
            shown.append(v.entryText);
            // Its root, byte for byte as the table has it: the volume is found again by it.
            QVERIFY(table.contains(' ' + platform::bytesFromPath(v.driveSpecification).replace(' ', "\\040") + ' '));
        }
        QCOMPARE(shown, entries);
    }

    void verdictIsTrue_data()
    {
        QTest::addColumn<QString>("volume"); // a kind of image and its mount options, or "search-only root"
        QTest::addColumn<QStringList>("layout");
        QTest::addColumn<QStringList>("boxes"); // the verdict, then what Delete said
        QTest::addColumn<QStringList>("left");  // the root's entries after Delete
        QTest::addColumn<QString>("contents");

        const auto row = [](const char *name, const QString &volume, const char *layout, const QStringList &boxes,
                            const char *left, const QString &contents = kAutorunShown) {
            QTest::newRow(name) << volume << entriesOf(layout) << boxes << entriesOf(left) << contents;
        };
        row("listing says directory, the entry is an empty file: found and deleted", u"ext2 rw"_qs,
            "lying:AUTORUN.INF dir:sub autorun.inf.txt", {kFoundBox}, "autorun.inf.txt sub", QString());
        row("fusefat, R H S A: found, shown and deleted", u"fat rw+"_qs, "AUTORUN.INF KEEP.TXT", {kFoundBox},
            "KEEP.TXT");
        row("fusefat mounted read-only: found, shown, Delete refused", u"fat ro"_qs, "AUTORUN.INF",
            {kFoundBox, kNotDeletedBox}, "AUTORUN.INF");
        row("root searchable, not listable, other case: not checked, nothing touched", u"search-only root"_qs,
            "AUTORUN.INF", {kNotCheckedBox}, "AUTORUN.INF", QString());
    }

    void verdictIsTrue()
    {
        QFETCH(QString, volume);
        QFETCH(QStringList, layout);
        QFETCH(QStringList, boxes);
        QFETCH(QStringList, left);
        QFETCH(QString, contents);

        std::optional<TempVolume> directory;
        std::optional<DiskImage> image;
        // Root again, however the test ends; as an unprivileged user the kernel checks every
        // permission that root would pass.
        const auto beRoot = qScopeGuard([] {
            (void)::seteuid(0);
            (void)::setegid(0);
        });
        QString root;
        if (volume == u"search-only root") {
            if (::geteuid() != 0)
                QSKIP("acting as another user needs root");
            directory.emplace(layout);
            root = directory->root();
        } else {
            const DiskImage::Kind kind = volume.startsWith(u"fat") ? DiskImage::Kind::Fat : DiskImage::Kind::Ext2;
            SKIP_FOR(DiskImage::unavailableReason(kind));
            image.emplace(kind);
            QVERIFY(image->create(layout) && image->mount(volume.section(u' ', 1)));
            root = image->root();
        }
        const QList<QFile::Permissions> before = permissionsOf(root, left);
        FakeControls controls(root);
        if (directory) {
            QCOMPARE(::chmod(QFile::encodeName(root).constData(), 0111), 0);
            QVERIFY(::setegid(65534) == 0 && ::seteuid(65534) == 0);
        }

        scan::TickCounter tickCount = 0;
        runTicks(tickCount, 10, controls);
        scan::deleteCommand(controls, platform::localFileFunctions());
        QVERIFY(::seteuid(0) == 0 && ::setegid(0) == 0);

        QCOMPARE(controls.boxes, boxes);
        QCOMPARE(controls.contents, contents);
        QCOMPARE(directory ? directory->entries() : image->entries(), left);
        QCOMPARE(permissionsOf(root, left), before); // nothing but the autorun file touched
    }

    void endlessRootIsNotChecked()
    {
        // A root whose listing never ends, as a FAT whose cluster chain loops: the name looked
        // for in the listing, which is given up on far past any real root.
        SKIP_FOR(PythonDisk::unavailableReason());
        const PythonDisk disk(QFINDTESTDATA("endlessfs.py"), {});
        QVERIFY(disk.mounted());
        QCOMPARE(platform::localFileFunctions().lookup(disk.root() + u"/autorun.inf"_qs).status,
                 platform::Status::VolumeUnavailable);
    }

    void throughNtfs3g_data()
    {
        QTest::addColumn<bool>("deleteIt"); // Delete alone, else a scan
        QTest::newRow("R H S A cleared, the other attributes kept") << false;
        QTest::newRow("Delete removes a file with R H S A") << true;
    }

    // The attributes set and read back through the one ntfs-3g offers.
    void throughNtfs3g()
    {
        QFETCH(bool, deleteIt);
        SKIP_FOR(DiskImage::unavailableReason(DiskImage::Kind::Ntfs));

        DiskImage ntfs(DiskImage::Kind::Ntfs);
        QVERIFY(ntfs.create({u"AUTORUN.INF"_qs}));
        const QString file = ntfs.root() + u"/AUTORUN.INF"_qs;
        const quint32 value = qToBigEndian(kWormAttributes | kKept);
        QCOMPARE(::setxattr(QFile::encodeName(file).constData(), "system.ntfs_attrib_be", &value, sizeof value, 0), 0);
        FakeControls controls(ntfs.root());
        scan::TickCounter ticks = 9; // the check of the last stage, reset included
        if (deleteIt)
            scan::deleteCommand(controls, platform::localFileFunctions());
        else
            runTicks(ticks, 1, controls);
        QCOMPARE(controls.boxes, deleteIt ? QStringList{} : QStringList{kFoundBox});
        QCOMPARE(controls.contents, deleteIt ? QString() : kAutorunShown);
        QVERIFY(ntfs.unmount() && ntfs.mount(u"ro"_qs)); // as the volume holds them
        QCOMPARE(ntfsAttributes(file), deleteIt ? kGone : qint64(kKept));
    }
};

QTEST_GUILESS_MAIN(TstVolumes)
#include "tst_volumes.moc"
