// SPDX-License-Identifier: LicenseRef-proprietary
#include "FakeControls.h"
#include "TempVolume.h"

#include "platform/files/DiskWorker.h"
#include "platform/files/DriveIdentities_win.h"
#include "platform/files/MountWatcher.h"
#include "platform/files/VolumeList.h"
#include "platform/files/WorkerFileFunctions.h"
#include "scan/AutorunFile.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <windows.h>

#include <atomic>
#include <future>

using platform::Status;

namespace {
// The slow drive opens and reads a file 400 ms late each time: a load is two such calls.
constexpr int kSlowDriveDeadlineMs = 600;

const wchar_t *wide(const QString &s)
{
    return reinterpret_cast<const wchar_t *>(s.utf16());
}
} // namespace

// The Windows file functions and drive list. The file rows work in the root of the drive that
// ORVANE_TEST_DRIVE names ("f:"), else in a temporary directory standing for one.
class TstWindowsFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        m_drive = qEnvironmentVariable("ORVANE_TEST_DRIVE");
        if (m_drive.isEmpty())
            m_drive = QDir::toNativeSeparators(m_temporary.path());
        m_root = m_drive.endsWith(u'\\') ? m_drive : m_drive + u'\\';
        QVERIFY(QDir(m_root).exists());
    }

    void init()
    {
        for (const QString &name : autorunEntries()) {
            const QString path = m_root + name;
            ::SetFileAttributesW(wide(path), FILE_ATTRIBUTE_NORMAL);
            QVERIFY(QFileInfo(path).isDir() ? QDir(path).removeRecursively() : QFile::remove(path));
        }
    }

    void readOnlyNeedsTheReset()
    {
        make(u"r:autorun.inf"_qs);
        const QString path = scan::AutorunPath(m_drive);
        platform::FileFunctions &files = platform::localFileFunctions();
        QCOMPARE(files.deleteFile(path), Status::AccessDenied);
        QCOMPARE(autorunEntries(), QStringList{u"autorun.inf"_qs});
        QCOMPARE(files.setAttributes(path, platform::FileAttributes::Normal), Status::Ok);
        QCOMPARE(files.deleteFile(path), Status::Ok);
        QCOMPARE(autorunEntries(), QStringList{});
    }

    void driveOrder_data()
    {
        using D = platform::DriveInfo;
        QTest::addColumn<QList<D>>("drives");
        QTest::addColumn<QStringList>("entries"); // removable ones marked with '*'

        QTest::newRow("removable first, then by letter")
            << QList<D>{{u"C:"_qs, DRIVE_FIXED, u"System"_qs, 0x1234},
                        {u"E:"_qs, DRIVE_REMOVABLE, u"STICK"_qs, 0xbeef},
                        {u"D:"_qs, DRIVE_CDROM, {}, 0},
                        {u"A:"_qs, DRIVE_REMOVABLE, {}, 0}}
            << QStringList{u"*a:"_qs, u"*e: [STICK]"_qs, u"c: [System]"_qs, u"d:"_qs};
        QTest::newRow("network and rootless drives left out") << QList<D>{{u"Z:"_qs, DRIVE_REMOTE, u"share"_qs, 7},
                                                                          {u"Y:"_qs, DRIVE_NO_ROOT_DIR, {}, 0},
                                                                          {u"R:"_qs, DRIVE_RAMDISK, u"RAM"_qs, 9}}
                                                              << QStringList{u"r: [RAM]"_qs};
    }

    void driveOrder()
    {
        QFETCH(QList<platform::DriveInfo>, drives);
        QFETCH(QStringList, entries);
        QStringList shown;
        for (const platform::Volume &v : platform::volumesFromDrives(drives)) {
            shown.append((v.removable ? u"*"_qs : QString()) + v.entryText);
            QVERIFY(v.entryText.startsWith(v.driveSpecification));
            QCOMPARE(v.driveSpecification.size(), 2);
        }
        QCOMPARE(shown, entries);
    }

    void drivesAnswerInTheirOwnTime()
    {
        // A drive that takes its time holds up no listing and is not asked twice at once; its
        // answer has the drives listed again only where it tells something new.
        using platform::DriveIdentity;
        struct Drive {
            const QList<DriveIdentity> answers{{u"STICK"_qs, 0xbeef}, {u"STICK"_qs, 0xbeef}, {u"STICK"_qs, 0xcafe}, {}};
            std::vector<std::promise<void>> gates = std::vector<std::promise<void>>(4); // one a question
            std::vector<std::shared_future<void>> open;
            std::atomic<int> asked = 0, told = 0;
        };
        const auto drive = std::make_shared<Drive>(); // the questions may outlive the test
        for (std::promise<void> &gate : drive->gates)
            drive->open.push_back(gate.get_future().share());
        platform::DriveIdentities identities(
            [drive](const QString &) {
                const int question = drive->asked++;
                drive->open[size_t(question)].wait();
                return drive->answers[question];
            },
            [drive] { ++drive->told; });
        const auto ask = [&] { return identities.ask(u"e:"_qs); };
        const auto answer = [&](int question) { drive->gates[size_t(question)].set_value(); };

        for (int listing = 0; listing < 3; ++listing)
            QCOMPARE(ask(), DriveIdentity{}); // at once, though the drive has not answered
        QTRY_COMPARE(drive->asked.load(), 1);
        answer(0);
        QTRY_COMPARE(drive->told.load(), 1);
        QCOMPARE(ask(), drive->answers[0]);
        answer(1); // the same again: nothing new
        QTRY_VERIFY((ask(), drive->asked == 3));
        QCOMPARE(drive->told.load(), 1);
        answer(2); // another disk
        QTRY_COMPARE(drive->told.load(), 2);
        QCOMPARE(ask(), drive->answers[2]);
        answer(3);
    }

    void liveDrives()
    {
        const QString drive = qEnvironmentVariable("ORVANE_TEST_DRIVE");
        if (drive.isEmpty())
            QSKIP("ORVANE_TEST_DRIVE names no removable drive set up for the test");
        // The process's first listing has no answer yet; the drive's answer has them listed again.
        const platform::MountWatcher watcher;
        QSignalSpy listAgain(&watcher, &platform::MountWatcher::changed);
        QList<platform::Volume> volumes = platform::mountedVolumes();
        QTRY_VERIFY(!listAgain.isEmpty());
        const auto answered = [&] {
            volumes = platform::mountedVolumes();
            return std::any_of(volumes.begin(), volumes.end(), [&](const platform::Volume &v) {
                return v.driveSpecification == drive && v.device != 0;
            });
        };
        QTRY_VERIFY(answered());
        const auto it = std::find_if(volumes.begin(), volumes.end(),
                                     [&](const platform::Volume &v) { return v.driveSpecification == drive; });
        QVERIFY(it != volumes.end());
        QVERIFY(it->removable);
        QCOMPARE(it->entryText, drive + u" ["_qs + qEnvironmentVariable("ORVANE_TEST_DRIVE_LABEL") + u']');
        QVERIFY(it->device != 0);
        QVERIFY(platform::isMountedAt(drive, it->device));
        QVERIFY(!platform::isMountedAt(drive, it->device ^ 1));
        const auto firstFixed =
            std::find_if(volumes.begin(), volumes.end(), [](const platform::Volume &v) { return !v.removable; });
        QVERIFY(std::none_of(firstFixed, volumes.end(), [](const platform::Volume &v) { return v.removable; }));
    }

    // A card reader or floppy drive without its medium: listed, and never reported clean.
    void driveWithoutMedium()
    {
        const QString drive = qEnvironmentVariable("ORVANE_EMPTY_DRIVE");
        if (drive.isEmpty())
            QSKIP("ORVANE_EMPTY_DRIVE names no drive without a medium set up for the test");
        const QList<platform::Volume> volumes = platform::mountedVolumes();
        QVERIFY(std::any_of(volumes.begin(), volumes.end(),
                            [&](const platform::Volume &v) { return v.driveSpecification == drive && v.removable; }));
        FakeControls controls(drive);
        scan::TickCounter ticks = 0;
        runTicks(ticks, 10, controls, platform::localFileFunctions());
        QCOMPARE(controls.boxes, QStringList{kNotCheckedBox});
    }

    // A disk that answers each call late, but answers: the file is read, however long that
    // takes in all, for the deadline counts from the disk's last answer to one of the calls.
    void slowDriveIsReadToTheEnd()
    {
        const QString drive = qEnvironmentVariable("ORVANE_SLOW_DRIVE");
        if (drive.isEmpty())
            QSKIP("ORVANE_SLOW_DRIVE names no slow drive set up for the test");
        platform::DiskWorker worker{std::chrono::milliseconds(kSlowDriveDeadlineMs)};
        platform::WorkerFileFunctions files(platform::localFileFunctions(), worker);
        const platform::Result<QByteArray> text = files.readPrefix(drive + u"\\autorun.inf"_qs, 65536);
        QCOMPARE(text.status, Status::Ok);
        QCOMPARE(text.value, kAutorunText);
    }

    // The disk worker keeps a drive that does not answer from holding up the others only if it
    // tells them apart by their paths.
    void workerTellsDrivesApart()
    {
        QCOMPARE(platform::volumeOf(scan::AutorunPath(u"e:"_qs)), u"e:"_qs);
        QCOMPARE(platform::volumeOf(scan::AutorunPath(u"f:"_qs)), u"f:"_qs);
    }

