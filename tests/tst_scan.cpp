// SPDX-License-Identifier: LicenseRef-proprietary
#include "FakeControls.h"
#include "TempVolume.h"

#include "platform/files/DirectoryEntry.h"
#include "platform/files/TextFileLoader.h"
#include "scan/AutorunFile.h"

#include <QScopeGuard>
#include <QTest>

#include <fcntl.h>
#include <limits>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <unistd.h>

using platform::Status;

class TstAutorunFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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
        row("lower case", "autorun.inf", "autorun.inf", ok, ok, ok, "");
        row("upper case", "AUTORUN.INF", "AUTORUN.INF", ok, ok, ok, "");
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

    void actsOnTheSelectedVolumeOnly()
    {
        // Each operation reads the selection afresh: a scan's verdict is for the volume
        // selected when it checks.
        TempVolume clean, infected({u"autorun.inf"_qs});
        QCOMPARE(scan::AutorunPath(infected.root()), infected.path(u"autorun.inf"_qs));
        FakeControls controls(clean.root());
        scan::AutorunFile file(controls, platform::localFileFunctions());
        QCOMPARE(file.presenceTest().value, QString());
        controls.drive = infected.root();
        QCOMPARE(file.presenceTest().value, u"autorun.inf"_qs);
        controls.drive = clean.root();
        QCOMPARE(file.remove(), Status::NotFound);
        QCOMPARE(infected.entries(), QStringList{u"autorun.inf"_qs});

        controls.drive = clean.root() + u"/gone"_qs; // a volume that is not there
        QCOMPARE(file.presenceTest().status, Status::VolumeUnavailable);
        QCOMPARE(file.remove(), Status::VolumeUnavailable);
        controls.failing.insert(Op::Drive);
        QCOMPARE(file.presenceTest().status, Status::ControlFailed);
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

    void deleteCommand_data()
    {
        QTest::addColumn<QStringList>("layout");
        QTest::addColumn<QString>("volume"); // "writable", "write-protected" or "not selected"
        QTest::addColumn<QStringList>("left");
        QTest::addColumn<QStringList>("boxes");

        const auto row = [](const char *name, const char *layout, const QString &volume, const char *left,
                            const QStringList &boxes) {
            QTest::newRow(name) << entriesOf(layout) << volume << entriesOf(left) << boxes;
        };
        row("read-only file deleted silently", "ro:AUTORUN.INF", u"writable"_qs, "", {});
        row("no file, nothing said", "", u"writable"_qs, "", {});
        row("directory kept, nothing said", "dir:autorun.inf", u"writable"_qs, "autorun.inf", {});
        row("write-protected: failure said", "autorun.inf", u"write-protected"_qs, "autorun.inf", {kNotDeletedBox});
        row("write-protected, no file: silent", "", u"write-protected"_qs, "", {});
        row("no volume selected: silent", "autorun.inf", u"not selected"_qs, "autorun.inf", {});
    }

    void deleteCommand()
    {
        QFETCH(QStringList, layout);
        QFETCH(QString, volume);
        QFETCH(QStringList, left);
        QFETCH(QStringList, boxes);

        TempVolume disk(layout);
        ScriptedFiles files;
        files.writeProtected = volume == u"write-protected";
        FakeControls controls(disk.root());
        if (volume == u"not selected")
            controls.failing.insert(Op::Drive);

        scan::deleteCommand(controls, files);
        QCOMPARE(disk.entries(), left);
        QCOMPARE(controls.boxes, boxes);
        // Delete touches no control but its box.
        QCOMPARE(controls.calls.filter(QRegularExpression(u"^(caption|progress|contents|timer)"_qs)), QStringList());
    }
};

QTEST_GUILESS_MAIN(TstAutorunFile)
#include "tst_autorunfile.moc"
