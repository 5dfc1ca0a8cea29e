// SPDX-License-Identifier: LicenseRef-proprietary
#include "ModalWatcher.h"
#include "TempVolume.h"

#include "Form1.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QStyle>
#include <QTest>
#include <QTimer>

#include <cmath>

#ifndef Q_OS_WIN // volumes mounted from images, and the kernel's view of a process
#include "DiskImage.h"
#include "FatImage.h"

#include <sys/syscall.h>
#endif

namespace {

const QString kFoundBox = u"Information|An autorun file was founded, see its contents.|1"_qs;
const QString kNotCheckedBox = u"Information|This Disk could not be checked.|2"_qs;
const QString kAboutBox = u"About orvane.|Orvane 1.00 was written by Pellium Corporation.|1"_qs;

template <typename T = QWidget>
T *control(const Form1 &window, const char *name)
{
    return window.findChild<T *>(QLatin1StringView(name));
}

// Points Drive1 at a temporary directory standing for a volume.
void selectVolume(const Form1 &window, const TempVolume &volume)
{
    auto *drive = control<QComboBox>(window, "Drive1");
    drive->addItem(u"TEST ("_qs + volume.root() + u')', volume.root());
    drive->setCurrentIndex(drive->count() - 1);
}

// Runs the application's own loop, as the program does; whether the window ended it (a
// hang fails instead of blocking).
bool runsToItsEnd(const Form1 &window)
{
    QTimer hang;
    hang.callOnTimeout(&window, [] { QCoreApplication::exit(1); });
    hang.start(20'000);
    const bool ended = QApplication::exec() == 0;
    // The closed window's own request to quit would end the next test's loops.
    QCoreApplication::removePostedEvents(qApp, QEvent::Quit);
    return ended;
}

// WCAG's contrast ratio of two colours: 1 for equal ones, 21 for black on white.
double contrast(const QColor &a, const QColor &b)
{
    const auto luminance = [](const QColor &c) {
        const auto linear = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const double first = luminance(a);
    const double second = luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

#ifndef Q_OS_WIN
// Whether process `pid` waits in a statx call.
bool isInStatx(qint64 pid)
{
    QFile call(u"/proc/%1/syscall"_qs.arg(pid));
    return call.open(QIODevice::ReadOnly) && call.readAll().split(' ').first() == QByteArray::number(SYS_statx);
}
#endif

} // namespace

class TstForm1 : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void designState_data()
    {
        QTest::addColumn<QString>("object");
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QVariant>("expected");

        const auto row = [](const char *object, const char *property, const QVariant &expected) {
            QTest::addRow("%s.%s", object, property) << QString::fromLatin1(object) << QByteArray(property) << expected;
        };
        row("Form1", "windowTitle", u"Orvane"_qs);
        row("Form1", "minimumSize", QSize(566, 361));
        row("Form1", "maximumSize", QSize(566, 361));
        row("Label5", "text", u"Done"_qs);
        row("Check1", "checked", true);
        row("Text1", "plainText", QString());
        row("Timer1", "active", false);
        row("Timer1", "interval", 200);
        row("XP_ProgressBar1", "value", 0);
        row("XP_ProgressBar1", "maximum", 100);
        row("XP_ProgressBar1", "textVisible", true);
        row("Label2", "text", u"Pellium Corporation"_qs);
        row("Label3", "text", u"Orvane"_qs);
        row("Label4", "text", u"V1.0"_qs);
        row("Frame1", "title", u"Removeable Disk"_qs);
        row("Frame2", "title", u"Options"_qs);
        row("Frame3", "title", u"Contents"_qs);
        row("Frame4", "title", QString());
        row("Check1", "text", u"Show contents"_qs);
        row("Command1", "text", u"Quit"_qs);
        row("Command2", "text", u"Delete"_qs);
        row("Command4", "text", u"About"_qs);
        row("Command5", "text", u"Search Viruses"_qs);
        for (const char *button : {"Command1", "Command2", "Command4", "Command5"}) {
            row(button, "default", false); // neither Enter nor Esc presses a button
            row(button, "autoDefault", false);
        }
        for (const char *named :
             {"Picture1", "Text1", "XP_ProgressBar1"}) // each known to assistive tools by its own name
            row(named, "accessibleName", QString::fromLatin1(named));
    }

    void designState()
    {
        QFETCH(QString, object);
        QFETCH(QByteArray, property);
        QFETCH(QVariant, expected);

        Form1 window;
        QObject *target = object == u"Form1" ? static_cast<QObject *>(&window) : window.findChild<QObject *>(object);
        QVERIFY2(target, qPrintable(object));
        QCOMPARE(target->property(property.constData()), expected);
    }

    void startsWithItsKeyboardOrder()
    {
        // The title bar offers no minimize or maximize button; no scan has counted yet.
        Form1 window;
        QVERIFY(!window.windowFlags().testAnyFlags(Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
        QCOMPARE(window.tickCount(), 0);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QStringList order{QApplication::focusWidget()->objectName()};
        for (int i = 0; i < 8; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            order.append(QApplication::focusWidget()->objectName());
        }
        QCOMPARE(order,
                 (QStringList{u"Picture1"_qs, u"Drive1"_qs, u"Command1"_qs, u"Command2"_qs, u"Text1"_qs, u"Check1"_qs,
                              u"Command4"_qs, u"Command5"_qs, u"Picture1"_qs}));
    }

    void scanEndToEnd()
    {
        TempVolume volume({u"ro:Autorun.inf"_qs});
        Form1 window;
        window.show();
        selectVolume(window, volume);

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
        QCOMPARE(window.tickCount(), 0);

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
        selectVolume(window, volume);
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

#ifndef Q_OS_WIN // real volumes mounted and stopped here
    void followsMountedVolumes()
    {
        if (const QString reason = FatImage::unavailableReason(); !reason.isEmpty())
            QSKIP(qPrintable(u"No volume can be mounted here: "_qs + reason));
        Form1 window;
        auto *drive = control<QComboBox>(window, "Drive1");
        const QString before = drive->currentData().toString();

        FatImage fat;
        QVERIFY(fat.create(u"AUTORUN.INF"_qs, "x", {}));
        QVERIFY(fat.mount(u"ro"_qs));
        QTRY_VERIFY(drive->findData(fat.mountPoint()) >= 0);
        // The selection stays where it was; with none, the list's head is taken.
        QCOMPARE(drive->currentData().toString(), before.isEmpty() ? drive->itemData(0).toString() : before);

        // Unmounted in the middle of a scan: the check cannot be made, and says so.
        drive->setCurrentIndex(drive->findData(fat.mountPoint()));
        ModalWatcher boxes;
        for (int tick = 1; tick <= 9; ++tick)
            window.Timer1_Timer();
        QVERIFY(fat.unmount());
        window.Timer1_Timer();
        QCOMPARE(boxes.seen, QStringList{kNotCheckedBox});

        QTRY_COMPARE(drive->findData(fat.mountPoint()), -1);
        QCOMPARE(drive->currentIndex(), -1); // not silently another volume
    }

    void stoppedDiskNeverFreezesTheWindow_data()
    {
        QTest::addColumn<QString>("action"); // what the user does on the stopped disk
        QTest::addColumn<QStringList>("boxes");

        QTest::newRow("scan: not checked") << u"scan"_qs << QStringList{kNotCheckedBox};
        QTest::newRow("Delete: the disk did not answer")
            << u"delete"_qs
            << QStringList{u"Delete|The disk did not answer; the autorun file may still be there.|2"_qs};
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
        if (const QString reason = FatImage::unavailableReason(); !reason.isEmpty())
            QSKIP(qPrintable(u"No volume can be mounted here: "_qs + reason));

        FatImage fat;
        QVERIFY(fat.create(u"AUTORUN.INF"_qs, "x", {}));
        QVERIFY(fat.mount(u"rw+"_qs));
        Form1 window(std::chrono::milliseconds(300));
        window.show();
        auto *drive = control<QComboBox>(window, "Drive1");
        QTRY_VERIFY(drive->findData(fat.mountPoint()) >= 0);
        drive->setCurrentIndex(drive->findData(fat.mountPoint()));
        ModalWatcher watcher;
        for (int tick = 1; tick <= 9; ++tick)
            window.Timer1_Timer();

        QVERIFY(fat.stop());
        QProcess other; // a file manager, say, looking at the stick first
        if (action == u"quit behind") {
            other.start(u"stat"_qs, {fat.mountPoint() + u"/autorun.inf"_qs});
            QVERIFY(other.waitForStarted());
            QTRY_VERIFY(isInStatx(other.processId()));
        }
        int eventsWhileWaiting = 0; // the window's own events go on while the disk is waited for
        QTimer events;
        events.callOnTimeout(&window, [&] { ++eventsWhileWaiting; });
        events.start(0);
        if (action == u"scan") {
            window.Timer1_Timer();
        } else if (action == u"delete") {
            window.Command2_Click();
        } else {
            QTimer::singleShot(0, &window, [&] {
                QTimer::singleShot(50, &window,
                                   [&] { QTest::mouseClick(control(window, "Command1"), Qt::LeftButton); });
                window.Timer1_Timer();
            });
            QVERIFY(runsToItsEnd(window));
            // No thread asleep where no signal wakes it, and so where not even the program's end
            // would: the process would stay until the disk answers.
            QCOMPARE(FatImage::threadStates(u"self"_qs).count('D'), 0);
        }
        events.stop();
        QVERIFY(eventsWhileWaiting > 0);
        QCOMPARE(watcher.seen, boxes);
        if (action.startsWith(u"quit"))
            return;

        // Another volume meanwhile gets its true verdict.
        TempVolume healthy({u"autorun.inf"_qs});
        selectVolume(window, healthy);
        for (int tick = 1; tick <= 10; ++tick)
            window.Timer1_Timer();
        QCOMPARE(watcher.seen.last(), kFoundBox);
    }

    void scanChecksTheChosenVolume_data()
    {
        QTest::addColumn<bool>("backByTick10");
        QTest::addColumn<QString>("verdict");
        QTest::newRow("stick away at tick 10, another volume mounted meanwhile: not checked")
            << false << kNotCheckedBox;
        QTest::newRow("stick back at the same place by tick 10: its own verdict") << true << kFoundBox;
    }

    void scanChecksTheChosenVolume()
    {
        QFETCH(bool, backByTick10);
        QFETCH(QString, verdict);
        if (const QString reason = DiskImage::unavailableReason(DiskImage::Kind::Ext2); !reason.isEmpty())
            QSKIP(qPrintable(u"No volume can be mounted here: "_qs + reason));

        // A stick that resets during the scan: away after tick 1, perhaps back before tick 10.
        DiskImage stick(DiskImage::Kind::Ext2), other(DiskImage::Kind::Ext2);
        QVERIFY(stick.create({u"autorun.inf"_qs}) && other.create({}));
        QVERIFY(stick.mount());
        Form1 window;
        auto *drive = control<QComboBox>(window, "Drive1");
        const QString root = QFile::decodeName(stick.mountPoint());
        QTRY_VERIFY(drive->findData(root) >= 0);
        drive->setCurrentIndex(drive->findData(root));

        ModalWatcher boxes;
        window.Timer1_Timer();
        QVERIFY(stick.unmount());
        QTRY_COMPARE(drive->findData(root), -1);
        QVERIFY(other.mount());
        QTRY_VERIFY(drive->findData(QFile::decodeName(other.mountPoint())) >= 0);
        if (backByTick10) {
            QVERIFY(stick.mount());
            QTRY_COMPARE(drive->currentData().toString(), root);
        }
        QCOMPARE(drive->currentIndex() >= 0, backByTick10); // never silently another volume
        for (int tick = 2; tick <= 10; ++tick)
            window.Timer1_Timer();

        QCOMPARE(boxes.seen, QStringList{verdict});
        QVERIFY(stick.mount());
        QCOMPARE(stick.entries(), QStringList{u"autorun.inf"_qs});
    }

#endif

    void assistiveToolPicksAVolume()
    {
        TempVolume first, second;
        Form1 window;
        selectVolume(window, first);
        selectVolume(window, second);
        auto *drive = control<QComboBox>(window, "Drive1");
        const int wanted = drive->findData(first.root());

        // What a screen reader's "select" does to an entry of the closed list.
        // It reaches the list first, and selects in a later message.
        QItemSelectionModel *selection = drive->view()->selectionModel();
        QCoreApplication::processEvents();
        selection->select(drive->model()->index(wanted, 0), QItemSelectionModel::ClearAndSelect);
        QCOMPARE(drive->currentIndex(), wanted);
    }

    void bannerReadableOnDarkScheme_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("behind");
        QTest::newRow("company on the grey band") << u"Label2"_qs << u"Label1"_qs;
        QTest::newRow("product on the white banner") << u"Label3"_qs << u"Picture1"_qs;
        QTest::newRow("version on the white banner") << u"Label4"_qs << u"Picture1"_qs;
    }

    void bannerReadableOnDarkScheme()
    {
        QFETCH(QString, label);
        QFETCH(QString, behind);

        // A desktop with a dark colour scheme: light text on dark windows.
        const QString style = QApplication::style()->name();
        const QPalette palette = QApplication::palette();
        const auto restore = qScopeGuard([&] {
            QApplication::setStyle(style);
            QApplication::setPalette(palette);
        });
        QApplication::setStyle(u"Fusion"_qs);
        QPalette dark;
        for (const auto role : {QPalette::Window, QPalette::Base, QPalette::Button})
            dark.setColor(role, QColor(0x35, 0x35, 0x35));
        for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            dark.setColor(role, Qt::white);
        QApplication::setPalette(dark);

        Form1 window;
        window.show();
        const auto *text = control(window, label.toLatin1());
        const auto *ground = control(window, behind.toLatin1());
        QVERIFY(ground->autoFillBackground()); // the banner paints its own background
        const QColor ink = text->palette().color(text->foregroundRole());
        const QColor paper = ground->palette().color(ground->backgroundRole());
        QVERIFY2(contrast(ink, paper) >= 4.5, qPrintable(ink.name() + u" on "_qs + paper.name()));
    }
};

QTEST_MAIN(TstForm1)
#include "tst_form1.moc"
