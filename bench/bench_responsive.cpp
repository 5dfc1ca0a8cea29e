// SPDX-License-Identifier: LicenseRef-proprietary
// Whether the window keeps answering while a volume is checked (real window, 200 ms timer and clicks):
// "Search Viruses" to the verdict box on screen and the longest pause in event processing meanwhile,
// on a healthy volume, a 65 000-entry FUSE FAT root, a 100 000-entry ext2 root, a disk that
// answers each request 1 s late and a FUSE disk whose daemon is stopped; on that one also "Quit"
// during the wait to the process's exit.
#include "DiskImage.h"
#include "ModalWatcher.h"
#include "Stats.h"

#include "Form1.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kRuns = 5;
constexpr int kStoppedRuns = 3;
constexpr int kRootEntries = 65'000;
constexpr int kExt2RootEntries = 100'000;
constexpr double kSlowDiskDelayS = 1.0;
const QString kNotChecked = u"This Disk could not be checked."_qs;
const QString kFound = u"An autorun file was founded, see its contents."_qs;
const QString kClean = u"This Disk was escaped from 'autorun' viruses."_qs;
const char *kQuitChild = "--quit-during-wait";

// Milliseconds on CLOCK_MONOTONIC, the clock a parent and its child share.
double monotonicMs()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Runs the event loop until `done` holds or `timeoutMs` passes; never sleeps outside it.
bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QEventLoop loop;
    QTimer poll;
    poll.callOnTimeout(&loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(5);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    if (!done())
        loop.exec();
    return done();
}

struct Scan {
    double verdictMs = -1;    // click to the box on screen
    double longestGapMs = -1; // between two beats of a 1 ms timer, click to the box's dismissal
    double gapEndMs = -1;     // when it ended, after the click
    double clickedAtMs = -1;  // CLOCK_MONOTONIC
    QString text;             // the box's
};

