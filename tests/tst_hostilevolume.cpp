// SPDX-License-Identifier: LicenseRef-proprietary
#include "DiskImage.h"
#include "FakeControls.h"
#include "TempVolume.h"

#include "platform/files/VolumeList.h"
#include "scan/AutorunFile.h"
#include "scan/StagedScan.h"

#include <QScopeGuard>
#include <QTest>

// Disks that lie, refuse or carry odd names: every verdict is about the disk that was
// given, and true of it.
class TstHostileVolume : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void verdictIsTrue_data()
    {
        QTest::addColumn<QString>("volume"); // "ext2", "ntfs-3g image" or "search-only root"
        QTest::addColumn<QByteArray>("mountName");
        QTest::addColumn<QStringList>("layout");
        QTest::addColumn<QStringList>("boxes"); // the verdict, then what Delete said
        QTest::addColumn<QStringList>("left");  // the root's entries after Delete

        const auto row = [](const char *name, const QString &volume, const QByteArray &mountName, const char *layout,
                            const QStringList &boxes, const char *left) {
            QTest::newRow(name) << volume << mountName << entriesOf(layout) << boxes << entriesOf(left);
        };
        row("listing says directory, the entry is a file: found and deleted", u"ext2"_qs, "stick",
            "lying:AUTORUN.INF dir:sub autorun.inf.txt", {kFoundBox}, "autorun.inf.txt sub");
        row("mount point named with a byte that is not UTF-8: found and deleted", u"ext2"_qs, "st\377\376ck",
            "autorun.inf keep.txt", {kFoundBox}, "keep.txt");
        row("ntfs-3g on an image file: listed, found and deleted", u"ntfs-3g image"_qs, "stick", "AUTORUN.INF keep.txt",
            {kFoundBox}, "keep.txt");
        row("root searchable, not listable, exact name: found, Delete refused", u"search-only root"_qs, "stick",
            "autorun.inf keep.txt", {kFoundBox, kNotDeletedBox}, "autorun.inf keep.txt");
        row("root searchable, not listable, other case: not checked, nothing touched", u"search-only root"_qs, "stick",
            "AUTORUN.INF", {kNotCheckedBox}, "AUTORUN.INF");
    }

    void verdictIsTrue()
    {
        QFETCH(QString, volume);
        QFETCH(QByteArray, mountName);
        QFETCH(QStringList, layout);
        QFETCH(QStringList, boxes);
        QFETCH(QStringList, left);

        std::optional<TempVolume> directory;
        std::optional<DiskImage> image;
        // Root again, however the test ends; as an unprivileged user the kernel checks every
        // permission that root would pass.
        const auto beRoot = qScopeGuard([] {
            (void)::seteuid(0);
            (void)::setegid(0);
        });
        FakeControls controls;
        if (volume == u"search-only root") {
            if (::geteuid() != 0)
                QSKIP("acting as another user needs root");
            directory.emplace(layout);
            QCOMPARE(::chmod(QFile::encodeName(directory->root()).constData(), 0111), 0);
            controls.drive = directory->root();
            QVERIFY(::setegid(65534) == 0 && ::seteuid(65534) == 0);
        } else {
            const auto kind = volume == u"ext2" ? DiskImage::Kind::Ext2 : DiskImage::Kind::Ntfs;
            if (const QString reason = DiskImage::unavailableReason(kind); !reason.isEmpty())
                QSKIP(qPrintable(u"No such volume can be mounted here: "_qs + reason));
            image.emplace(kind, mountName);
            QVERIFY(image->create(layout));
            QVERIFY(image->mount());
            const std::optional<platform::Volume> listed = DiskImage::listedAt(image->mountPoint());
            QVERIFY2(listed, "the mounted volume is missing from the volume list");
            controls.drive = listed->driveSpecification;
        }

        scan::TickCounter tickCount = 0;
        runTicks(tickCount, 10, controls);
        scan::deleteCommand(controls, platform::localFileFunctions());
        QVERIFY(::seteuid(0) == 0 && ::setegid(0) == 0);

        QCOMPARE(controls.boxes, boxes);
        QCOMPARE(directory ? directory->entries() : image->entries(), left);
    }
};

QTEST_GUILESS_MAIN(TstHostileVolume)
#include "tst_hostilevolume.moc"
