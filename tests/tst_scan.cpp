// SPDX-License-Identifier: LicenseRef-proprietary
// The autorun file's operations, Delete and the staged scan, on temporary directories.
#include "FakeControls.h"
#include "TempVolume.h"

#include "platform/files/TextFileLoader.h"
#include "scan/AutorunFile.h"

#include <QScopeGuard>
#include <QTest>

#include <limits>

#ifndef Q_OS_WIN // the Linux file functions' own rows (Windows has tst_windowsfiles)
#include "platform/files/DirectoryEntry_unix.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <unistd.h>
#endif

using platform::CheckValue;
using platform::Status;

Q_DECLARE_METATYPE(platform::CheckValue)

class TstScan : public QObject
{
    Q_OBJECT

private Q_SLOTS:
#ifndef Q_OS_WIN
    void operations_data()
    {
        QTest::addColumn<QStringList>("layout");
        QTest::addColumn<QString>("found"); // the presence test's answer
        QTest::addColumn<Status>("reset");
        QTest::addColumn<Status>("load");
        QTest::addColumn<Status>("removal");
        QTest::addColumn<QStringList>("left"); // the root's entries after Delete

        const auto row = [](const char *name, const char *layout, const char *found, Status reset, Status load,
                            Status removal, const char *left) {
            QTest::newRow(name) << entriesOf(layout) << QString::fromLatin1(found) << reset << load << removal
                                << entriesOf(left);
        };
        const Status ok = Status::Ok, none = Status::NotFound, special = Status::NotRegularFile;
        row("no file", "", "", none, none, none, "");
        row("mixed case, read-only", "ro:Autorun.Inf", "Autorun.Inf", ok, ok, ok, "");
        row("several cases: the exact name wins", "AUTORUN.INF autorun.inf Autorun.Inf", "autorun.inf", ok, ok, ok,
            "AUTORUN.INF Autorun.Inf");
        row("several cases: the first in byte order wins", "autoRUN.inf Autorun.Inf AUTORUN.INF", "AUTORUN.INF", ok, ok,
            ok, "Autorun.Inf autoRUN.inf");
        row("directory: no file, kept", "dir:autorun.inf", "", none, none, none, "autorun.inf");
        row("file beside a protective directory", "dir:autorun.inf AUTORUN.INF", "AUTORUN.INF", ok, ok, ok,
            "autorun.inf");
        row("link: counts, never followed, only it deleted", "link:autorun.inf", "autorun.inf", special, special, ok,
            "");
        row("FIFO: counts, never opened", "fifo:autorun.inf", "autorun.inf", special, special, ok, "");
        row("other places and names untouched", "sub/autorun.inf autorun.inf.txt xautorun.inf", "", none, none, none,
            "autorun.inf.txt sub xautorun.inf");
    }

    void operations()
    {
        QFETCH(QStringList, layout);
        QFETCH(QString, found);
        QFETCH(Status, reset);
        QFETCH(Status, load);
        QFETCH(Status, removal);
        QFETCH(QStringList, left);

        TempVolume volume(layout);
        FakeControls controls(volume.root());
        scan::AutorunFile file(controls, platform::localFileFunctions());

        QCOMPARE(file.presenceTest().value, found);
        QCOMPARE(file.resetAttributes(), reset);
        if (reset == Status::Ok)
            QVERIFY(QFileInfo(volume.path(found)).permissions() & QFile::WriteOwner);
        QCOMPARE(file.loadIntoR(), load);
        QCOMPARE(file.readContents().value, load == Status::Ok ? kAutorunShown : QString());
        QCOMPARE(file.remove(), removal);
        QCOMPARE(volume.entries(), left);
        QVERIFY(volume.outsideUntouched());
    }

