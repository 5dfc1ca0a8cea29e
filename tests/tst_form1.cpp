// SPDX-License-Identifier: LicenseRef-proprietary
// The window end to end, and the drive list it picks volumes from.
#include "FakeControls.h"
#include "ModalWatcher.h"
#include "TempVolume.h"

#include "BuildConfig.h"
#include "DriveListBox.h"
#include "Form1.h"
#include "MountWatcher.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFutureWatcher>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#ifndef Q_OS_WIN // volumes mounted from images, and the kernel's view of a process
#include "DiskImage.h"

#include <sys/syscall.h>
#endif

namespace {

using platform::Volume;

const QString kAboutBox = u"About orvane.|Orvane 1.00 was written by Pellium Corporation.|64"_qs;

// Volumes by name: B2 is B mounted again (FUSE gives it another device), D has B's
// file-system UUID at another place, E another disk at B's mount point.
const QMap<QString, Volume> kVolumes{
    {u"A"_qs, {u"/"_qs, u"/"_qs, false, 0x801, u"/dev/sda1"_qs, {}}},
    {u"B"_qs, {u"/media/anna/B"_qs, u"B (/media/anna/B)"_qs, true, 0x2d, u"/dev/sdb1"_qs, u"1234-ABCD"_qs}},
    {u"B2"_qs, {u"/media/anna/B"_qs, u"B (/media/anna/B)"_qs, true, 0x2e, u"/dev/sdb1"_qs, u"1234-ABCD"_qs}},
    {u"C"_qs, {u"/media/anna/C"_qs, u"C (/media/anna/C)"_qs, true, 0x811, u"/dev/sdc1"_qs, {}}},
    {u"D"_qs, {u"/media/anna/B1"_qs, u"B (/media/anna/B1)"_qs, true, 0x821, u"/dev/sdd1"_qs, u"1234-ABCD"_qs}},
    {u"E"_qs, {u"/media/anna/B"_qs, u"B (/media/anna/B)"_qs, true, 0x831, u"/dev/sde1"_qs, {}}},
};

template <typename T = QWidget>
T *control(const Form1 &window, const char *name)
{
    return window.findChild<T *>(QLatin1StringView(name));
}

// Points Drive1 at a temporary directory standing for a volume. The list no longer follows
// the mount table, which would drop that entry whenever another volume comes or goes.
void selectVolume(const Form1 &window, const QString &root)
{
    auto *drive = control<QComboBox>(window, "Drive1");
    for (auto *mounts : drive->findChildren<platform::MountWatcher *>())
        mounts->blockSignals(true);
    drive->addItem(u"TEST ("_qs + root + u')', root);
    drive->setCurrentIndex(drive->count() - 1);
}

// Runs the application's own loop, as the program does; whether the window ended it (a
// hang fails instead of blocking).
bool runsToItsEnd(const Form1 &window)
{
    QTimer::singleShot(20'000, &window, [] { QCoreApplication::exit(1); });
    const bool ended = QApplication::exec() == 0;
    // The closed window's own request to quit would end the next test's loops.
    QCoreApplication::removePostedEvents(qApp, QEvent::Quit);
    return ended;
}

#ifndef Q_OS_WIN
// Selects the listed volume whose root is `root` once the list shows it; whether it could.
bool selectListed(const Form1 &window, const QString &root)
{
    auto *drive = control<QComboBox>(window, "Drive1");
    const bool listed = QTest::qWaitFor([&] { return drive->findData(root) >= 0; });
    drive->setCurrentIndex(drive->findData(root));
    return listed;
}

// `ticks` ticks of the scan's timer, the first ten from a scan's start to its verdict.
void tick(Form1 &window, int ticks = 10)
{
    for (int i = 0; i < ticks; ++i)
        window.Timer1_Timer();
}

// The built disk helper, replaced for one row by an executable file of `content`; put back
// when it goes.
class ReplacedHelper
{
public:
    static QString path()
    {
        return QDir::cleanPath(QCoreApplication::applicationDirPath() + u'/'
                               + QStringLiteral(ORVANE_HELPER_FROM_PROGRAM));
    }

    explicit ReplacedHelper(const QByteArray &content)
    {
        replaced = QFile::rename(path(), path() + u".kept"_qs) && writeFile(path(), content)
            && QFile::setPermissions(path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    ReplacedHelper(const ReplacedHelper &) = delete;
    ReplacedHelper &operator=(const ReplacedHelper &) = delete;
    ~ReplacedHelper()
    {
        if (QFile::exists(path() + u".kept"_qs) && QFile::remove(path()))
            QFile::rename(path() + u".kept"_qs, path());
    }

    bool replaced = false;
};

// Whether process `pid` waits in a statx call.
bool isInStatx(qint64 pid)
{
    return readFile(u"/proc/%1/syscall"_qs.arg(pid)).split(' ').first() == QByteArray::number(SYS_statx);
}

#endif

} // namespace

class TstForm1 : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void scanEndToEnd()
    {
        TempVolume volume({u"ro:Autorun.inf"_qs});
        Form1 window;
        window.show();
        selectVolume(window, volume.root());

        QStringList stages;
        auto *status = control<QLabel>(window, "Label5");
        connect(control<QProgressBar>(window, "XP_ProgressBar1"), &QProgressBar::valueChanged, this,
                [&](int value) { stages.append(QString::number(value) + u' ' + status->text()); });
        ModalWatcher boxes;

        QTest::mouseClick(control(window, "Command5"), Qt::LeftButton);
        QTest::mouseClick(control(window, "Command4"), Qt::LeftButton); // "About" does not stop the scan
        QVERIFY(control<QTimer>(window, "Timer1")->isActive());
        QTRY_COMPARE_WITH_TIMEOUT(boxes.seen, (QStringList{kAboutBox, kFoundBox}), 10'000);
        QTRY_VERIFY(!control<QTimer>(window, "Timer1")->isActive());

        QCOMPARE(stages,
                 (QStringList{u"10 Loading orvane..."_qs, u"70 Searching .inf..."_qs, u"100 Loading..."_qs,
                              u"0 Loading..."_qs}));
        QCOMPARE(status->text(), u"Done"_qs);
        QCOMPARE(control<QPlainTextEdit>(window, "Text1")->toPlainText(), kAutorunShown);

        // "Delete" removes it, saying nothing and leaving the pane as it is.
        QTest::mouseClick(control(window, "Command2"), Qt::LeftButton);
        QCOMPARE(volume.entries(), QStringList{});
        QCOMPARE(boxes.seen.size(), 2);
        QCOMPARE(control<QPlainTextEdit>(window, "Text1")->toPlainText(), kAutorunShown);
    }

    void quitEndsAtOnce_data()
    {
        QTest::addColumn<bool>("withBoxOpen");
        QTest::newRow("during the stages") << false;
        QTest::newRow("with the verdict box open") << true;
    }

    void quitEndsAtOnce()
    {
        QFETCH(bool, withBoxOpen);

        TempVolume volume({u"autorun.inf"_qs});
        Form1 window;
        window.show();
        selectVolume(window, volume.root());
        auto *quit = control<QPushButton>(window, "Command1");
        ModalWatcher boxes([&](QMessageBox &) { quit->click(); });

        // The application's own loop, as the program runs it.
        QTimer::singleShot(0, &window, [&] {
            QTest::mouseClick(control(window, "Command5"), Qt::LeftButton);
            if (!withBoxOpen)
                QTimer::singleShot(600, quit, [&] { QTest::mouseClick(quit, Qt::LeftButton); });
        });
        QVERIFY(runsToItsEnd(window));

        QCOMPARE(boxes.seen, withBoxOpen ? QStringList{kFoundBox} : QStringList{});
        QVERIFY(!window.isVisible());
        QVERIFY(!control<QTimer>(window, "Timer1")->isActive());
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }

#ifndef Q_OS_WIN // a helper process, and real volumes mounted and stopped here
    void brokenHelperIsSaid()
    {
        // A helper that ends at once on every start (a broken install) answers no call:
        // Delete says so, rather than nothing as for a volume that went away.
        SKIP_FOR(DiskImage::unavailableReason(DiskImage::Kind::Fat));
        DiskImage fat(DiskImage::Kind::Fat);
        QVERIFY(fat.create({u"AUTORUN.INF"_qs}) && fat.mount(u"rw+"_qs));
        Form1 window;
        // The window's start check runs the helper once: broken after that.
        auto *startCheck = window.findChild<QFutureWatcherBase *>();
        QTRY_VERIFY(startCheck && startCheck->isFinished());
        QVERIFY(selectListed(window, fat.root()));

        const ReplacedHelper broken("#!/bin/sh\nexit 1\n");
        QVERIFY(broken.replaced);
        ModalWatcher boxes;
        window.Command2_Click();
        QCOMPARE(boxes.shown, QStringList{kNotAnsweredBox});
        QCOMPARE(fat.entries(), QStringList{u"AUTORUN.INF"_qs});
    }

    void helperThatCannotRunIsSaidAtStart()
    {
        // Without a helper that runs (a truncated update, a build for another machine), Quit
        // may wait for a dead disk: the user is told when the window opens.
        const ReplacedHelper broken("\177ELF\2\1\1");
        QVERIFY(broken.replaced);
        ModalWatcher boxes;
        Form1 window;
        window.show();
        QTRY_COMPARE(
            boxes.seen,
            QStringList{u"Orvane|Orvane's disk helper %1 cannot run. A disk that stops answering may keep Orvane "
                        u"from ending until it answers.|48"_qs.arg(ReplacedHelper::path())});
    }

    void stoppedDiskNeverFreezesTheWindow_data()
    {
        QTest::addColumn<QString>("action"); // what the user does on the stopped disk
        QTest::addColumn<QStringList>("boxes");

        QTest::newRow("scan: not checked") << u"scan"_qs << QStringList{kNotCheckedBox};
        QTest::newRow("Delete: the disk did not answer") << u"delete"_qs << QStringList{kNotAnsweredBox};
        QTest::newRow("Quit: ends the program") << u"quit"_qs << QStringList{};
        // The kernel will not interrupt a lookup waiting behind another program's lookup of the
        // same name: no thread of the program may be the one that waits.
        QTest::newRow("Quit behind another program's lookup: nothing left in the kernel's wait")
            << u"quit behind"_qs << QStringList{};
    }

    void stoppedDiskNeverFreezesTheWindow()
    {
        QFETCH(QString, action);
        QFETCH(QStringList, boxes);
        SKIP_FOR(DiskImage::unavailableReason(DiskImage::Kind::Fat));

        DiskImage fat(DiskImage::Kind::Fat);
        QVERIFY(fat.create({u"AUTORUN.INF"_qs}) && fat.mount(u"rw+"_qs));
        Form1 window(std::chrono::milliseconds(300));
        window.show();
        QVERIFY(selectListed(window, fat.root()));
        ModalWatcher watcher;
        tick(window, 9);

        QVERIFY(fat.stop());
        QProcess other; // a file manager, say, looking at the stick first
        if (action == u"quit behind") {
            other.start(u"stat"_qs, {fat.root() + u"/autorun.inf"_qs});
            QVERIFY(other.waitForStarted());
            QTRY_VERIFY(isInStatx(other.processId()));
        }
        int eventsWhileWaiting = 0; // the window's own events go on while the disk is waited for
        QTimer events;
        events.callOnTimeout(&window, [&] { ++eventsWhileWaiting; });
        events.start(0);
        if (action == u"scan") {
            tick(window, 1);
        } else if (action == u"delete") {
            window.Command2_Click();
        } else {
            QTimer::singleShot(0, &window, [&] {
                QTimer::singleShot(50, &window,
                                   [&] { QTest::mouseClick(control(window, "Command1"), Qt::LeftButton); });
                tick(window, 1);
            });
            QVERIFY(runsToItsEnd(window));
            // No thread asleep where no signal wakes it, and so where not even the program's end
            // would: the process would stay until the disk answers.
            QCOMPARE(DiskImage::threadStates(u"self"_qs).count('D'), 0);
        }
        QVERIFY(eventsWhileWaiting > 0);
        QCOMPARE(watcher.shown, boxes); // nothing at all once the program is ending
    }

    void slowDiskGetsItsTrueVerdict_data()
    {
        // The disk holds a read-only autorun.inf, unless the verdict is clean.
        QTest::addColumn<QString>("action"); // "scan", "scan read-only" (the volume), "delete"
        QTest::addColumn<QStringList>("boxes");
        QTest::newRow("clean: the name looked for in the listing too") << u"scan"_qs << QStringList{kCleanBox};
        QTest::newRow("found: reset, contents shown") << u"scan"_qs << QStringList{kFoundBox};
        QTest::newRow("read-only volume: found, its reset refused") << u"scan read-only"_qs << QStringList{kFoundBox};
        QTest::newRow("Delete: gone, nothing said") << u"delete"_qs << QStringList{};
    }

    void slowDiskGetsItsTrueVerdict()
    {
        // Every request answered, each after 250 ms, against a deadline of 625 ms: one system
        // call (two requests at most) fits into it, the whole check many times over. The disk
        // is slow, not dead.
        QFETCH(QString, action);
        QFETCH(QStringList, boxes);
        SKIP_FOR(PythonDisk::unavailableReason());
        TempVolume source(boxes == QStringList{kCleanBox} ? QStringList{} : QStringList{u"ro:autorun.inf"_qs});
        const bool readOnly = action.endsWith(u"read-only");
        const PythonDisk disk(QFINDTESTDATA("slowfs.py"),
                              QStringList{source.root(), u"0.25"_qs}
                                  + (readOnly ? QStringList{u"--read-only"_qs} : QStringList{}));
        QVERIFY(disk.mounted());

        Form1 window(std::chrono::milliseconds(625));
        selectVolume(window, disk.root());
        ModalWatcher watcher;
        if (action == u"delete")
            window.Command2_Click();
        else
            tick(window);
        QCOMPARE(watcher.seen, boxes);
        const bool found = boxes == QStringList{kFoundBox};
        QCOMPARE(control<QPlainTextEdit>(window, "Text1")->toPlainText(), found ? kAutorunShown : QString());
        QCOMPARE(source.entries(), found ? QStringList{u"autorun.inf"_qs} : QStringList{});
        if (found) // the reset gives write permission only where the volume takes it
            QCOMPARE(QFileInfo(source.path(u"autorun.inf"_qs)).permissions().testFlag(QFile::WriteOwner), !readOnly);
    }

    void scanChecksTheChosenVolume()
    {
        SKIP_FOR(DiskImage::unavailableReason(DiskImage::Kind::Ext2));

        // A stick that resets during the scan: away after tick 1, another volume mounted meanwhile.
        DiskImage stick(DiskImage::Kind::Ext2), other(DiskImage::Kind::Ext2);
        QVERIFY(stick.create({u"autorun.inf"_qs}) && other.create({}));
        QVERIFY(stick.mount());
        Form1 window;
        auto *drive = control<QComboBox>(window, "Drive1");
        const QString root = stick.root();
        QVERIFY(selectListed(window, root));

        ModalWatcher boxes;
        tick(window, 1);
        QVERIFY(stick.unmount());
        QTRY_COMPARE(drive->findData(root), -1);
        QVERIFY(other.mount());
        QTRY_VERIFY(drive->findData(other.root()) >= 0);
        QCOMPARE(drive->currentIndex(), -1); // never silently another volume
        tick(window, 9);

        QCOMPARE(boxes.seen, QStringList{kNotCheckedBox});
        QVERIFY(stick.mount());
        QCOMPARE(stick.entries(), QStringList{u"autorun.inf"_qs});
    }

#endif

    void followsTheChosenVolume_data()
    {
        // Each step lists volumes ("B C"), chooses one ("choose C"), or selects one in the closed
        // list as a screen reader does ("select C").
        QTest::addColumn<QStringList>("steps");
        // The volume the scan's calls are for at the end: the one selected, or while the chosen
        // one is away its root and device, which the disk mounted there does not match.
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QString>("shown"); // the entry shown, or the placeholder

        QTest::newRow("the same source at the same place comes back: selected again")
            << QStringList{u"C B A"_qs, u"choose B"_qs, u"C A"_qs, u"B2 C A"_qs} << u"B2"_qs << u"B (/media/anna/B)"_qs;
        QTest::newRow("the same file system comes back elsewhere: selected again")
            << QStringList{u"B A"_qs, u"C A"_qs, u"D C A"_qs} << u"D"_qs << u"B (/media/anna/B1)"_qs;
        QTest::newRow("another disk at the chosen place: not selected")
            << QStringList{u"C B A"_qs, u"choose B"_qs, u"C A"_qs, u"E C A"_qs} << u"B"_qs << u"No volume selected"_qs;
        QTest::newRow("another volume mounted: the chosen one stays")
            << QStringList{u"C A"_qs, u"choose A"_qs, u"B C A"_qs} << u"A"_qs << u"/"_qs;
        QTest::newRow("a screen reader selects in the closed list: chosen")
            << QStringList{u"C B A"_qs, u"select B"_qs} << u"B"_qs << u"B (/media/anna/B)"_qs;
    }

    void followsTheChosenVolume()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, selected);
        QFETCH(QString, shown);

        QList<Volume> mounted;
        const auto list = [&](const QString &names) {
            mounted.clear();
            for (const QString &name : names.split(u' ', Qt::SkipEmptyParts))
                mounted.append(kVolumes[name]);
        };
        list(steps.takeFirst());
        platform::DriveListBox box(nullptr, [&] { return mounted; });
        for (const QString &step : steps) {
            const int named = box.findText(kVolumes[step.section(u' ', -1)].entryText);
            if (step.startsWith(u"choose ")) {
                box.setCurrentIndex(named);
            } else if (step.startsWith(u"select ")) { // the list reached first, selected in a later message
                QItemSelectionModel *selection = box.view()->selectionModel();
                QCoreApplication::processEvents();
                selection->select(box.model()->index(named, 0), QItemSelectionModel::ClearAndSelect);
            } else {
                list(step), box.refresh();
            }
        }

        QCOMPARE(box.currentIndex() >= 0 ? box.currentText() : box.placeholderText(), shown);
        QCOMPARE(box.selection()->specification, kVolumes[selected].driveSpecification);
        QCOMPARE(box.selection()->identity, quint64(kVolumes[selected].device));
    }
};

QTEST_MAIN(TstForm1)
#include "tst_form1.moc"
