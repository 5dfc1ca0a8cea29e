#include "FakeControls.h"
#include "TempVolume.h"

#include "scan/StagedScan.h"

#include <QTest>

using platform::CheckValue;
using platform::Status;

Q_DECLARE_METATYPE(platform::CheckValue)

namespace {

const QString kClean = u"Information|This Disk was escaped from 'autorun' viruses.|64"_qs;
const QString kFound = u"Information|An autorun file was founded, see its contents.|64"_qs;
const QString kUnchecked = u"Information|This Disk could not be checked.|48"_qs;
const QByteArray kText = "[autorun]\r\nopen=evil.exe\r\n";
const QString kShown = u"[autorun]\nopen=evil.exe\n"_qs;

enum class Volume { Clean, Infected, ProtectiveDirectory, Unresettable, Vanished };

// A stick whose write protection makes every reset fail.
class UnresettableFiles final : public platform::FileFunctions
{
public:
    Status setAttributes(const QString &, platform::FileAttributes) override { return Status::WriteProtected; }
    Status deleteFile(const QString &) override { return Status::WriteProtected; }
    platform::Result<QString> lookup(const QString &path) override { return platform::localFileFunctions().lookup(path); }
    platform::Result<QByteArray> readPrefix(const QString &path, qsizetype limit) override
    {
        return platform::localFileFunctions().readPrefix(path, limit);
    }
};

// The real file functions, with the disk changing under them right after one operation.
class ChangingDisk final : public platform::FileFunctions
{
public:
    QString changeAfter; // "reset" or "lookup"
    std::function<void()> change;

    Status setAttributes(const QString &path, platform::FileAttributes attributes) override
    {
        const Status s = platform::localFileFunctions().setAttributes(path, attributes);
        changeOnce(u"reset"_qs);
        return s;
    }
    Status deleteFile(const QString &path) override { return platform::localFileFunctions().deleteFile(path); }
    platform::Result<QString> lookup(const QString &path) override
    {
        const auto found = platform::localFileFunctions().lookup(path);
        changeOnce(u"lookup"_qs);
        return found;
    }
    platform::Result<QByteArray> readPrefix(const QString &path, qsizetype limit) override
    {
        return platform::localFileFunctions().readPrefix(path, limit);
    }

private:
    void changeOnce(const QString &op)
    {
        if (op == changeAfter && change)
            std::exchange(change, nullptr)();
    }
};

enum class Change { Removed, LinkedOutside, Fifo, RootGone };

// What the user sees after each of the first nine ticks.
struct Shown {
    QString caption;
    int progress;
};
Shown shownAfterTick(int tick)
{
    if (tick >= 5)
        return {u"Searching .inf..."_qs, 70};
    return {u"Loading orvane..."_qs, 10};
}

} // namespace

Q_DECLARE_METATYPE(Volume)
Q_DECLARE_METATYPE(Change)

class TstStagedScan : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void wholeScan_data();
    void wholeScan();
    void failingActionIsAbandonedAlone_data();
    void failingActionIsAbandonedAlone();
    void ticksDuringTheVerdictOnlyCount();
    void searchDuringAScanDoesNotRestartIt();
    void twoScansInARow();
    void verdictConcernsTheDriveSelectedAtTheCheck();
    void contentsAreNeverStale();
    void diskChangesDuringTheCheck_data();
    void diskChangesDuringTheCheck();
};

void TstStagedScan::wholeScan_data()
{
    QTest::addColumn<Volume>("volume");
    QTest::addColumn<CheckValue>("check");
    QTest::addColumn<QString>("verdict");
    QTest::addColumn<QString>("contents");

    const QString kept = u"typed by the user"_qs;
    QTest::newRow("clean, contents ticked: emptied") << Volume::Clean << CheckValue::Ticked << kClean << QString();
    QTest::newRow("infected, contents ticked") << Volume::Infected << CheckValue::Ticked << kFound << kShown;
    QTest::newRow("infected, contents unticked: pane kept") << Volume::Infected << CheckValue::Unticked << kFound
                                                            << kept;
    QTest::newRow("infected, contents greyed: pane kept") << Volume::Infected << CheckValue::Greyed << kFound << kept;
    QTest::newRow("directory named autorun.inf is clean") << Volume::ProtectiveDirectory << CheckValue::Ticked
                                                          << kClean << QString();
    QTest::newRow("write-protected, unresettable file still found")
        << Volume::Unresettable << CheckValue::Ticked << kFound << kShown;
    QTest::newRow("vanished volume could not be checked")
        << Volume::Vanished << CheckValue::Ticked << kUnchecked << QString();
}