private:
    // The entries of the root whose names start with "autorun" in any case; a drive's own
    // files (Wine keeps its label there) are not the tests'.
    QStringList autorunEntries() const
    {
        return QDir(m_root).entryList(
            {u"autorun*"_qs}, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    }

    // "hsr:name" is a file with hidden, system and read-only set; "dir:name" a directory.
    void make(const QString &entry) const
    {
        const qsizetype colon = entry.indexOf(u':');
        const QString flags = entry.left(qMax<qsizetype>(colon, 0));
        const QString path = m_root + entry.mid(colon + 1);
        if (flags == u"dir") {
            QVERIFY(QDir().mkdir(path));
            return;
        }
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write("[autorun]\r\nopen=x.exe\r\n") > 0);
        file.close();
        DWORD attributes = 0;
        attributes |= flags.contains(u'h') ? FILE_ATTRIBUTE_HIDDEN : 0;
        attributes |= flags.contains(u's') ? FILE_ATTRIBUTE_SYSTEM : 0;
        attributes |= flags.contains(u'r') ? FILE_ATTRIBUTE_READONLY : 0;
        QVERIFY(attributes == 0 || ::SetFileAttributesW(wide(path), attributes));
        QCOMPARE(::GetFileAttributesW(wide(path)) & attributes, attributes);
    }

    QTemporaryDir m_temporary;
    QString m_drive; // what Drive1 would yield
    QString m_root;  // the drive's root directory, with its separator
};

QTEST_GUILESS_MAIN(TstWindowsFiles)
#include "tst_windowsfiles.moc"
