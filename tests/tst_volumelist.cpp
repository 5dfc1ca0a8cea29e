// SPDX-License-Identifier: LicenseRef-proprietary
#include "platform/files/VolumeList.h"

#include <QTest>

using platform::MountEntry;
using platform::Volume;

class TstVolumeList : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void listsDiskVolumes_data();
    void listsDiskVolumes();
};

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

void TstVolumeList::listsDiskVolumes_data()
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
        << QStringList{u"/"_qs, u"A (/media/anna/A)"_qs};
    QTest::newRow("nothing mounted that a user could mean")
        << QByteArray("21 26 0:20 / /proc rw - proc proc rw\n") << QStringList{};
}

void TstVolumeList::listsDiskVolumes()
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
        QVERIFY2(v.entryText.endsWith(v.driveSpecification) || v.entryText.endsWith(v.driveSpecification + u')'),
                 qPrintable(v.entryText));
    }
    QCOMPARE(shown, entries);
}

QTEST_GUILESS_MAIN(TstVolumeList)
#include "tst_volumelist.moc"