    void loadIsBounded_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::newRow("2 GiB") << (qint64(2) << 30);
        QTest::newRow("the largest size a file can claim") << std::numeric_limits<qint64>::max();
    }

    void loadIsBounded()
    {
        QFETCH(qint64, size);
        TempVolume volume;
        const QByteArray root = QFile::encodeName(volume.root());
        const bool onTmpfs = size == std::numeric_limits<qint64>::max(); // past what ext4 holds
        if (onTmpfs) {
            if (::geteuid() != 0)
                QSKIP("mounting a tmpfs needs root");
            QCOMPARE(::mount("tmpfs", root.constData(), "tmpfs", 0, nullptr), 0);
        }
        const auto unmount = qScopeGuard([&] {
            if (onTmpfs)
                (void)::umount2(root.constData(), MNT_DETACH);
        });
        QFile big(volume.path(u"autorun.inf"_qs));
        QVERIFY(big.open(QIODevice::WriteOnly) && big.write("[autorun]") == 9 && big.resize(size)); // sparse
        big.close();

        platform::TextFileLoader r(platform::localFileFunctions());
        QCOMPARE(r.loadFile(volume.path(u"autorun.inf"_qs)), Status::Ok);
        QCOMPARE(r.text().size(), platform::TextFileLoader::kLoadLimit);
        QVERIFY(r.text().startsWith(u"[autorun]\u2400"_qs));
        // A failed load keeps what was loaded before.
        QCOMPARE(r.loadFile(volume.path(u"gone/autorun.inf"_qs)), Status::VolumeUnavailable);
        QVERIFY(r.text().startsWith(u"[autorun]"_qs));
    }

    void entrySwappedBeforeOpen_data()
    {
        QTest::addColumn<QString>("replacement"); // what takes the entry's place after the lookup
        QTest::addColumn<Status>("opened");

        QTest::newRow("unchanged") << QString() << Status::Ok;
        QTest::newRow("another regular file") << u"other"_qs << Status::NotRegularFile;
        QTest::newRow("a link") << u"link:autorun.inf"_qs << Status::NotRegularFile;
        QTest::newRow("a FIFO") << u"fifo:autorun.inf"_qs << Status::NotRegularFile;
        QTest::newRow("nothing") << u"gone"_qs << Status::NotFound;
    }

    void entrySwappedBeforeOpen()
    {
        QFETCH(QString, replacement);
        QFETCH(Status, opened);

        TempVolume volume({u"autorun.inf"_qs});
        platform::Fd root(::open(QFile::encodeName(volume.root()).constData(), O_RDONLY | O_DIRECTORY));
        platform::Result<platform::DirectoryEntry> entry = platform::findEntry(root.get(), "autorun.inf");
        QCOMPARE(entry.status, Status::Ok);
        if (replacement == u"other")
            volume.write(u"other"_qs, "other"); // made while the entry's inode is in use, so not reusing it
        if (!replacement.isEmpty())
            QVERIFY(QFile::remove(volume.path(u"autorun.inf"_qs)));
        if (replacement == u"other")
            QVERIFY(QFile::rename(volume.path(u"other"_qs), volume.path(u"autorun.inf"_qs)));
        else if (replacement != u"gone" && !replacement.isEmpty())
            volume.lay(replacement);
        // Whatever took the entry's place is not even opened.
        const platform::Fd opens(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
        QVERIFY(::inotify_add_watch(opens.get(), QFile::encodeName(volume.root()).constData(), IN_OPEN) >= 0);
        platform::Fd file;
        QCOMPARE(platform::openRegular(root.get(), entry.value, file), opened);
        QCOMPARE(file.valid() && opened == Status::Ok, opened == Status::Ok);
        alignas(inotify_event) char events[4096];
        QCOMPARE(::read(opens.get(), events, sizeof events) > 0, opened == Status::Ok);
        QVERIFY(volume.outsideUntouched());
    }

#endif

    void deleteCommand_data()
    {
        QTest::addColumn<QStringList>("layout");
        QTest::addColumn<bool>("selected");
        QTest::addColumn<QStringList>("left");

        // A failed Delete is said on the read-only volumes of tst_volumes.
        QTest::newRow("read-only file deleted silently") << entriesOf("ro:AUTORUN.INF") << true << QStringList();
        QTest::newRow("no file, nothing said") << QStringList() << true << QStringList();
        QTest::newRow("no volume selected: silent") << entriesOf("autorun.inf") << false << entriesOf("autorun.inf");
    }

    void deleteCommand()
    {
        QFETCH(QStringList, layout);
        QFETCH(bool, selected);
        QFETCH(QStringList, left);

        TempVolume disk(layout);
        FakeControls controls(disk.root());
        if (!selected)
            controls.drive.reset();
        controls.caption = controls.contents = u"before"_qs;

        scan::deleteCommand(controls, platform::localFileFunctions());
        QCOMPARE(disk.entries(), left);
        QCOMPARE(controls.boxes, QStringList());
        // Delete touches no control but its box.
        QCOMPARE(controls.caption + controls.contents, u"beforebefore"_qs);
        QCOMPARE(controls.progress, 0);
        QVERIFY(!controls.timerEnabled);
    }

    void wholeScan_data()
    {
        QTest::addColumn<QStringList>("layout");
        QTest::addColumn<CheckValue>("check");
        QTest::addColumn<QString>("failing"); // the control whose read fails
        QTest::addColumn<QString>("verdict");
        QTest::addColumn<QString>("contents");

        const auto row = [](const char *name, const char *layout, CheckValue check, const QString &verdict,
                            const QString &contents, const QString &failing = {}) {
            QTest::newRow(name) << entriesOf(layout) << check << failing << verdict << contents;
        };
        const QString typed = u"typed by the user"_qs;
        row("clean: pane emptied", "", CheckValue::Ticked, kCleanBox, QString());
        row("infected: text shown", "ro:AUTORUN.INF", CheckValue::Ticked, kFoundBox, kAutorunShown);
        row("infected, unticked: pane kept", "ro:AUTORUN.INF", CheckValue::Unticked, kFoundBox, typed);
        row("infected, greyed: pane kept", "ro:AUTORUN.INF", CheckValue::Greyed, kFoundBox, typed);
        row("drive unreadable: not checked, pane emptied", "ro:AUTORUN.INF", CheckValue::Ticked, kNotCheckedBox,
            QString(), u"drive"_qs);
        row("check box unreadable: as ticked", "ro:AUTORUN.INF", CheckValue::Unticked, kFoundBox, kAutorunShown,
            u"check"_qs);
    }

    void wholeScan()
    {
        QFETCH(QStringList, layout);
        QFETCH(CheckValue, check);
        QFETCH(QString, failing);
        QFETCH(QString, verdict);
        QFETCH(QString, contents);

        TempVolume disk(layout);
        FakeControls controls(disk.root());
        controls.check = check;
        if (failing == u"drive")
            controls.drive.reset();
        else if (failing == u"check")
            controls.check.reset();
        controls.contents = u"typed by the user"_qs;

        scan::TickCounter tickCount = 0;
        scan::searchCommand(controls);
        runTicks(tickCount, 9, controls);
        QCOMPARE(tickCount, 9);

        QString shownWithVerdict;
        controls.whileBoxOpen = [&] {
            shownWithVerdict = controls.caption + u' ' + QString::number(controls.progress);
        };
        runTicks(tickCount, 1, controls);
        QCOMPARE(shownWithVerdict, u"Loading... 100"_qs);
        QCOMPARE(controls.boxes, QStringList{verdict});
        QCOMPARE(controls.contents, contents);
        // Back at rest; the scan deletes nothing.
        QCOMPARE(tickCount, 0);
        QVERIFY(!controls.timerEnabled);
        QCOMPARE(controls.progress, 0);
        QCOMPARE(controls.caption, u"Done"_qs);
        QCOMPARE(disk.entries().size(), layout.size());
    }

    void ticksDuringTheVerdictOnlyCount()
    {
        TempVolume disk;
        FakeControls controls(disk.root());
        scan::TickCounter tickCount = 9;
        scan::TickCounter highest = 0;
        controls.whileBoxOpen = [&] {
            const QString shown = controls.caption + QString::number(controls.progress);
            runTicks(tickCount, 40'000, controls); // past what 16 bits hold
            highest = tickCount;
            QCOMPARE(controls.caption + QString::number(controls.progress), shown); // they changed nothing
        };
        runTicks(tickCount, 1, controls);

        QCOMPARE(highest, 40'010);
        QCOMPARE(controls.boxes.size(), 1);
        QCOMPARE(tickCount, 0);
        QVERIFY(!controls.timerEnabled);
    }

    void diskChangesDuringTheCheck_data()
    {
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("replacement"); // what takes the file's place, if anything
        QTest::addColumn<QString>("verdict");

        QTest::newRow("file removed after the reset") << u"reset"_qs << QString() << kCleanBox;
        QTest::newRow("file removed before the load") << u"lookup"_qs << QString() << kFoundBox;
        QTest::newRow("volume gone after the reset") << u"reset"_qs << u"gone"_qs << kNotCheckedBox;
    }

    void diskChangesDuringTheCheck()
    {
        QFETCH(QString, after);
        QFETCH(QString, replacement);
        QFETCH(QString, verdict);

        TempVolume disk({u"autorun.inf"_qs});
        ScriptedFiles files;
        files.changeAfter = after;
        files.change = [&] {
            if (replacement == u"gone") {
                QVERIFY(QDir(disk.root()).removeRecursively());
                return;
            }
            QVERIFY(QFile::remove(disk.path(u"autorun.inf"_qs)));
            if (!replacement.isEmpty())
                disk.lay(replacement);
        };
        FakeControls controls(disk.root(), files);
        scan::TickCounter tickCount = 9;
        runTicks(tickCount, 1, controls, files);

        QCOMPARE(controls.boxes, QStringList{verdict});
        QCOMPARE(controls.contents, QString()); // nothing of another file, nothing stale
        QCOMPARE(controls.caption, u"Done"_qs);
        QVERIFY(disk.outsideUntouched());
    }
};

QTEST_GUILESS_MAIN(TstScan)
#include "tst_scan.moc"
