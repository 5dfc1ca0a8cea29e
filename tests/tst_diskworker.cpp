// SPDX-License-Identifier: LicenseRef-proprietary
#include "FakeControls.h"

#include "DiskWorker.h"
#include "WorkerFileFunctions.h"

#include <QSemaphore>
#include <QTest>
#include <QTimer>

using namespace std::chrono_literals;

namespace {
constexpr auto kDeadline = 100ms;

// A disk that takes every lookup past the deadline, then answers that there is no file; its
// other calls answer at once.
class BlockingLookup final : public platform::FileFunctions
{
public:
    QSemaphore answer;

    platform::Status setAttributes(const platform::VolumeEntry &, platform::FileAttributes) override { return {}; }
    platform::Status deleteFile(const platform::VolumeEntry &) override { return {}; }
    platform::Result<QString> lookup(const platform::VolumeEntry &) override
    {
        return answer.acquire(), platform::Result<QString>{};
    }
    platform::Result<QByteArray> readPrefix(const platform::VolumeEntry &, qsizetype) override { return {}; }
};
} // namespace

// Calls that reach a volume, made on the disk worker's thread while the caller's events go on.
class TstDiskWorker : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void afterAStuckCall_data()
    {
        QTest::addColumn<QString>("volume");
        QTest::addColumn<bool>("queuedBehind"); // asked while the stuck call was still being waited for
        QTest::addColumn<bool>("sticksToo");    // the second call gets stuck where it runs
        QTest::addColumn<bool>("answered");

        QTest::newRow("same volume, after: fails at once, never runs") << u"/a"_qs << false << false << false;
        QTest::newRow("same volume, queued behind: fails, never runs") << u"/a"_qs << true << false << false;
        QTest::newRow("other volume, after: a fresh thread answers") << u"/b"_qs << false << false << true;
        QTest::newRow("other volume, queued behind: moved on, answered") << u"/b"_qs << true << false << true;
        QTest::newRow("other volume, moved on and stuck there too: that thread left as well")
            << u"/b"_qs << true << true << false;
    }

    void afterAStuckCall()
    {
        QFETCH(QString, volume);
        QFETCH(bool, queuedBehind);
        QFETCH(bool, sticksToo);
        QFETCH(bool, answered);

        platform::DiskWorker worker(kDeadline);
        QSemaphore stuck;
        bool ran = false;
        std::optional<int> second;
        const auto ask = [&] {
            second = worker.run<int>(volume, [&] { return ran = true, sticksToo ? (stuck.acquire(), 2) : 2; });
        };
        if (queuedBehind)
            QTimer::singleShot(0, this, ask); // a click handled while the first call is waited for
        QCOMPARE(worker.run<int>(u"/a"_qs, [&] { return stuck.acquire(), 1; }), std::nullopt); // not in time
        QVERIFY(worker.isStuck(u"/a"_qs));
        if (!queuedBehind)
            ask();
        QCOMPARE(second, answered ? std::optional<int>(2) : std::nullopt);
        QCOMPARE(ran, answered || sticksToo);
        QCOMPARE(worker.run<int>(u"/c"_qs, [] { return 3; }), std::optional<int>(3)); // a third volume
        // The disk answers at last: its late answer is gone, and the volume is served again.
        stuck.release(2);
        QTRY_VERIFY(!worker.isStuck(u"/a"_qs) && !worker.isStuck(u"/b"_qs));
        QCOMPARE(worker.run<int>(u"/a"_qs, [] { return 8; }), std::optional<int>(8));
    }

    void diskPastTheDeadlineIsNeverClean()
    {
        BlockingLookup disk;
        platform::DiskWorker worker(kDeadline);
        platform::WorkerFileFunctions files(disk, worker);
        FakeControls controls(u"/stick"_qs, files);
        scan::TickCounter tickCount = 9;
        runTicks(tickCount, 1, controls, files);
        QCOMPARE(controls.boxes, QStringList{kNotCheckedBox});
        disk.answer.release();
        QTRY_VERIFY(!worker.isStuck(u"/stick"_qs));
    }
};

QTEST_GUILESS_MAIN(TstDiskWorker)
#include "tst_diskworker.moc"
