// SPDX-License-Identifier: LicenseRef-proprietary
// The file functions on NTFS through ntfs-3g, the driver most desktops mount NTFS sticks
// with: a real image on a loop device, the attributes set and read back through the
// attribute ntfs-3g offers, system.ntfs_attrib_be.
#include "DiskImage.h"
#include "FakeControls.h"

#include "scan/AutorunFile.h"
#include "scan/StagedScan.h"

#include <QTest>
#include <QtEndian>

#include <sys/xattr.h>

using platform::Status;

namespace {

// FILE_ATTRIBUTE_READONLY | HIDDEN | SYSTEM | ARCHIVE, and two that must stay:
// TEMPORARY and NOT_CONTENT_INDEXED. ntfs-3g reads no attribute at all as NORMAL.
constexpr quint32 kWormAttributes = 0x27, kKept = 0x2100, kNormal = 0x80;
constexpr qint64 kGone = -1;

qint64 attributesOf(const QString &path)
{
    quint32 value = 0;
    if (::getxattr(QFile::encodeName(path).constData(), "system.ntfs_attrib_be", &value, sizeof value) != sizeof value)
        return kGone;
    return qFromBigEndian(value);
}

bool setAttributes(const QString &path, quint32 attributes)
{
    const quint32 value = qToBigEndian(attributes);
    return ::setxattr(QFile::encodeName(path).constData(), "system.ntfs_attrib_be", &value, sizeof value, 0) == 0;
}

} // namespace

class TstNtfsVolume : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (const QString reason = DiskImage::unavailableReason(DiskImage::Kind::Ntfs); !reason.isEmpty())
            QSKIP(qPrintable(u"No NTFS volume can be mounted here: "_qs + reason));
    }

    void throughNtfs3g_data()
    {
        QTest::addColumn<QString>("options");
        QTest::addColumn<QString>("name");
        QTest::addColumn<quint32>("before");
        QTest::addColumn<bool>("deleteIt");
        QTest::addColumn<Status>("reset");
        QTest::addColumn<qint64>("after"); // as the volume holds it once unmounted

        QTest::newRow("R H S A cleared, the other attributes kept")
            << u"rw"_qs << u"AUTORUN.INF"_qs << (kWormAttributes | kKept) << false << Status::Ok << qint64(kKept);
        QTest::newRow("mounted read-only: reset fails, still found")
            << u"ro"_qs << u"AUTORUN.INF"_qs << kWormAttributes << false << Status::WriteProtected
            << qint64(kWormAttributes);
        QTest::newRow("name in another case")
            << u"rw"_qs << u"AutoRun.Inf"_qs << kWormAttributes << false << Status::Ok << qint64(kNormal);
        QTest::newRow("Delete removes a file with R H S A")
            << u"rw"_qs << u"AUTORUN.INF"_qs << kWormAttributes << true << Status::Ok << kGone;
    }

    void throughNtfs3g()
    {
        QFETCH(QString, options);
        QFETCH(QString, name);
        QFETCH(quint32, before);
        QFETCH(bool, deleteIt);
        QFETCH(Status, reset);
        QFETCH(qint64, after);

        DiskImage ntfs(DiskImage::Kind::Ntfs);
        QVERIFY(ntfs.create({name}));
        const QString root = QFile::decodeName(ntfs.mountPoint());
        const QString file = QDir(root).filePath(name);
        QVERIFY(setAttributes(file, before));
        QCOMPARE(attributesOf(file), qint64(before));
        QVERIFY(ntfs.unmount());

        // From now on as a stick is mounted: from its block device.
        QVERIFY(ntfs.attachLoop());
        QVERIFY(ntfs.mount(options));
        FakeControls controls(root);
        platform::FileFunctions &files = platform::localFileFunctions();
        QCOMPARE(scan::AutorunFile(controls, files).resetAttributes(), reset);
        if (deleteIt) {
            scan::deleteCommand(controls, files);
            QCOMPARE(controls.boxes, QStringList{});
        } else {
            scan::TickCounter ticks = 9; // the check of the last stage, reset included
            runTicks(ticks, 1, controls, files);
            QCOMPARE(controls.boxes, QStringList{kFoundBox});
            QCOMPARE(controls.contents, kAutorunShown);
        }
        QVERIFY(ntfs.unmount());

        QVERIFY(ntfs.mount(u"ro"_qs));
        QCOMPARE(attributesOf(file), after);
    }
};

QTEST_GUILESS_MAIN(TstNtfsVolume)
#include "tst_ntfsvolume.moc"