// Clicks "Search Viruses" and waits for the verdict box, which it dismisses, and the rest after it.
Scan scanOnce(Form1 &window)
{
    Scan scan;
    double start = 0, last = 0;
    const auto sinceLast = [&] {
        const double now = monotonicMs();
        if (now - last > scan.longestGapMs) {
            scan.longestGapMs = now - last;
            scan.gapEndMs = now - start;
        }
        last = now;
    };
    QTimer beat;
    beat.setTimerType(Qt::PreciseTimer);
    beat.callOnTimeout(sinceLast);
    bool dismissed = false;
    // Called from the box's own loop, as soon as it runs once the box is on screen.
    ModalWatcher boxes([&](QMessageBox &box) {
        scan.verdictMs = monotonicMs() - start;
        scan.text = box.text();
        sinceLast();
        beat.stop();
        box.button(QMessageBox::Ok)->click();
        dismissed = true;
    });
    beat.start(1);
    start = last = scan.clickedAtMs = monotonicMs();
    QTest::mouseClick(window.findChild<QPushButton *>(u"Command5"_qs), Qt::LeftButton);
    auto *timer = window.findChild<QTimer *>(u"Timer1"_qs);
    waitUntil([&] { return dismissed && !timer->isActive(); }, 120'000);
    return scan;
}

bool select(Form1 &window, const QString &root)
{
    auto *drive = window.findChild<QComboBox *>(u"Drive1"_qs);
    if (!waitUntil([&] { return drive->findData(root) >= 0; }, 5'000))
        return false;
    drive->setCurrentIndex(drive->findData(root));
    return true;
}

void printSkipped(const QString &what, const QString &reason)
{
    std::printf("| %-44s | %-86s | %-4s |\n", qPrintable(what), qPrintable(u"skipped: "_qs + reason), "-");
    std::fflush(stdout);
}

// What a scan cannot be quicker than: the verdict comes at tick 10.
struct Floor {
    double ms = 2000;
    QString text = u"2000 (tick 10)"_qs;
};

// The verdict and gap rows of `runs` scans of `volume`, whose verdict is `expected`.
void printScans(const QString &volume, const QList<Scan> &runs, const QString &expected, double goalMs,
                const QString &skipped, const Floor &floor = {})
{
    const QString verdictRow = u"click to verdict box: "_qs + volume, gapRow = u"longest gap: "_qs + volume;
    if (!skipped.isEmpty()) {
        printSkipped(verdictRow, skipped);
        printSkipped(gapRow, skipped);
        return;
    }
    QList<double> verdicts, gaps;
    bool right = !runs.isEmpty();
    double worstGap = -1, worstGapEnd = -1;
    for (const Scan &s : runs) {
        if (s.longestGapMs > worstGap)
            std::tie(worstGap, worstGapEnd) = std::pair(s.longestGapMs, s.gapEndMs);
        verdicts.append(s.verdictMs);
        gaps.append(s.longestGapMs);
        right = right && s.text == expected;
    }
    const Stats v = Stats::of(verdicts), g = Stats::of(gaps);
    printRow(verdictRow, v.text(1), floor.text, QString::number(v.median / floor.ms, 'f', 3), u"<= %1"_qs.arg(goalMs),
             right && v.max <= goalMs);
    printRow(gapRow, g.text(1), u"worst ends at %1"_qs.arg(worstGapEnd, 0, 'f', 1), u"-"_qs, u"< 50"_qs,
             right && g.max < 50);
}

// A FAT32 image whose root holds `entries` empty 8.3 files, copied in by as few mcopy runs as
// the argument limit allows (mcopy's cost grows with the square of a directory's size).
bool buildCrowdedRoot(DiskImage &fat, int entries)
{
    QElapsedTimer clock;
    clock.start();
    QTemporaryDir source;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(source.path()); // short relative names fit more to a run
    QList<QStringList> runs{{}};
    qsizetype bytes = 0;
    const qsizetype budget = ::sysconf(_SC_ARG_MAX) / 2; // the rest for the environment
    for (int i = 0; i < entries; ++i) {
        const QString name = u"F%1.TXT"_qs.arg(i, 7, 10, QLatin1Char('0'));
        QFile(name).open(QIODevice::WriteOnly);
        if ((bytes += name.size() + 1 + qsizetype(sizeof(char *))) > budget) {
            runs.append(QStringList());
            bytes = 0;
        }
        runs.last().append(name);
    }
    const QStringList format{u"-F"_qs, u"32"_qs, u"-s"_qs, u"1"_qs, u"-C"_qs, fat.image(), u"65536"_qs};
    bool built = DiskImage::run(u"mkfs.vfat"_qs, format) == 0;
    for (const QStringList &names : std::as_const(runs)) {
        const QStringList arguments = QStringList{u"-i"_qs, fat.image()} + names + QStringList{u"::"_qs};
        built = built && DiskImage::run(u"mcopy"_qs, arguments, nullptr, -1) == 0; // minutes, not a hang
    }
    QDir::setCurrent(previous);
    std::printf("Image of %d root entries built in %.1f s by %lld mcopy runs.\n", entries,
                double(clock.elapsed()) / 1e3, qlonglong(runs.size()));
    std::fflush(stdout);
    return built;
}

// An ext2 image whose root holds `entries` empty files, on a loop device: filled through the
// kernel's ext4 driver, whose hashed directories make that quick, then mounted as ext2, as a
// plain stick is. Unmounted and let go when it goes.
class CrowdedExt2
{
public:
    explicit CrowdedExt2(int entries)
    {
        const QString image = m_dir.filePath(u"volume.img"_qs);
        QByteArray loop;
        const QStringList format{u"-q"_qs, u"-F"_qs, u"-N"_qs, QString::number(entries + 1000), image, u"64M"_qs};
        if (DiskImage::run(u"mkfs.ext2"_qs, format) != 0
            || DiskImage::run(u"losetup"_qs, {u"-f"_qs, u"--show"_qs, image}, &loop) != 0)
            return;
        m_loop = loop.trimmed();
        ::mkdir(m_root.constData(), 0755);
        if (::mount(m_loop.constData(), m_root.constData(), "ext4", 0, nullptr) != 0)
            return;
        bool filled = true;
        for (int i = 0; i < entries && filled; ++i) {
            const int fd = ::open((m_root + "/file" + QByteArray::number(i) + ".txt").constData(),
                                  O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            filled = fd >= 0 && ::close(fd) == 0;
        }
        m_mounted = ::umount2(m_root.constData(), 0) == 0 && filled
            && ::mount(m_loop.constData(), m_root.constData(), "ext2", 0, nullptr) == 0;
    }
    CrowdedExt2(const CrowdedExt2 &) = delete;
    CrowdedExt2 &operator=(const CrowdedExt2 &) = delete;
    ~CrowdedExt2()
    {
        ::umount2(m_root.constData(), MNT_DETACH);
        if (!m_loop.isEmpty())
            DiskImage::run(u"losetup"_qs, {u"-d"_qs, QString::fromLocal8Bit(m_loop)});
    }

    [[nodiscard]] bool mounted() const { return m_mounted; }
    [[nodiscard]] QString root() const { return QFile::decodeName(m_root); }

private:
    QTemporaryDir m_dir;
    QByteArray m_root = QFile::encodeName(m_dir.filePath(u"stick"_qs));
    QByteArray m_loop;
    bool m_mounted = false;
};

// A FUSE disk mirroring `source` that answers each request `delay` seconds late
// (tests/slowfs.py), and when each request came.
class SlowDisk : public PythonDisk
{
public:
    SlowDisk(const QString &source, double delay)
        : PythonDisk(QStringLiteral(ORVANE_SLOWFS), {source, QString::number(delay)})
    {
    }

    // How many requests came from `fromMs` on, and before `toMs` (CLOCK_MONOTONIC).
    int requestsBetween(double fromMs, double toMs)
    {
        m_log += output();
        const QList<QByteArray> lines = m_log.split('\n');
        return int(std::count_if(lines.begin(), lines.end(), [&](const QByteArray &line) {
            return !line.isEmpty() && line.toDouble() >= fromMs && line.toDouble() < toMs;
        }));
    }

private:
    QByteArray m_log;
};

// The child's part: scans `root`, whose disk is stopped, clicks "Quit" during the wait and
// prints the CLOCK_MONOTONIC time of that click.
int quitDuringWait(const QString &root)
{
    Form1 window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window) || !select(window, root))
        return 2;
    QTest::mouseClick(window.findChild<QPushButton *>(u"Command5"_qs), Qt::LeftButton);
    QTimer::singleShot(2'500, &window, [&] { // tick 10 came at 2.0 s: the disk is being waited for
        std::printf("%.3f\n", monotonicMs());
        std::fflush(stdout);
        QTest::mouseClick(window.findChild<QPushButton *>(u"Command1"_qs), Qt::LeftButton);
    });
    return QApplication::exec();
}

} // namespace

