// SPDX-License-Identifier: LicenseRef-proprietary
// The staged scan to its verdict and Delete after it, on temporary directories.
#include "FakeControls.h"
#include "TempVolume.h"

#include "AutorunFile.h"
#include "BoundedRead.h"
#include "LocalFileFunctions.h"
#include "TextFileLoader.h"

#include <QTest>

#include <cstring>
#include <limits>

using platform::CheckValue;
using platform::Status;

Q_DECLARE_METATYPE(platform::CheckValue)

namespace {
const QString kTyped = u"typed by the user"_qs;
} // namespace

class TstScan : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void scanThenDelete_data()
    {
        QTest::addColumn<QStringList>("layout");
        QTest::addColumn<QString>("drive"); // the volume "chosen", "none" selected, or one "gone" since
        QTest::addColumn<CheckValue>("check");
        QTest::addColumn<Status>("reset"); // as the scan's reset answered
        QTest::addColumn<QString>("verdict");
        QTest::addColumn<QString>("contents"); // the pane held kTyped before
        QTest::addColumn<QStringList>("left"); // the root's entries after Delete

        const auto row = [](const char *name, const char *layout, Status reset, const QString &verdict,
                            const QString &contents, const char *left, const QString &drive = u"chosen"_qs,
                            CheckValue check = CheckValue::Ticked) {
            QTest::newRow(name) << entriesOf(layout) << drive << check << reset << verdict << contents
                                << entriesOf(left);
        };
        const Status ok = Status::Ok, none = Status::NotFound;
        row("no file: clean, pane emptied", "", none, kCleanBox, {}, "");
        row("mixed case, read-only (on Windows hidden and system too): reset, shown, deleted", "ro:Autorun.Inf", ok,
            kFoundBox, kAutorunShown, "");
        row("unticked: pane kept", "ro:AUTORUN.INF", ok, kFoundBox, kTyped, "", u"chosen"_qs, CheckValue::Unticked);
        row("directory: no file, kept", "dir:autorun.inf", none, kCleanBox, {}, "autorun.inf");
        row("other places and names untouched", "sub/autorun.inf autorun.inf.txt xautorun.inf", none, kCleanBox, {},
            "autorun.inf.txt sub xautorun.inf");
        row("no volume selected: not checked, pane emptied, Delete silent", "autorun.inf", Status::ControlFailed,
            kNotCheckedBox, {}, "autorun.inf", u"none"_qs);
        row("volume gone: not checked, pane emptied", "autorun.inf", Status::VolumeUnavailable, kNotCheckedBox, {}, "",
            u"gone"_qs);
#ifndef Q_OS_WIN // names that differ only in case, links and FIFOs
        const Status special = Status::NotRegularFile;
        row("several cases: the exact name wins", "AUTORUN.INF autorun.inf Autorun.Inf", ok, kFoundBox, kAutorunShown,
            "AUTORUN.INF Autorun.Inf");
        row("file beside a protective directory", "dir:autorun.inf AUTORUN.INF", ok, kFoundBox, kAutorunShown,
            "autorun.inf");
        row("link: counts, never followed, only it deleted", "link:autorun.inf", special, kFoundBox, {}, "");
        row("FIFO: counts, never opened", "fifo:autorun.inf", special, kFoundBox, {}, "");
        row("hard-linked: the other name keeps its mode, only this one deleted", "ro:autorun.inf hard:keep.txt", ok,
            kFoundBox, kAutorunShown, "keep.txt");
#endif
    }

    void scanThenDelete()
    {
        QFETCH(QStringList, layout);
        QFETCH(QString, drive);
        QFETCH(CheckValue, check);
        QFETCH(Status, reset);
        QFETCH(QString, verdict);
        QFETCH(QString, contents);
        QFETCH(QStringList, left);

        TempVolume volume(layout);
        FakeControls controls(volume.root());
        controls.check = check;
        controls.contents = kTyped;
        if (drive == u"none")
            controls.selected.reset();
        else if (drive == u"gone")
            QVERIFY(QDir(volume.root()).removeRecursively());
        const QList<QFile::Permissions> before = permissionsOf(volume.root(), left);
        const QStringList present = volume.entries();

        scan::TickCounter tickCount = 0;
        scan::searchCommand(controls);
        runTicks(tickCount, 9, controls);
        QString withVerdict;
        controls.whileBoxOpen = [&] {
            withVerdict = controls.shown();
            runTicks(tickCount, 40'000, controls); // ticks meanwhile, past what 16 bits hold, only count
            withVerdict += u' ' + QString::number(tickCount) + u' ' + controls.shown();
        };
        runTicks(tickCount, 1, controls);
        QCOMPARE(withVerdict, u"Loading... 100 on 40010 Loading... 100 on"_qs);
        QCOMPARE(controls.boxes, QStringList{verdict});
        QCOMPARE(controls.contents, contents);
        // Back at rest; the scan deletes nothing, and its reset left the file writable and not
        // hidden (a file with other names keeps the mode they share, checked on them below).
        QCOMPARE(controls.shown() + u' ' + QString::number(tickCount), u"Done 0 off 0"_qs);
        QCOMPARE(volume.entries(), present);
        for (const QString &name : present) {
            const QFileInfo file(volume.path(name));
            if (reset == Status::Ok && !left.contains(name) && !layout.contains(u"hard:keep.txt"))
                QVERIFY2((file.permissions() & QFile::WriteOwner) && !file.isHidden(), qPrintable(name));
        }
        platform::FileFunctions &files = platform::localFileFunctions();
        QCOMPARE(scan::AutorunFile(controls, files).resetAttributes(), reset);

        // Delete says nothing here, and touches no control but its box.
        scan::deleteCommand(controls, files);
        QCOMPARE(controls.boxes, QStringList{verdict});
        QCOMPARE(controls.shown() + controls.contents, u"Done 0 off"_qs + contents);
        QCOMPARE(volume.entries(), left);
        QCOMPARE(permissionsOf(volume.root(), left), before); // nothing but the autorun file touched
        QVERIFY(volume.outsideUntouched());
    }

    void loadIsBounded_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::newRow("a 2 GiB file") << (qint64(2) << 30);
        QTest::newRow("a file claiming the largest size, read on for ever") << std::numeric_limits<qint64>::max();
    }

    void loadIsBounded()
    {
        QFETCH(qint64, size);
        const qsizetype limit = platform::TextFileLoader::kLoadLimit;
        if (size == std::numeric_limits<qint64>::max()) {
            const auto endless = [](char *into, qsizetype room) {
                std::memset(into, 'x', size_t(room));
                return platform::Result<qsizetype>{room};
            };
            QCOMPARE(platform::readAtMost(endless, quint64(size), limit).value, QByteArray(limit, 'x'));
            return;
        }
        TempVolume volume;
        QFile big(volume.path(u"autorun.inf"_qs));
        QVERIFY(big.open(QIODevice::WriteOnly) && big.write("[autorun]") == 9 && big.resize(size)); // sparse
        big.close();
        platform::TextFileLoader r(platform::localFileFunctions());
        QCOMPARE(r.loadFile(big.fileName()), Status::Ok);
        QCOMPARE(r.text().size(), limit);
        QVERIFY(r.text().startsWith(u"[autorun]\u2400"_qs));
    }
};

QTEST_GUILESS_MAIN(TstScan)
#include "tst_scan.moc"