void TstStagedScan::wholeScan()
{
    QFETCH(Volume, volume);
    QFETCH(CheckValue, check);
    QFETCH(QString, verdict);
    QFETCH(QString, contents);

    auto disk = std::make_unique<TempVolume>();
    if (volume == Volume::Infected || volume == Volume::Unresettable)
        disk->write(u"AUTORUN.INF"_qs, kText, 0444);
    if (volume == Volume::ProtectiveDirectory)
        QVERIFY(QDir(disk->root()).mkdir(u"autorun.inf"_qs));
    UnresettableFiles unresettable;
    platform::FileFunctions &files =
        volume == Volume::Unresettable ? static_cast<platform::FileFunctions &>(unresettable)
                                       : platform::localFileFunctions();
    FakeControls controls(files);
    controls.drive = disk->root();
    controls.check = check;
    controls.contents = u"typed by the user"_qs;
    if (volume == Volume::Vanished)
        disk.reset();

    scan::TickCounter tickCount = 0;
    scan::SearchCommand(controls);
    QVERIFY(controls.timerEnabled);
    for (int tick = 1; tick <= 9; ++tick) {
        scan::TickSequence(tickCount, controls, files);
        QCOMPARE(tickCount, tick);
        QCOMPARE(controls.caption, shownAfterTick(tick).caption);
        QCOMPARE(controls.progress, shownAfterTick(tick).progress);
    }
    // Only ticks 1 and 5 showed anything.
    QCOMPARE(controls.calls, (QStringList{u"timer:1"_qs, u"caption:Loading orvane..."_qs, u"progress:10"_qs,
                                          u"caption:Searching .inf..."_qs, u"progress:70"_qs}));

    QString captionDuringVerdict;
    int progressDuringVerdict = -1;
    controls.whileBoxOpen = [&] {
        captionDuringVerdict = controls.caption;
        progressDuringVerdict = controls.progress;
    };
    scan::TickSequence(tickCount, controls, files);
    QCOMPARE(captionDuringVerdict, u"Loading..."_qs);
    QCOMPARE(progressDuringVerdict, 100);
    QCOMPARE(controls.boxes, QStringList{verdict});
    QCOMPARE(controls.contents, contents);
    // Back at rest.
    QCOMPARE(tickCount, 0);
    QVERIFY(!controls.timerEnabled);
    QCOMPARE(controls.progress, 0);
    QCOMPARE(controls.caption, u"Done"_qs);
    if (disk && volume != Volume::ProtectiveDirectory)
        QCOMPARE(disk->exists(u"AUTORUN.INF"_qs), volume != Volume::Clean); // a scan deletes nothing
}

void TstStagedScan::failingActionIsAbandonedAlone_data()
{
    QTest::addColumn<QString>("failing");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("progressAtCheck");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("contents");
    QTest::addColumn<bool>("timerEnabled");

    QTest::newRow("status caption") << u"caption"_qs << u"before"_qs << 100 << QStringList{kFound} << kShown << false;
    QTest::newRow("progress value") << u"progress"_qs << u"Done"_qs << -1 << QStringList{kFound} << kShown << false;
    QTest::newRow("verdict box") << u"box"_qs << u"Done"_qs << 100 << QStringList{} << kShown << false;
    QTest::newRow("timer switch: counter still reset") << u"timer"_qs << u"Done"_qs << 100 << QStringList{kFound}
                                                       << kShown << true;
    QTest::newRow("check box read: contents shown") << u"check"_qs << u"Done"_qs << 100 << QStringList{kFound}
                                                    << kShown << false;
    QTest::newRow("drive read: nothing checked, pane emptied")
        << u"drive"_qs << u"Done"_qs << 100 << QStringList{kUnchecked} << QString() << false;
    QTest::newRow("load into r: pane emptied") << u"load"_qs << u"Done"_qs << 100 << QStringList{kFound} << QString()
                                               << false;
    QTest::newRow("r's text: pane emptied") << u"rtext"_qs << u"Done"_qs << 100 << QStringList{kFound} << QString()
                                            << false;
    QTest::newRow("contents pane: the rest goes on") << u"contents"_qs << u"Done"_qs << 100 << QStringList{kFound}
                                                     << u"before"_qs << false;
}