int main(int argc, char *argv[])
{
    const bool display = !qEnvironmentVariableIsEmpty("DISPLAY");
    qputenv("QT_QPA_PLATFORM", display ? "xcb" : "offscreen"); // the child inherits it
    QApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], kQuitChild) == 0)
        return quitDuringWait(QString::fromLocal8Bit(argv[2]));

    std::printf("Platform: %s\n", display ? "xcb (an X display)" : "offscreen (no display)");
    Form1 window;
    window.show();
    (void)QTest::qWaitForWindowExposed(&window);
    QTemporaryDir healthy;
    if (QFile file(healthy.filePath(u"autorun.inf"_qs)); file.open(QIODevice::WriteOnly))
        file.write("[autorun]\r\nopen=x.exe\r\n");
    auto *drive = window.findChild<QComboBox *>(u"Drive1"_qs);
    drive->addItem(u"bench"_qs, healthy.path());
    QList<Scan> healthyRuns;
    for (int i = 0; i < kRuns && select(window, healthy.path()); ++i)
        healthyRuns.append(scanOnce(window));

    QString reason = DiskImage::unavailableReason(DiskImage::Kind::Fat);
    DiskImage fat(DiskImage::Kind::Fat);
    if (reason.isEmpty() && !buildCrowdedRoot(fat, kRootEntries))
        reason = u"the image could not be built"_qs;
    QList<Scan> crowdedRuns;
    if (reason.isEmpty() && !fat.mount(u"ro"_qs))
        reason = u"fusefat could not mount the image"_qs;
    for (int i = 0; reason.isEmpty() && i < kRuns && select(window, fat.root()); ++i)
        crowdedRuns.append(scanOnce(window));

    QString ext2Reason = DiskImage::unavailableReason(DiskImage::Kind::Ext2);
    QList<Scan> ext2Runs;
    if (ext2Reason.isEmpty()) {
        const CrowdedExt2 ext2(kExt2RootEntries);
        if (!ext2.mounted())
            ext2Reason = u"the image could not be built or mounted"_qs;
        for (int i = 0; ext2Reason.isEmpty() && i < kRuns && select(window, ext2.root()); ++i)
            ext2Runs.append(scanOnce(window));
    }

    // Each system call of the scan is a few requests to the disk, and every one waits 1 s.
    QString slowReason = SlowDisk::unavailableReason();
    Scan slowRun;
    int slowRequests = 0, slowRequestsInAll = 0; // of the check at tick 10 up to the verdict; with the contents
    if (slowReason.isEmpty()) {
        SlowDisk slow(healthy.path(), kSlowDiskDelayS);
        drive->addItem(u"slow"_qs, slow.root());
        if (!slow.mounted() || !select(window, slow.root()))
            slowReason = u"slowfs.py could not mount its disk"_qs;
        if (slowReason.isEmpty()) {
            slowRun = scanOnce(window);
            const double tick10 = slowRun.clickedAtMs + 2000;
            slowRequests = slow.requestsBetween(tick10, slowRun.clickedAtMs + slowRun.verdictMs);
            slowRequestsInAll = slow.requestsBetween(tick10, monotonicMs());
        }
    }

    QList<Scan> stoppedRuns;
    QList<double> quitToExit;
    if (reason.isEmpty() && !fat.stop())
        reason = u"the FUSE daemon could not be stopped"_qs;
    for (int i = 0; reason.isEmpty() && i < kStoppedRuns; ++i) {
        Form1 fresh(platform::DiskWorker::kDeadline); // a volume stuck in one worker fails at once in it after
        fresh.show();
        if (QTest::qWaitForWindowExposed(&fresh) && select(fresh, fat.root()))
            stoppedRuns.append(scanOnce(fresh));
    }
    for (int i = 0; reason.isEmpty() && i < kStoppedRuns; ++i) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kQuitChild), fat.root()});
        if (!child.waitForFinished(20'000)) {
            child.kill();
            child.waitForFinished();
            quitToExit.append(20'000);
            continue;
        }
        const double exited = monotonicMs();
        const double clicked = child.readAllStandardOutput().trimmed().toDouble();
        quitToExit.append(clicked > 0 ? exited - clicked : 20'000);
    }

    printHeader("Responsiveness while a volume is checked (ms)");
    printScans(u"healthy"_qs, healthyRuns, kFound, 2040, {});
    printScans(u"65 000-entry FUSE FAT"_qs, crowdedRuns, kClean, 2200, reason);
    printScans(u"100 000-entry ext2"_qs, ext2Runs, kClean, 2200, ext2Reason);
    const double slowFloorMs = 2000 + slowRequests * kSlowDiskDelayS * 1000;
    const Floor slowFloor{slowFloorMs, u"%1 (tick 10 + %2 requests)"_qs.arg(slowFloorMs).arg(slowRequests)};
    printScans(u"1 s-per-request disk"_qs, {slowRun}, kFound, slowFloor.ms + 500, slowReason, slowFloor);
    printScans(u"stopped FUSE FAT"_qs, stoppedRuns, kNotChecked, 7100, reason, {7000, u"7000 (tick 10 + deadline)"_qs});
    const Stats q = Stats::of(quitToExit);
    if (reason.isEmpty())
        printRow(u"Quit to exit: stopped FUSE FAT"_qs, q.text(1), u"-"_qs, u"-"_qs, u"<= 200"_qs, q.max <= 200);
    else
        printSkipped(u"Quit to exit: stopped FUSE FAT"_qs, reason);
    if (slowReason.isEmpty()) {
        // Only a disk that leaves one request unanswered for the deadline is given up on.
        const auto deadline = std::chrono::duration<double>(platform::DiskWorker::kDeadline).count();
        std::printf("The longest scan of that volume on a disk taking up to %.0f s for each request: the verdict "
                    "after 2 s + %d x that = %.0f s, the contents after %d requests, %.0f s.\n",
                    deadline, slowRequests, 2 + slowRequests * deadline, slowRequestsInAll,
                    2 + slowRequestsInAll * deadline);
    }
    return 0;
}
