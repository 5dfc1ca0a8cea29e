// SPDX-License-Identifier: LicenseRef-proprietary
#include "FakeControls.h"
#include "TempVolume.h"

#include "platform/files/DirectoryEntry.h"
#include "platform/files/TextFileLoader.h"
#include "scan/AutorunFile.h"

#include <QTest>

#include <fcntl.h>

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

        const Status ok = Status::Ok, none = Status::NotFound, special = Status::NotRegularFile;
        QTest::newRow("no file") << QStringList{} << QString() << none << none << none << QStringList{};
        QTest::newRow("lower case") << QStringList{u"autorun.inf"_qs} << u"autorun.inf"_qs << ok << ok << ok
                                    << QStringList{};
        QTest::newRow("upper case") << QStringList{u"AUTORUN.INF"_qs} << u"AUTORUN.INF"_qs << ok << ok << ok
                                    << QStringList{};
        QTest::newRow("mixed case, read-only")
            << QStringList{u"ro:Autorun.Inf"_qs} << u"Autorun.Inf"_qs << ok << ok << ok << QStringList{};
        QTest::newRow("several cases: the exact name wins")
            << QStringList{u"AUTORUN.INF"_qs, u"autorun.inf"_qs, u"Autorun.Inf"_qs} << u"autorun.inf"_qs << ok << ok
            << ok << QStringList{u"AUTORUN.INF"_qs, u"Autorun.Inf"_qs};
        QTest::newRow("several cases: the first in byte order wins")
            << QStringList{u"autoRUN.inf"_qs, u"Autorun.Inf"_qs, u"AUTORUN.INF"_qs} << u"AUTORUN.INF"_qs << ok << ok
            << ok << QStringList{u"Autorun.Inf"_qs, u"autoRUN.inf"_qs};
        QTest::newRow("directory: no file, kept") << QStringList{u"dir:autorun.inf"_qs} << QString() << none << none
                                                  << none << QStringList{u"autorun.inf"_qs};
        QTest::newRow("file beside a protective directory")
            << QStringList{u"dir:autorun.inf"_qs, u"AUTORUN.INF"_qs} << u"AUTORUN.INF"_qs << ok << ok << ok
            << QStringList{u"autorun.inf"_qs};
        QTest::newRow("link: counts, never followed, only it deleted")
            << QStringList{u"link:autorun.inf"_qs} << u"autorun.inf"_qs << special << special << ok << QStringList{};
        QTest::newRow("FIFO: counts, never opened")
            << QStringList{u"fifo:autorun.inf"_qs} << u"autorun.inf"_qs << special << special << ok << QStringList{};
        QTest::newRow("other places and names untouched")
            << QStringList{u"sub/autorun.inf"_qs, u"autorun.inf.txt"_qs, u"xautorun.inf"_qs} << QString() << none
            << none << none << QStringList{u"autorun.inf.txt"_qs, u"sub"_qs, u"xautorun.inf"_qs};
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

    void loadIsBounded()
    {
        TempVolume volume;
        const QByteArray path = QFile::encodeName(volume.path(u"autorun.inf"_qs));
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT, 0644);
        QCOMPARE(::write(fd, "[autorun]", 9), ssize_t(9));
        QCOMPARE(::ftruncate(fd, off_t(2) << 30), 0); // 2 GiB, sparse
        ::close(fd);

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
        platform::Fd file;
        QCOMPARE(platform::openRegular(root.get(), entry.value, file), opened);
        QCOMPARE(file.valid() && opened == Status::Ok, opened == Status::Ok);
        QVERIFY(volume.outsideUntouched());
    }

    void deleteCommand_data()
    {
        QTest::addColumn<QStringList>("layout");
        QTest::addColumn<QString>("volume"); // "writable", "write-protected" or "not selected"
        QTest::addColumn<QStringList>("left");
        QTest::addColumn<QStringList>("boxes");

        const QStringList infected{u"autorun.inf"_qs}, failed{kNotDeletedBox};
        QTest::newRow("read-only file deleted silently")
            << QStringList{u"ro:AUTORUN.INF"_qs} << u"writable"_qs << QStringList{} << QStringList{};
        QTest::newRow("no file, nothing said") << QStringList{} << u"writable"_qs << QStringList{} << QStringList{};
        QTest::newRow("directory kept, nothing said")
            << QStringList{u"dir:autorun.inf"_qs} << u"writable"_qs << QStringList{u"autorun.inf"_qs} << QStringList{};
        QTest::newRow("write-protected: failure said") << infected << u"write-protected"_qs << infected << failed;
        QTest::newRow("write-protected, no file: silent")
            << QStringList{} << u"write-protected"_qs << QStringList{} << QStringList{};
        QTest::newRow("no volume selected: silent") << infected << u"not selected"_qs << infected << QStringList{};
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