void TstStagedScan::failingActionIsAbandonedAlone()
{
    QFETCH(QString, failing);
    QFETCH(QString, caption);
    QFETCH(int, progressAtCheck);
    QFETCH(QStringList, boxes);
    QFETCH(QString, contents);
    QFETCH(bool, timerEnabled);

    TempVolume disk;
    disk.write(u"autorun.inf"_qs, kText);
    FakeControls controls;
    controls.drive = disk.root();
    controls.caption = controls.contents = u"before"_qs;
    controls.progress = -1;
    controls.timerEnabled = true; // as "Search Viruses" left it
    controls.failing.insert(failing);
    int progressSeen = -2;
    controls.whileBoxOpen = [&] { progressSeen = controls.progress; };
    if (failing == u"box")
        progressSeen = progressAtCheck; // no box opens to look from

    scan::TickCounter tickCount = 0;
    for (int tick = 1; tick <= 10; ++tick)
        scan::TickSequence(tickCount, controls, platform::localFileFunctions());

    QCOMPARE(controls.caption, caption);
    QCOMPARE(progressSeen, progressAtCheck);
    QCOMPARE(controls.boxes, boxes);
    QCOMPARE(controls.contents, contents);
    QCOMPARE(controls.timerEnabled, timerEnabled);
    QCOMPARE(tickCount, 0);
    QCOMPARE(controls.progress, failing == u"progress" ? -1 : 0);
    // The last actions of the check always run.
    QCOMPARE(controls.calls.mid(controls.calls.size() - 2),
             (QStringList{u"progress:0"_qs, u"caption:Done"_qs}));
}

void TstStagedScan::ticksDuringTheVerdictOnlyCount()
{
    TempVolume disk;
    FakeControls controls;
    controls.drive = disk.root();
    scan::TickCounter tickCount = 9;
    const qsizetype ticksWhileOpen = 40'000; // past what 16 bits hold
    qsizetype callsBefore = -1;
    scan::TickCounter highest = 0;
    controls.whileBoxOpen = [&] {
        callsBefore = controls.calls.size();
        for (qsizetype i = 0; i < ticksWhileOpen; ++i)
            scan::TickSequence(tickCount, controls, platform::localFileFunctions());
        highest = tickCount;
        QCOMPARE(controls.calls.size(), callsBefore); // reentrant ticks changed nothing
    };
    scan::TickSequence(tickCount, controls, platform::localFileFunctions());

    QCOMPARE(highest, 10 + ticksWhileOpen);
    QCOMPARE(controls.boxes.size(), 1);
    QCOMPARE(tickCount, 0);
    QVERIFY(!controls.timerEnabled);
}

void TstStagedScan::searchDuringAScanDoesNotRestartIt()
{
    FakeControls controls;
    scan::TickCounter tickCount = 3;
    scan::SearchCommand(controls);
    QCOMPARE(controls.calls, QStringList{u"timer:1"_qs});
    QCOMPARE(tickCount, 3);
    QVERIFY(controls.timerEnabled);
}

