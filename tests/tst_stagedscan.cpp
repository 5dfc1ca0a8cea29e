// SPDX-License-Identifier: LicenseRef-proprietary
#include "FakeControls.h"
#include "TempVolume.h"

#include "scan/StagedScan.h"

#include <QTest>

using platform::CheckValue;

Q_DECLARE_METATYPE(platform::CheckValue)
Q_DECLARE_METATYPE(Op)

class TstStagedScan : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void wholeScan_data()
    {
        QTest::addColumn<QStringList>("layout");
        QTest::addColumn<bool>("writeProtected");
        QTest::addColumn<CheckValue>("check");
        QTest::addColumn<QString>("verdict");
        QTest::addColumn<QString>("contents");

        const auto row = [](const char *name, const char *layout, bool writeProtected, CheckValue check,
                            const QString &verdict, const QString &contents) {
            QTest::newRow(name) << entriesOf(layout) << writeProtected << check << verdict << contents;
        };
        const QString typed = u"typed by the user"_qs;
        row("clean: pane emptied", "", false, CheckValue::Ticked, kCleanBox, QString());
        row("infected: text shown", "ro:AUTORUN.INF", false, CheckValue::Ticked, kFoundBox, kAutorunShown);
        row("infected, unticked: pane kept", "ro:AUTORUN.INF", false, CheckValue::Unticked, kFoundBox, typed);
        row("infected, greyed: pane kept", "ro:AUTORUN.INF", false, CheckValue::Greyed, kFoundBox, typed);
        row("protective directory: clean", "dir:autorun.inf", false, CheckValue::Ticked, kCleanBox, QString());
        row("write-protected, reset fails: still found", "ro:AUTORUN.INF", true, CheckValue::Ticked, kFoundBox,
            kAutorunShown);
    }

    void wholeScan()
    {
        QFETCH(QStringList, layout);
        QFETCH(bool, writeProtected);
        QFETCH(CheckValue, check);
        QFETCH(QString, verdict);
        QFETCH(QString, contents);

        TempVolume disk(layout);
        ScriptedFiles files;
        files.writeProtected = writeProtected;
        FakeControls controls(disk.root(), files);
        controls.check = check;
        controls.contents = u"typed by the user"_qs;

        scan::TickCounter tickCount = 0;
        scan::searchCommand(controls);
        runTicks(tickCount, 9, controls, files);
        QCOMPARE(tickCount, 9);
        // Only ticks 1 and 5 showed anything.
        QCOMPARE(controls.calls,
                 (QStringList{u"timer:true"_qs, u"caption:Loading orvane..."_qs, u"progress:10"_qs,
                              u"caption:Searching .inf..."_qs, u"progress:70"_qs}));

        QString shownWithVerdict;
        controls.whileBoxOpen = [&] {
            shownWithVerdict = controls.caption + u' ' + QString::number(controls.progress);
        };
        runTicks(tickCount, 1, controls, files);
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

    void failingActionIsAbandonedAlone_data()
    {
        QTest::addColumn<Op>("failing");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("progress");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QString>("contents");
        QTest::addColumn<bool>("timerEnabled");

        const QStringList found{kFoundBox};
        QTest::newRow("status caption") << Op::Caption << u"before"_qs << 0 << found << kAutorunShown << false;
        QTest::newRow("progress value") << Op::Progress << u"Done"_qs << -1 << found << kAutorunShown << false;
        QTest::newRow("verdict box") << Op::Box << u"Done"_qs << 0 << QStringList{} << kAutorunShown << false;
        QTest::newRow("timer switch") << Op::Timer << u"Done"_qs << 0 << found << kAutorunShown << true;
        QTest::newRow("check box read: as ticked") << Op::Check << u"Done"_qs << 0 << found << kAutorunShown << false;
        QTest::newRow("drive read: unchecked, pane emptied")
            << Op::Drive << u"Done"_qs << 0 << QStringList{kNotCheckedBox} << QString() << false;
        QTest::newRow("load into r: pane emptied") << Op::Load << u"Done"_qs << 0 << found << QString() << false;
        QTest::newRow("r's text: pane emptied") << Op::RText << u"Done"_qs << 0 << found << QString() << false;
        QTest::newRow("contents pane") << Op::Contents << u"Done"_qs << 0 << found << u"before"_qs << false;
    }

    void failingActionIsAbandonedAlone()
    {
        QFETCH(Op, failing);
        QFETCH(QString, caption);
        QFETCH(int, progress);
        QFETCH(QStringList, boxes);
        QFETCH(QString, contents);
        QFETCH(bool, timerEnabled);

        TempVolume disk({u"autorun.inf"_qs});
        FakeControls controls(disk.root());
        controls.caption = controls.contents = u"before"_qs;
        controls.progress = -1;
        controls.timerEnabled = true; // as "Search Viruses" left it
        controls.failing.insert(failing);

        scan::TickCounter tickCount = 0;
        runTicks(tickCount, 10, controls);

        QCOMPARE(controls.caption, caption);
        QCOMPARE(controls.progress, progress);
        QCOMPARE(controls.boxes, boxes);
        QCOMPARE(controls.contents, contents);
        QCOMPARE(controls.timerEnabled, timerEnabled);
        QCOMPARE(tickCount, 0);
    }

    void ticksDuringTheVerdictOnlyCount()
    {
        TempVolume disk;
        FakeControls controls(disk.root());
        scan::TickCounter tickCount = 9;
        scan::TickCounter highest = 0;
        controls.whileBoxOpen = [&] {
            const qsizetype callsBefore = controls.calls.size();
            runTicks(tickCount, 40'000, controls); // past what 16 bits hold
            highest = tickCount;
            QCOMPARE(controls.calls.size(), callsBefore); // they changed nothing
        };
        runTicks(tickCount, 1, controls);

        QCOMPARE(highest, 40'010);
        QCOMPARE(controls.boxes.size(), 1);
        QCOMPARE(tickCount, 0);
        QVERIFY(!controls.timerEnabled);
    }

    void scansDoNotOverlap()
    {
        TempVolume disk;
        FakeControls controls(disk.root());
        scan::TickCounter tickCount = 0;
        QList<QStringList> runs;
        for (int run = 0; run < 2; ++run) {
            controls.calls.clear();
            scan::searchCommand(controls);
            runTicks(tickCount, 3, controls);
            scan::searchCommand(controls); // pressed again while counting: the scan goes on
            QCOMPARE(tickCount, 3);
            runTicks(tickCount, 7, controls);
            runs.append(controls.calls);
        }
        QCOMPARE(runs[1], runs[0]); // the second scan ran in full from tick 1
        QCOMPARE(controls.boxes, (QStringList{kCleanBox, kCleanBox}));
    }

    void diskChangesDuringTheCheck_data()
    {
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("replacement"); // what takes the file's place, if anything
        QTest::addColumn<QString>("verdict");

        QTest::newRow("file removed after the reset") << u"reset"_qs << QString() << kCleanBox;
        QTest::newRow("file removed before the load") << u"lookup"_qs << QString() << kFoundBox;
#ifndef Q_OS_WIN // no FIFOs there, and links need a privilege
        QTest::newRow("replaced by a link before the load") << u"lookup"_qs << u"link:autorun.inf"_qs << kFoundBox;
        QTest::newRow("replaced by a FIFO before the load") << u"lookup"_qs << u"fifo:autorun.inf"_qs << kFoundBox;
#endif
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

QTEST_GUILESS_MAIN(TstStagedScan)
#include "tst_stagedscan.moc"
