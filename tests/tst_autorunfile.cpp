#include "FakeControls.h"
#include "TempVolume.h"

#include "platform/RichTextBox.h"
#include "scan/AutorunFile.h"

#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using platform::Status;

Q_DECLARE_METATYPE(platform::Status)

namespace {

enum class Layout {
    Nothing,
    LowerCase,
    UpperCase,
    MixedCase,
    HiddenReadOnly,
    Directory,
    DirectoryBesideUpperCaseFile,
    LinkToOutsideFile,
    Fifo,
    OnlyInSubdirectory,
    OtherNames,
};

const QByteArray kText = "[autorun]\r\nopen=evil.exe\r\n";

void layOut(const TempVolume &volume, Layout layout, const QString &outsideTarget)
{
    const QByteArray root = QFile::encodeName(volume.root());
    switch (layout) {
    case Layout::Nothing:
        break;
    case Layout::LowerCase:
        volume.write(u"autorun.inf"_qs, kText);
        break;
    case Layout::UpperCase:
        volume.write(u"AUTORUN.INF"_qs, kText);
        break;
    case Layout::MixedCase:
        volume.write(u"Autorun.Inf"_qs, kText);
        break;
    case Layout::HiddenReadOnly: // what "hidden, system, read-only" leaves on a POSIX file system
        volume.write(u"autorun.inf"_qs, kText, 0444);
        break;
    case Layout::Directory:
        QVERIFY(QDir(volume.root()).mkdir(u"autorun.inf"_qs));
        break;
    case Layout::DirectoryBesideUpperCaseFile:
        QVERIFY(QDir(volume.root()).mkdir(u"autorun.inf"_qs));
        volume.write(u"AUTORUN.INF"_qs, kText);
        break;
    case Layout::LinkToOutsideFile:
        QCOMPARE(::symlink(QFile::encodeName(outsideTarget).constData(), (root + "/autorun.inf").constData()), 0);
        break;
    case Layout::Fifo:
        QCOMPARE(::mkfifo((root + "/autorun.inf").constData(), 0644), 0);
        break;
    case Layout::OnlyInSubdirectory:
        QVERIFY(QDir(volume.root()).mkdir(u"sub"_qs));
        volume.write(u"sub/autorun.inf"_qs, kText);
        break;
    case Layout::OtherNames:
        volume.write(u"autorun.inf.txt"_qs, kText);
        volume.write(u"autorun.in"_qs, kText);
        volume.write(u"xautorun.inf"_qs, kText);
        break;
    }
}

// Stands for a volume that refuses writes, as a write-protected stick does.
class WriteProtectedFiles final : public platform::FileFunctions
{
public:
    Status setAttributes(const QString &, platform::FileAttributes) override { return Status::WriteProtected; }
    Status deleteFile(const QString &path) override
    {
        return lookup(path).value.isEmpty() ? Status::NotFound : Status::WriteProtected;
    }
    platform::Result<QString> lookup(const QString &path) override { return platform::localFileFunctions().lookup(path); }
    platform::Result<QByteArray> readPrefix(const QString &path, qsizetype limit) override
    {
        return platform::localFileFunctions().readPrefix(path, limit);
    }
};

} // namespace

Q_DECLARE_METATYPE(Layout)

class TstAutorunFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void autorunPath_data();
    void autorunPath();
    void operations_data();
    void operations();
    void followsTheSelectedDrive();
    void unreadableVolume();
    void loadIsBounded();
    void deleteCommand_data();
    void deleteCommand();
};

void TstAutorunFile::autorunPath_data()
{
    QTest::addColumn<QString>("drive");
    QTest::addColumn<QString>("path");
    QTest::newRow("mount root") << u"/media/anna/KINGSTON"_qs << u"/media/anna/KINGSTON/autorun.inf"_qs;
    QTest::newRow("system root") << u"/"_qs << u"//autorun.inf"_qs;
    QTest::newRow("anything after the root stays part of it") << u"/media/x [LABEL]"_qs
                                                             << u"/media/x [LABEL]/autorun.inf"_qs;
}

void TstAutorunFile::autorunPath()
{
    QFETCH(QString, drive);
    QFETCH(QString, path);
    QCOMPARE(scan::AutorunPath(drive), path);
}

