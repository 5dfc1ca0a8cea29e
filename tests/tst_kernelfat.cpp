// SPDX-License-Identifier: LicenseRef-proprietary
// The file functions on the kernel's own FAT drivers, which this machine's kernel may lack:
// the test boots user-mode Linux once with one FAT image per row as its disks, runs itself
// inside ("--guest DIR") to mount each image and act on it through the program's disk
// worker, and reads the attributes back from the images with mtools once the guest has
// halted. A disk failing its writes is a device-mapper target put under the mounted volume.
#include "DiskImage.h"
#include "FakeControls.h"

#include "AutorunFile.h"
#include "DiskWorker.h"
#include "StagedScan.h"
#include "VolumeFileFunctions.h"
#include "WorkerFileFunctions.h"

#include <QDataStream>
#include <QTest>

#include <cstring>
#include <sys/mount.h>
#include <sys/reboot.h>
#include <unistd.h>

namespace {

// One vfat disk of the guest: how its image is made, what is done on it, and what must
// follow; unless a row says otherwise, scanned, its file found, shown and cleared. Every file
// starts read-only, hidden, system and archive.
struct Disk {
    const char *row;
    const char *name = "AUTORUN.INF"; // on the image
    const char *alias = nullptr;      // the 8.3 alias mtools gives it, to be renamed AUTORUN.INF
    bool failingWrites = false;       // reads answer, every write fails
    bool deleteIt = false;            // Delete, else a scan
    const QString *box = &kFoundBox;  // the one box shown; the file's text is shown with "found"
    const char *attributes = "";      // as mattrib reads them afterwards
};

// clang-format off
const Disk kDisks[] = {
    {.row = "vfat: R H S A cleared, found, shown"},
    {.row = "vfat: long name whose 8.3 alias is AUTORUN.INF", .name = "Readme for this stick.txt", .alias = "README~1TXT"},
    {.row = "Delete on a disk failing its writes: said, the file stays", .failingWrites = true,
     .deleteIt = true, .box = &kNotDeletedBox, .attributes = "ASHR"},
};
// clang-format on
constexpr int kDiskCount = int(std::size(kDisks));

// Where disk i is mounted in the guest, and its image, in the test's directory `dir`.
const auto mountPoint = [](const QString &dir, int disk) { return QDir(dir).filePath(u"mnt%1"_qs.arg(disk)); };
const auto imagePath = [](const QString &dir, int disk) { return QDir(dir).filePath(u"disk%1.img"_qs.arg(disk)); };

// Inside the guest: mounts disk i, through a device-mapper device whose writes fail once it
// is mounted where the row says so; why not.
QString mountDisk(const QString &dir, int i)
{
    const QString ubd = u"/dev/ubd"_qs + QChar(u'a' + i), name = u"orvane%1"_qs.arg(i);
    const QString sectors = QString::number(QFileInfo(imagePath(dir, i)).size() / 512);
    const bool failing = kDisks[i].failingWrites;
    const auto dmsetup = [&](const QStringList &arguments) {
        return !failing || DiskImage::run(u"dmsetup"_qs, arguments) == 0;
    };
    if (!dmsetup({u"create"_qs, name, u"--table"_qs, u"0 %1 linear %2 0"_qs.arg(sectors, ubd)}))
        return u"dmsetup create failed"_qs;
    const QByteArray device = QFile::encodeName(failing ? u"/dev/mapper/"_qs + name : ubd);
    if (::mount(device.constData(), QFile::encodeName(mountPoint(dir, i)).constData(), "vfat", 0, nullptr) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    const QString table = u"0 %1 flakey %2 0 0 1 1 error_writes"_qs.arg(sectors, ubd);
    if (!dmsetup({u"suspend"_qs, name}) || !dmsetup({u"load"_qs, name, u"--table"_qs, table})
        || !dmsetup({u"resume"_qs, name}))
        return u"the failing writes could not be put under the volume"_qs;
    return {};
}

// Inside the guest: mounts disk i as /dev/ubd<a + i>, acts on it through one disk worker for
// all of them, unmounts it once no call on it is left running, and writes what the controls
// showed of each, and anything that failed on the way, to DIR/results.
int guestMain(const QString &dir)
{
    qputenv("DM_DISABLE_UDEV", "1"); // the guest has no udev: dmsetup makes the device nodes itself
    // The guest's own /proc over the host's, which its root shows: dmsetup reads its devices there.
    if (::mount("proc", "/proc", "proc", 0, nullptr) != 0)
        return 1;
    platform::DiskWorker worker;
    platform::WorkerFileFunctions workerFiles(platform::volumeFileFunctions(), worker);
    QList<QStringList> results(kDiskCount);
    for (int i = 0; i < kDiskCount; ++i) {
        if (const QString error = mountDisk(dir, i); !error.isEmpty()) {
            results[i] << u"mount: "_qs + error;
            continue;
        }
        FakeControls controls(mountPoint(dir, i), workerFiles);
        scan::TickCounter ticks = 9;
        if (kDisks[i].deleteIt)
            scan::deleteCommand(controls, workerFiles);
        else
            runTicks(ticks, 1, controls, workerFiles);
        results[i] << controls.boxes << controls.contents;
        if (!QTest::qWaitFor([&] { return !worker.isStuck(mountPoint(dir, i)); }, 30'000))
            results[i] << u"umount: the stuck call did not return"_qs;
        else if (::umount(QFile::encodeName(mountPoint(dir, i)).constData()) != 0)
            results[i] << u"umount: "_qs + QString::fromLocal8Bit(std::strerror(errno));
    }
    QFile out(QDir(dir).filePath(u"results"_qs));
    if (!out.open(QIODevice::WriteOnly))
        return 1;
    QDataStream stream(&out);
    stream << results;
    return out.flush() ? 0 : 1;
}

// mtools names a long file's 8.3 alias itself; this renames the alias `alias` to
// AUTORUN.INF and gives the long name's entries the checksum that binds them to it.
bool renameAlias(const QString &image, const QByteArray &alias)
{
    QFile f(image);
    if (!f.open(QIODevice::ReadWrite))
        return false;
    QByteArray bytes = f.readAll();
    const qsizetype at = bytes.indexOf(alias);
    if (at < 0 || at % 32 != 0)
        return false;
    const QByteArray shortName = "AUTORUN INF";
    bytes.replace(at, 11, shortName);
    quint8 sum = 0;
    for (const char c : shortName)
        sum = quint8(((sum & 1) ? 0x80 : 0) + (sum >> 1) + quint8(c));
    for (qsizetype entry = at - 32; entry >= 0 && bytes[entry + 11] == 0x0F; entry -= 32)
        bytes[entry + 13] = char(sum);
    return f.seek(0) && f.write(bytes) == bytes.size();
}

// The attributes mattrib shows for `name`, as it orders them ("ASHR" for archive, system,
// hidden and read-only), or "gone".
QString attributesOnImage(const QString &image, const QString &name)
{
    QByteArray listing;
    if (DiskImage::run(u"mattrib"_qs, {u"-i"_qs, image, u"::"_qs + name}, &listing) != 0)
        return u"gone"_qs;
    return QString::fromLatin1(listing.left(listing.indexOf("::"))).remove(u' ');
}

} // namespace

class TstKernelFat : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
        QSKIP("a sanitizer cannot reserve its shadow memory inside user-mode Linux; the plain build runs this test");
#endif
        // linux.uml: user-mode Linux, Debian's user-mode-linux.
        SKIP_FOR(DiskImage::missingTool({u"linux.uml"_qs, u"mkfs.vfat"_qs, u"mcopy"_qs, u"mattrib"_qs, u"dmsetup"_qs}));
        if (QDir(u"/usr/lib/uml/modules"_qs).entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty())
            QSKIP("user-mode Linux has no modules under /usr/lib/uml/modules");
        QVERIFY(m_dir.isValid());

        QStringList arguments{
            u"mem=64M"_qs,  u"uml_dir="_qs + m_dir.path(), u"rootfstype=hostfs"_qs, u"rootflags=/"_qs, u"rw"_qs,
            u"con=null"_qs, u"con0=fd:0,fd:1"_qs};
        for (int i = 0; i < kDiskCount; ++i) {
            const QString image = imagePath(m_dir.path(), i), name = QString::fromLatin1(kDisks[i].name);
            QVERIFY(QDir().mkpath(mountPoint(m_dir.path(), i)));
            QVERIFY(DiskImage::makeFat(image, {name}));
            // The attributes stay with the alias's entry, whose name alone changes.
            if (kDisks[i].alias)
                QVERIFY2(renameAlias(image, kDisks[i].alias), "the long name's alias is not where it was expected");
            QCOMPARE(attributesOnImage(image, name), u"ASHR"_qs);
            arguments.append(u"ubd%1=%2"_qs.arg(i).arg(image));
        }

        // The guest's init: the FAT modules (character sets first) and device mapper's, then this
        // test inside.
        const QString init = m_dir.filePath(u"init.sh"_qs);
        QVERIFY(writeFile(init,
                          u"#!/bin/sh\n"
                          "PATH=/usr/sbin:/usr/bin:/sbin:/bin; export PATH\n"
                          "echo booted > '%1/booted'\n"
                          "m=/usr/lib/uml/modules/$(uname -r)/kernel\n"
                          "for module in fs/nls/nls_cp437 fs/nls/nls_iso8859-1 fs/fat/fat fs/fat/vfat \\\n"
                          "    drivers/md/dm-mod drivers/md/dm-flakey; do\n"
                          "    insmod $m/$module.ko\n"
                          "done\n"
                          "'%2' --guest '%1' > '%1/guest.log' 2>&1\n"
                          "exec '%2' --halt\n"_qs.arg(m_dir.path(), QCoreApplication::applicationFilePath())
                              .toLocal8Bit()));
        QVERIFY(QFile::setPermissions(init, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        arguments.append(u"init="_qs + init);

        QProcess guest;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"TMPDIR"_qs, m_dir.path()); // its memory file; /dev/shm may forbid executing it
        guest.setProcessEnvironment(env);
        guest.setProcessChannelMode(QProcess::MergedChannels);
        guest.start(u"linux.uml"_qs, arguments);
        guest.closeWriteChannel();
        const bool halted = guest.waitForFinished(50'000);
        if (!halted)
            guest.kill();
        const QByteArray console = guest.readAll().right(1500);
        if (!QFile::exists(m_dir.filePath(u"booted"_qs)))
            QSKIP(qPrintable(u"user-mode Linux cannot boot here:\n"_qs + QString::fromLocal8Bit(console)));
        const QByteArray results = readFile(m_dir.filePath(u"results"_qs));
        if (results.isEmpty()) {
            QFAIL(qPrintable(u"the guest wrote no results; its output:\n"_qs
                             + QString::fromLocal8Bit(readFile(m_dir.filePath(u"guest.log"_qs)))
                             + u"\nthe console:\n"_qs + QString::fromLocal8Bit(console)));
        }
        QDataStream stream(results);
        stream >> m_results;

        QVERIFY2(halted, "user-mode Linux did not halt");
    }

    void onTheKernelDriver_data()
    {
        QTest::addColumn<int>("disk");
        for (int i = 0; i < kDiskCount; ++i)
            QTest::newRow(kDisks[i].row) << i;
    }

    void onTheKernelDriver()
    {
        QFETCH(int, disk);
        const Disk &expected = kDisks[disk];
        // The box, then the pane; a step that failed in the guest says so instead.
        QCOMPARE(m_results.value(disk),
                 (QStringList{*expected.box, expected.box == &kFoundBox ? kAutorunShown : QString()}));
        QCOMPARE(attributesOnImage(imagePath(m_dir.path(), disk), QString::fromLatin1(expected.name)),
                 QString::fromLatin1(expected.attributes));
    }

private:
    QTemporaryDir m_dir;
    QList<QStringList> m_results;
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--guest") == 0)
        return guestMain(QString::fromLocal8Bit(argv[2]));
    if (argc == 2 && qstrcmp(argv[1], "--halt") == 0) { // the guest's end, needing no halt command
        ::sync();
        return ::reboot(RB_POWER_OFF);
    }
    TstKernelFat test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_kernelfat.moc"
