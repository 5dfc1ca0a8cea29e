// SPDX-License-Identifier: LicenseRef-proprietary
// The file functions on NTFS through ntfs-3g, the driver most desktops mount NTFS sticks
// with: a real image on a loop device, the attributes set and read back through the
// attribute ntfs-3g offers, system.ntfs_attrib_be.
#include "FakeControls.h"
#include "FatImage.h"
#include "TempVolume.h"

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

// An NTFS image on a loop device, mounted through ntfs-3g; unmounted and detached when
// it goes, whatever happened.
class NtfsImage
{
public:
    static QString unavailableReason()
    {
        if (::geteuid() != 0)
            return u"loop devices and FUSE mounts need root"_qs;
        for (const char *node : {"/dev/fuse", "/dev/loop-control"}) {
            if (!QFile::exists(QString::fromLatin1(node)))
                return QString::fromLatin1(node) + u" is missing"_qs;
        }
        for (const char *tool : {"mkntfs", "ntfs-3g", "losetup"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()
                && QStandardPaths::findExecutable(QString::fromLatin1(tool), {u"/sbin"_qs, u"/usr/sbin"_qs}).isEmpty())
                return QString::fromLatin1(tool) + u" is not installed"_qs;
        }
        return {};
    }

    ~NtfsImage()
    {
        unmount();
        if (!m_loop.isEmpty())
            FatImage::run(u"losetup"_qs, {u"-d"_qs, m_loop});
    }

    // Why the image could not be made and attached, or an empty string.
    QString create()
    {
        QFile image(m_dir.filePath(u"volume.img"_qs));
        if (!image.open(QIODevice::WriteOnly) || !image.resize(8 << 20))
            return u"no room for the image"_qs;
        image.close();
        if (FatImage::run(u"mkntfs"_qs, {u"-F"_qs, u"-f"_qs, u"-q"_qs, image.fileName()}) != 0)
            return u"mkntfs failed"_qs;
        QByteArray loop;
        if (FatImage::run(u"losetup"_qs, {u"-f"_qs, u"--show"_qs, image.fileName()}, &loop) != 0)
            return u"no loop device could be attached"_qs;
        m_loop = QString::fromLocal8Bit(loop.trimmed());
        return {};
    }

    bool mount(const QString &options)
    {
        QDir().mkpath(root());
        m_mounted = FatImage::run(u"ntfs-3g"_qs, {u"-o"_qs, options, m_loop, root()}) == 0;
        return m_mounted;
    }

    bool unmount()
    {
        if (m_mounted && FatImage::run(u"umount"_qs, {root()}) == 0)
            m_mounted = false;
        return !m_mounted;
    }

    QString root() const { return m_dir.filePath(u"mnt"_qs); }

private:
    QTemporaryDir m_dir;
    QString m_loop;
    bool m_mounted = false;
};

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
    void initTestCase();
    void throughNtfs3g_data();
    void throughNtfs3g();
};

void TstNtfsVolume::initTestCase()
{
    if (const QString reason = NtfsImage::unavailableReason(); !reason.isEmpty())
        QSKIP(qPrintable(u"No NTFS volume can be mounted here: "_qs + reason));
    NtfsImage probe;
    if (const QString reason = probe.create(); !reason.isEmpty())
        QSKIP(qPrintable(u"No NTFS volume can be mounted here: "_qs + reason));
}

void TstNtfsVolume::throughNtfs3g_data()
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

void TstNtfsVolume::throughNtfs3g()
{
    QFETCH(QString, options);
    QFETCH(QString, name);
    QFETCH(quint32, before);
    QFETCH(bool, deleteIt);
    QFETCH(Status, reset);
    QFETCH(qint64, after);

    NtfsImage ntfs;
    QCOMPARE(ntfs.create(), QString());
    const QString file = QDir(ntfs.root()).filePath(name);
    QVERIFY(ntfs.mount(u"rw"_qs));
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(kAutorunText) == kAutorunText.size());
    }
    QVERIFY(setAttributes(file, before));
    QCOMPARE(attributesOf(file), qint64(before));
    QVERIFY(ntfs.unmount());

    QVERIFY(ntfs.mount(options));
    FakeControls controls;
    controls.drive = ntfs.root();
    platform::FileFunctions &files = platform::localFileFunctions();
    QCOMPARE(scan::AutorunFile(controls, files).resetAttributes(), reset);
    if (deleteIt) {
        scan::deleteCommand(controls, files);
        QCOMPARE(controls.boxes, QStringList{});
    } else {
        scan::TickCounter ticks = 9; // the check of the last stage, reset included
        scan::tickSequence(ticks, controls, files);
        QCOMPARE(controls.boxes, QStringList{u"Information|An autorun file was founded, see its contents.|64"_qs});
        QCOMPARE(controls.contents, kAutorunShown);
    }
    QVERIFY(ntfs.unmount());

    QVERIFY(ntfs.mount(u"ro"_qs));
    QCOMPARE(attributesOf(file), after);
}

QTEST_GUILESS_MAIN(TstNtfsVolume)
#include "tst_ntfsvolume.moc"