void TstAutorunFile::operations_data()
{
    QTest::addColumn<Layout>("layout");
    QTest::addColumn<QString>("found");      // presence test's answer
    QTest::addColumn<Status>("reset");
    QTest::addColumn<Status>("load");
    QTest::addColumn<Status>("removal");
    QTest::addColumn<QStringList>("remaining"); // entries left in the root after Delete

    const QString none;
    QTest::newRow("no file") << Layout::Nothing << none << Status::NotFound << Status::NotFound
                             << Status::NotFound << QStringList{};
    QTest::newRow("lower case") << Layout::LowerCase << u"autorun.inf"_qs << Status::Ok << Status::Ok << Status::Ok
                                << QStringList{};
    QTest::newRow("upper case") << Layout::UpperCase << u"AUTORUN.INF"_qs << Status::Ok << Status::Ok << Status::Ok
                                << QStringList{};
    QTest::newRow("mixed case") << Layout::MixedCase << u"Autorun.Inf"_qs << Status::Ok << Status::Ok << Status::Ok
                                << QStringList{};
    QTest::newRow("read-only file") << Layout::HiddenReadOnly << u"autorun.inf"_qs << Status::Ok << Status::Ok
                                    << Status::Ok << QStringList{};
    QTest::newRow("directory is no file and is kept") << Layout::Directory << none << Status::NotFound
                                                      << Status::NotFound << Status::NotFound
                                                      << QStringList{u"autorun.inf"_qs};
    QTest::newRow("file found beside a protective directory")
        << Layout::DirectoryBesideUpperCaseFile << u"AUTORUN.INF"_qs << Status::Ok << Status::Ok << Status::Ok
        << QStringList{u"autorun.inf"_qs};
    QTest::newRow("link counts, is never followed, only it is deleted")
        << Layout::LinkToOutsideFile << u"autorun.inf"_qs << Status::NotRegularFile << Status::NotRegularFile
        << Status::Ok << QStringList{};
    QTest::newRow("FIFO counts, is never opened") << Layout::Fifo << u"autorun.inf"_qs << Status::NotRegularFile
                                                  << Status::NotRegularFile << Status::Ok << QStringList{};
    QTest::newRow("file in a subdirectory is not touched")
        << Layout::OnlyInSubdirectory << none << Status::NotFound << Status::NotFound << Status::NotFound
        << QStringList{u"sub"_qs};
    QTest::newRow("other names are not touched")
        << Layout::OtherNames << none << Status::NotFound << Status::NotFound << Status::NotFound
        << QStringList{u"autorun.in"_qs, u"autorun.inf.txt"_qs, u"xautorun.inf"_qs};
}

void TstAutorunFile::operations()
{
    QFETCH(Layout, layout);
    QFETCH(QString, found);
    QFETCH(Status, reset);
    QFETCH(Status, load);
    QFETCH(Status, removal);
    QFETCH(QStringList, remaining);

    TempVolume volume;
    QTemporaryDir outside;
    const QString target = outsideFile(outside, "outside");
    QCOMPARE(::chmod(QFile::encodeName(target).constData(), 0444), 0);
    layOut(volume, layout, target);

    FakeControls controls;
    controls.drive = volume.root();
    scan::AutorunFile file(controls, platform::localFileFunctions());

    QCOMPARE(file.presenceTest().value, found);
    QCOMPARE(file.presenceTest().status, Status::Ok);

    QCOMPARE(file.resetAttributes(), reset);
    if (reset == Status::Ok)
        QVERIFY(volume.mode(found) & S_IWUSR);
    QCOMPARE(file.loadIntoR(), load);
    QCOMPARE(file.readContents().value, load == Status::Ok ? u"[autorun]\nopen=evil.exe\n"_qs : QString());

    QCOMPARE(file.remove(), removal);
    QCOMPARE(QDir(volume.root()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot), remaining);

    // Nothing outside the one entry changed.
    QFile outsideTarget(target);
    QVERIFY(outsideTarget.open(QIODevice::ReadOnly));
    QCOMPARE(outsideTarget.readAll(), QByteArray("outside"));
    QCOMPARE(QFileInfo(target).permissions() & QFile::WriteOwner, QFile::Permissions());
    if (layout == Layout::OnlyInSubdirectory)
        QCOMPARE(volume.read(u"sub/autorun.inf"_qs), kText);
}

