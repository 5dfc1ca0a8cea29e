// SPDX-License-Identifier: LicenseRef-proprietary
#include "FakeControls.h"
#include "TempVolume.h"

#include "AutorunFile.h"
#include "DiskWorker.h"
#include "DriveIdentities_win.h"
#include "LocalFileFunctions.h"
#include "MountWatcher.h"
#include "VolumeList.h"
#include "VolumeRoot.h"
#include "WorkerFileFunctions.h"

#include <QFileInfo>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>

#include <windows.h>

#include <array>
#include <atomic>
#include <thread>
#include <vector>

using platform::Status;

namespace {
// Drive `drive` as the drive list has it, or an empty volume where it is not listed.
platform::Volume listed(const QString &drive)
{
    for (const platform::Volume &v : platform::mountedVolumes()) {
        if (v.driveSpecification == drive)
            return v;
    }
    return {};
}
} // namespace

// The Windows drive list, and the file functions on the drives the Wine run sets up.
class TstWindowsFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void driveOrder()
    {
        // Removable drives first, then by letter; removable ones marked with '*'.
        const QList<platform::DriveInfo> drives{{u"C:"_qs, DRIVE_FIXED, u"System"_qs, 0x1234},
                                                {u"E:"_qs, DRIVE_REMOVABLE, u"STICK"_qs, 0xbeef},
                                                {u"D:"_qs, DRIVE_CDROM, {}, 0},
                                                {u"A:"_qs, DRIVE_REMOVABLE, {}, 0}};
        QStringList shown;
        for (const platform::Volume &v : platform::volumesFromDrives(drives))
            shown.append((v.removable ? u"*"_qs : QString()) + v.entryText + u'=' + v.driveSpecification);
        QCOMPARE(shown, (QStringList{u"*a:=a:"_qs, u"*e: [STICK]=e:"_qs, u"c: [System]=c:"_qs, u"d:=d:"_qs}));
    }

    void drivesAnswerInTheirOwnTime()
    {
        // A drive that takes its time holds up no listing and is not asked twice at once; its
        // answer has the drives listed again only where it tells something new.
        using platform::DriveIdentity;
        struct Drive {
            const QList<DriveIdentity> answers{{u"STICK"_qs, 0xbeef}, {u"STICK"_qs, 0xbeef}, {u"STICK"_qs, 0xcafe}, {}};
            std::array<QSemaphore, 4> gates; // one a question
            std::atomic<int> asked = 0, told = 0;
        };
        const auto drive = std::make_shared<Drive>(); // the questions may outlive the test
        platform::DriveIdentities identities(
            [drive](const QString &) {
                const int question = drive->asked++;
                drive->gates[size_t(question)].acquire();
                return drive->answers[question];
            },
            [drive] { ++drive->told; });
        const auto ask = [&] { return identities.ask(u"e:"_qs); };
        const auto answer = [&](int question) { drive->gates[size_t(question)].release(); };

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
        listed(drive);
        QTRY_VERIFY(!listAgain.isEmpty());
        QTRY_VERIFY(listed(drive).device != 0);
        const platform::Volume v = listed(drive);
        QCOMPARE(v.entryText, drive + u" ["_qs + qEnvironmentVariable("ORVANE_TEST_DRIVE_LABEL") + u']');
        QVERIFY(platform::isMountedAt(drive, v.device));
        QVERIFY(!platform::isMountedAt(drive, v.device ^ 1));
    }

    // A card reader or floppy drive without its medium: listed, and never reported clean.
    void driveWithoutMedium()
    {
        const QString drive = qEnvironmentVariable("ORVANE_EMPTY_DRIVE");
        if (drive.isEmpty())
            QSKIP("ORVANE_EMPTY_DRIVE names no drive without a medium set up for the test");
        QVERIFY(listed(drive).removable);
        FakeControls controls(drive);
        scan::TickCounter ticks = 0;
        runTicks(ticks, 10, controls);
        QCOMPARE(controls.boxes, QStringList{kNotCheckedBox});
    }

    // A disk that answers each call late, but answers: the file is read, however long that
    // takes in all, for the deadline counts from the disk's last answer to one of the calls.
    void slowDriveIsReadToTheEnd()
    {
        const QString drive = qEnvironmentVariable("ORVANE_SLOW_DRIVE");
        if (drive.isEmpty())
            QSKIP("ORVANE_SLOW_DRIVE names no slow drive set up for the test");
        // It opens and reads a file 400 ms late each time: a load is two such calls.
        platform::DiskWorker worker{std::chrono::milliseconds(600)};
        platform::WorkerFileFunctions files(platform::localFileFunctions(), worker);
        const platform::Result<QByteArray> text = files.readPrefix(drive + u"\\autorun.inf"_qs, 65536);
        QCOMPARE(text.status, Status::Ok);
        QCOMPARE(text.value, kAutorunText);
    }

    void driveThatMisleads_data()
    {
        QTest::addColumn<QString>("variable"); // names the drive windows-test.sh set up
        QTest::addColumn<Status>("load");
        QTest::addColumn<QStringList>("boxes"); // Delete's
        QTest::addColumn<DWORD>("readOnly");    // the file's, after the reset
        // Wine follows a Unix link: without a look at where it led, the reset, the load and
        // Delete would act on a file off the drive.
        QTest::newRow("a link leading off the drive: refused, what it leads to untouched")
            << u"ORVANE_LINK_DRIVE"_qs << Status::NotRegularFile << QStringList{kNotDeletedBox}
            << DWORD(FILE_ATTRIBUTE_READONLY);
        QTest::newRow("a read-only drive that reports a deletion it did not make: said")
            << u"ORVANE_READONLY_DRIVE"_qs << Status::Ok << QStringList{kNotDeletedBox} << DWORD(0);
    }

    // Drives whose autorun.inf, made by windows-test.sh, cannot or must not be changed: it
    // stays, as it was.
    void driveThatMisleads()
    {
        QFETCH(QString, variable);
        QFETCH(Status, load);
        QFETCH(QStringList, boxes);
        QFETCH(DWORD, readOnly);
        const QString drive = qEnvironmentVariable(variable.toLatin1().constData());
        if (drive.isEmpty())
            QSKIP(qPrintable(variable + u" names no drive: setting it up needs root"_qs));
        const QString file = drive + u"\\autorun.inf"_qs;
        FakeControls controls(drive);
        scan::AutorunFile autorun(controls, platform::localFileFunctions());
        autorun.resetAttributes();
        QCOMPARE(platform::localFileFunctions().readPrefix(file, 65536).status, load);
        scan::deleteCommand(controls, platform::localFileFunctions());
        QCOMPARE(controls.boxes, boxes);
        QVERIFY(QFileInfo::exists(file));
        QCOMPARE(::GetFileAttributesW(reinterpret_cast<const wchar_t *>(file.utf16())) & FILE_ATTRIBUTE_READONLY,
                 readOnly);
    }

    // The disk worker keeps a drive that does not answer from holding up the others only if it
    // tells them apart by their paths.
    void workerTellsDrivesApart()
    {
        QCOMPARE(platform::volumeOf(scan::AutorunPath(u"e:"_qs)), u"e:"_qs);
        QCOMPARE(platform::volumeOf(scan::AutorunPath(u"f:"_qs)), u"f:"_qs);
    }

    // The drive list asks each drive on a thread of its own, which ends with the answer:
    // thousands of such threads end, and the program goes on.
    void askingThreadsEnd()
    {
        std::atomic<int> answered = 0;
        for (int round = 0; round < 1000; ++round) {
            std::vector<std::jthread> asks; // a round's threads ended as it ends
            for (int drive = 0; drive < 8; ++drive)
                asks.emplace_back([&answered, root = u"c:"_qs] { answered += platform::identityOf(root).serial != 0; });
        }
        QCOMPARE(answered.load(), 8000);
    }
};

QTEST_GUILESS_MAIN(TstWindowsFiles)
#include "tst_windowsfiles.moc"