void TstStagedScan::twoScansInARow()
{
    TempVolume disk;
    FakeControls controls;
    controls.drive = disk.root();
    scan::TickCounter tickCount = 0;
    QList<QStringList> runs;
    for (int run = 0; run < 2; ++run) {
        controls.calls.clear();
        scan::SearchCommand(controls);
        for (int tick = 1; tick <= 10; ++tick)
            scan::TickSequence(tickCount, controls, platform::localFileFunctions());
        runs.append(controls.calls);
    }
    QCOMPARE(runs[1], runs[0]);
    QCOMPARE(controls.boxes, (QStringList{kClean, kClean}));
    QVERIFY(runs[0].contains(u"caption:Loading orvane..."_qs));
}

void TstStagedScan::verdictConcernsTheDriveSelectedAtTheCheck()
{
    TempVolume clean, infected;
    infected.write(u"autorun.inf"_qs, kText);
    FakeControls controls;
    controls.drive = clean.root();
    scan::TickCounter tickCount = 0;
    for (int tick = 1; tick <= 9; ++tick)
        scan::TickSequence(tickCount, controls, platform::localFileFunctions());
    controls.drive = infected.root();
    scan::TickSequence(tickCount, controls, platform::localFileFunctions());
    QCOMPARE(controls.boxes, QStringList{kFound});
    QCOMPARE(controls.calls.filter(u"load:"_qs), QStringList{u"load:"_qs + infected.root() + u"/autorun.inf"_qs});
}

void TstStagedScan::contentsAreNeverStale()
{
    TempVolume clean, infected;
    infected.write(u"autorun.inf"_qs, kText);
    FakeControls controls;
    scan::TickCounter tickCount = 0;
    const auto scanOf = [&](const TempVolume &disk) {
        controls.drive = disk.root();
        for (int tick = 1; tick <= 10; ++tick)
            scan::TickSequence(tickCount, controls, platform::localFileFunctions());
    };
    scanOf(infected);
    QCOMPARE(controls.contents, kShown);
    scanOf(clean);
    QCOMPARE(controls.contents, QString());
}

void TstStagedScan::diskChangesDuringTheCheck_data()
{
    QTest::addColumn<QString>("after");
    QTest::addColumn<Change>("change");
    QTest::addColumn<QString>("verdict");

    QTest::newRow("file removed after the reset") << u"reset"_qs << Change::Removed << kClean;
    QTest::newRow("file removed before the load") << u"lookup"_qs << Change::Removed << kFound;
    QTest::newRow("file replaced by a link before the load") << u"lookup"_qs << Change::LinkedOutside << kFound;
    QTest::newRow("file replaced by a FIFO before the load") << u"lookup"_qs << Change::Fifo << kFound;
    QTest::newRow("volume gone after the reset") << u"reset"_qs << Change::RootGone << kUnchecked;
}

void TstStagedScan::diskChangesDuringTheCheck()
{
    QFETCH(QString, after);
    QFETCH(Change, change);
    QFETCH(QString, verdict);

    auto disk = std::make_unique<TempVolume>();
    disk->write(u"autorun.inf"_qs, kText);
    QTemporaryDir outside;
    const QString target = outsideFile(outside, "secret");
    const QByteArray entry = QFile::encodeName(disk->path(u"autorun.inf"_qs));

    ChangingDisk files;
    files.changeAfter = after;
    files.change = [&] {
        if (change == Change::RootGone) {
            disk.reset();
            return;
        }
        QCOMPARE(::unlink(entry.constData()), 0);
        if (change == Change::LinkedOutside)
            QCOMPARE(::symlink(QFile::encodeName(target).constData(), entry.constData()), 0);
        if (change == Change::Fifo)
            QCOMPARE(::mkfifo(entry.constData(), 0644), 0);
    };
    FakeControls controls(files);
    controls.drive = disk->root();
    scan::TickCounter tickCount = 9;
    scan::TickSequence(tickCount, controls, files);

    QCOMPARE(controls.boxes, QStringList{verdict});
    QCOMPARE(controls.contents, QString()); // nothing of another file, nothing stale
    QCOMPARE(controls.caption, u"Done"_qs);
    QFile secret(target);
    QVERIFY(secret.open(QIODevice::ReadOnly));
    QCOMPARE(secret.readAll(), QByteArray("secret"));
}

QTEST_GUILESS_MAIN(TstStagedScan)
#include "tst_stagedscan.moc"
