// SPDX-License-Identifier: LicenseRef-proprietary
#include "platform/files/DiskWorker.h"
#include "platform/window/DriveListBox.h"
#include "platform/window/WidgetControls.h"

#include <QAbstractItemView>
#include <QTest>

using platform::Status;
using platform::Volume;

namespace {

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

} // namespace

class TstDriveList : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void followsTheChosenVolume_data()
    {
        // Each step lists volumes ("B C") or chooses one ("choose C").
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("selected"); // the volume selected at the end, if any
        QTest::addColumn<QString>("shown");    // the entry shown, or the placeholder
        QTest::addColumn<Status>("drive");     // with none selected, what the scan gets

        const Status unused = Status::Ok, away = Status::VolumeUnavailable;
        QTest::newRow("starts on the head") << QStringList{u"C B A"_qs} << u"C"_qs << u"C (/media/anna/C)"_qs << unused;
        QTest::newRow("chosen volume away: nothing selected while others come and go")
            << QStringList{u"C B A"_qs, u"choose B"_qs, u"C A"_qs, u"A"_qs, u"C A"_qs} << QString()
            << u"No volume selected"_qs << away;
        QTest::newRow("the same source at the same place comes back: selected again")
            << QStringList{u"C B A"_qs, u"choose B"_qs, u"C A"_qs, u"B2 C A"_qs} << u"B2"_qs << u"B (/media/anna/B)"_qs
            << unused;
        QTest::newRow("the same file system comes back elsewhere: selected again")
            << QStringList{u"B A"_qs, u"C A"_qs, u"D C A"_qs} << u"D"_qs << u"B (/media/anna/B1)"_qs << unused;
        QTest::newRow("another disk at the chosen place: not selected")
            << QStringList{u"C B A"_qs, u"choose B"_qs, u"C A"_qs, u"E C A"_qs} << QString() << u"No volume selected"_qs
            << away;
        QTest::newRow("nothing ever listed: the first volume is taken")
            << QStringList{u""_qs, u"C A"_qs} << u"C"_qs << u"C (/media/anna/C)"_qs << unused;
        QTest::newRow("no volume at all: said so")
            << QStringList{u""_qs} << QString() << u"No volume mounted"_qs << Status::ControlFailed;
    }

    void followsTheChosenVolume()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, selected);
        QFETCH(QString, shown);
        QFETCH(Status, drive);

        QList<Volume> mounted;
        const auto list = [&](const QString &names) {
            mounted.clear();
            for (const QString &name : names.split(u' ', Qt::SkipEmptyParts))
                mounted.append(kVolumes[name]);
        };
        list(steps.takeFirst());
        platform::DriveListBox box(nullptr, [&] { return mounted; });
        for (const QString &step : steps) {
            if (step.startsWith(u"choose "))
                box.setCurrentIndex(box.findText(kVolumes[step.mid(7)].entryText));
            else
                list(step), box.refresh();
        }

        QCOMPARE(box.currentIndex() >= 0 ? box.currentText() : box.placeholderText(), shown);
        if (selected.isEmpty()) {
            platform::DiskWorker disk;
            platform::ControlWidgets widgets;
            widgets.drive = &box;
            widgets.disk = &disk;
            platform::WidgetControls controls(widgets);
            QCOMPARE(controls.driveSpecification().status, drive);
        } else {
            QCOMPARE(box.selection()->root, kVolumes[selected].driveSpecification);
            QCOMPARE(box.selection()->device, kVolumes[selected].device);
        }
    }

    void openListFitsNewRows()
    {
        QList<Volume> mounted(12, kVolumes[u"C"_qs]);
        platform::DriveListBox box(nullptr, [&] { return mounted; });
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        box.showPopup();
        QWidget *popup = box.view()->window();
        QTRY_VERIFY(popup->isVisible());
        const int tall = popup->height();

        mounted.resize(1);
        box.refresh();
        QVERIFY(popup->isVisible());
        const int refreshed = popup->height();
        box.hidePopup();
        box.showPopup();
        QTRY_VERIFY(popup->isVisible());
        QVERIFY(popup->height() < tall);
        QCOMPARE(refreshed, popup->height());
    }
};

QTEST_MAIN(TstDriveList)
#include "tst_drivelist.moc"
