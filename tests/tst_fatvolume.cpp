// SPDX-License-Identifier: LicenseRef-proprietary
#include "DiskImage.h"
#include "FakeControls.h"

#include "platform/files/VolumeList.h"
#include "scan/AutorunFile.h"

#include <QTest>

using platform::Status;

// An infected stick as Windows leaves it: AUTORUN.INF hidden, system and read-only, with
// Windows-1252 text, on a real FAT file system.
class TstFatVolume : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (const QString reason = FatImage::unavailableReason(); !reason.isEmpty())
            QSKIP(qPrintable(u"No FAT volume can be mounted here: "_qs + reason));
    }

    void throughTheVolumeList_data()
    {
        QTest::addColumn<QString>("options");
        QTest::addColumn<bool>("deleted");
        QTest::addColumn<QStringList>("boxes");

        QTest::newRow("writable stick: found, shown, deleted") << u"rw+"_qs << true << QStringList{};
        QTest::newRow("write-protected stick: found, shown, failed Delete said")
            << u"ro"_qs << false << QStringList{kNotDeletedBox};
    }

    void throughTheVolumeList()
    {
        QFETCH(QString, options);
        QFETCH(bool, deleted);
        QFETCH(QStringList, boxes);

        FatImage fat;
        QVERIFY(fat.create(u"AUTORUN.INF"_qs, kContent, {u"+h"_qs, u"+s"_qs, u"+r"_qs}));
        QVERIFY(fat.mount(options));

        const std::optional<platform::Volume> listed = DiskImage::listedAt(QFile::encodeName(fat.mountPoint()));
        QVERIFY2(listed, "the mounted FAT volume is missing from the volume list");
        FakeControls controls(listed->driveSpecification);
        scan::AutorunFile file(controls, platform::localFileFunctions());
        file.resetAttributes(); // this FUSE driver has no attributes to clear; the file is found anyway
        QCOMPARE(file.presenceTest().status, Status::Ok);
        QVERIFY(!file.presenceTest().value.isEmpty());
        QCOMPARE(file.loadIntoR(), Status::Ok);
        QCOMPARE(file.readContents().value, u"[autorun]\nlabel=Café\nopen=x.exe\n"_qs);

        scan::deleteCommand(controls, platform::localFileFunctions());
        QCOMPARE(controls.boxes, boxes);
        QVERIFY(fat.unmount());
        QCOMPARE(fat.rootListing().contains("AUTORUN"), !deleted);
    }

private:
    const QByteArray kContent = "[autorun]\r\nlabel=Caf\xE9\r\nopen=x.exe\r\n";
};

QTEST_GUILESS_MAIN(TstFatVolume)
#include "tst_fatvolume.moc"