void TstAutorunFile::followsTheSelectedDrive()
{
    TempVolume clean, infected;
    infected.write(u"autorun.inf"_qs, kText);
    FakeControls controls;
    scan::AutorunFile file(controls, platform::localFileFunctions());

    controls.drive = clean.root();
    QCOMPARE(file.presenceTest().value, QString());
    controls.drive = infected.root();
    QCOMPARE(file.presenceTest().value, u"autorun.inf"_qs);
    controls.drive = clean.root();
    QCOMPARE(file.remove(), Status::NotFound);
    QVERIFY(infected.exists(u"autorun.inf"_qs));
}

void TstAutorunFile::unreadableVolume()
{
    FakeControls controls;
    scan::AutorunFile file(controls, platform::localFileFunctions());
    {
        TempVolume gone;
        controls.drive = gone.root();
    }
    QCOMPARE(file.presenceTest().status, Status::VolumeUnavailable);
    QCOMPARE(file.resetAttributes(), Status::VolumeUnavailable);
    QCOMPARE(file.remove(), Status::VolumeUnavailable);

    controls.failing.insert(u"drive"_qs);
    QCOMPARE(file.presenceTest().status, Status::ControlFailed);
}

void TstAutorunFile::loadIsBounded()
{
    TempVolume volume;
    const QByteArray path = QFile::encodeName(volume.path(u"autorun.inf"_qs));
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT, 0644);
    QVERIFY(fd >= 0);
    QCOMPARE(::write(fd, "[autorun]", 9), ssize_t(9));
    QCOMPARE(::ftruncate(fd, off_t(2) << 30), 0); // 2 GiB, sparse
    ::close(fd);

    platform::RichTextBox r(platform::localFileFunctions());
    QCOMPARE(r.loadFile(volume.path(u"autorun.inf"_qs)), Status::Ok);
    QCOMPARE(r.text().size(), platform::RichTextBox::kLoadLimit);
    QVERIFY(r.text().startsWith(u"[autorun]\u2400"_qs));

    // A failed load keeps what was loaded before.
    QCOMPARE(r.loadFile(volume.path(u"missing/autorun.inf"_qs)), Status::VolumeUnavailable);
    QVERIFY(r.text().startsWith(u"[autorun]"_qs));
}

void TstAutorunFile::deleteCommand_data()
{
    QTest::addColumn<Layout>("layout");
    QTest::addColumn<bool>("writeProtected");
    QTest::addColumn<QStringList>("boxes");

    const QStringList silent;
    const QStringList failed{u"Delete|The autorun file could not be deleted.|48"_qs};
    QTest::newRow("read-only file deleted silently") << Layout::HiddenReadOnly << false << silent;
    QTest::newRow("no file, nothing said") << Layout::Nothing << false << silent;
    QTest::newRow("directory kept, nothing said") << Layout::Directory << false << silent;
    QTest::newRow("write-protected volume says so") << Layout::UpperCase << true << failed;
    QTest::newRow("write-protected volume without file stays silent") << Layout::Nothing << true << silent;
}

void TstAutorunFile::deleteCommand()
{
    QFETCH(Layout, layout);
    QFETCH(bool, writeProtected);
    QFETCH(QStringList, boxes);

    TempVolume volume;
    layOut(volume, layout, QString());
    WriteProtectedFiles protectedFiles;
    FakeControls controls;
    controls.drive = volume.root();
    controls.caption = u"Done"_qs;

    scan::DeleteCommand(controls, writeProtected ? static_cast<platform::FileFunctions &>(protectedFiles)
                                                 : platform::localFileFunctions());
    QCOMPARE(controls.boxes, boxes);
    QCOMPARE(volume.exists(u"autorun.inf"_qs), layout == Layout::Directory);
    QCOMPARE(volume.exists(u"AUTORUN.INF"_qs), writeProtected && layout == Layout::UpperCase);
    // Delete touches no control but the box.
    QCOMPARE(controls.calls.filter(QRegularExpression(u"^(caption|progress|contents|timer)"_qs)), QStringList());
}

QTEST_GUILESS_MAIN(TstAutorunFile)
#include "tst_autorunfile.moc"
