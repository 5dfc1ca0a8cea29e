// SPDX-License-Identifier: LicenseRef-proprietary
// The check of the scan's last stage (reset, presence test, load) against the raw system
// calls doing the same, the same check on hostile files, and the presence test on large
// roots.
#include "FakeControls.h"
#include "Stats.h"

#include "AutorunFile.h"
#include "LocalFileFunctions.h"
#include "TextFileLoader.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <chrono>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

template <typename F>
double microseconds(F f)
{
    const auto start = Clock::now();
    f();
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

// Growth of the peak resident set while `f` runs.
template <typename F>
double peakGrowthMiB(F f)
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5"); // resets the peak to the current resident set
    clear.close();
    const long before = procStatusKiB("VmRSS:");
    f();
    return double(procStatusKiB("VmHWM:") - before) / 1024.0;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

QByteArray randomBytes(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random(seed);
    random.fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    return bytes;
}

void theCheck(FakeControls &controls)
{
    scan::AutorunFile file(controls, platform::localFileFunctions());
    file.resetAttributes();
    file.presenceTest();
    file.loadIntoR();
    file.readContents();
}

void rawCalls(const QByteArray &path)
{
    struct stat st = {};
    ::lstat(path.constData(), &st);
    char buffer[8192];
    const int fd = ::open(path.constData(), O_RDONLY);
    ::fstat(fd, &st);
    [[maybe_unused]] const ssize_t n = ::read(fd, buffer, sizeof buffer);
    ::close(fd);
}

// The check against the raw calls on the 4 KiB autorun.inf in `root`, as one row.
void checkRow(const QString &root, const QString &what, double goal, int runs)
{
    writeFile(QDir(root).filePath(QStringLiteral("autorun.inf")), QByteArray(4096, 'a'));
    FakeControls controls;
    controls.selected = root;
    const QByteArray raw = QFile::encodeName(QDir(root).filePath(QStringLiteral("autorun.inf")));
    QList<double> ours, floor;
    for (int i = 0; i < runs; ++i) {
        ours.append(microseconds([&] { theCheck(controls); }));
        floor.append(microseconds([&] { rawCalls(raw); }));
    }
    const Stats o = Stats::of(ours), f = Stats::of(floor);
    printRow(what, o.text(1), f.text(1), QString::number(o.median / f.median, 'f', 2),
             QStringLiteral("<= %1x").arg(goal) + (goal == 5 ? QStringLiteral(", < 1000 us") : QString()),
             o.median <= goal * f.median && (goal != 5 || o.max < 1000));
}

void checkAgainstRawCalls(const QString &base)
{
    QTemporaryDir volume(base + QStringLiteral("/orvane-bench-XXXXXX"));
    printHeader("The check of the last stage, 4 KiB autorun.inf on tmpfs, 2000 runs (microseconds)");
    checkRow(volume.path(), QStringLiteral("reset + presence + load"), 5, 2000);
}

void hostileFiles(const QString &base)
{
    QTemporaryDir outside(base + QStringLiteral("/orvane-outside-XXXXXX"));
    writeFile(outside.filePath(QStringLiteral("secret")), QByteArray(1 << 20, 's'));

    struct Case {
        const char *name;
        std::function<void(const QString &)> make;
    };
    const QList<Case> cases{
        {"2 GiB sparse file",
         [](const QString &p) {
             QFile f(p);
             if (f.open(QIODevice::WriteOnly))
                 f.resize(qint64(2) << 30);
         }},
        {"FIFO", [](const QString &p) { ::mkfifo(QFile::encodeName(p).constData(), 0644); }},
        {"link to /dev/zero", [](const QString &p) { QFile::link(QStringLiteral("/dev/zero"), p); }},
        {"link to a file outside the volume",
         [&](const QString &p) { QFile::link(outside.filePath(QStringLiteral("secret")), p); }},
        {"1 MiB of random bytes", [](const QString &p) { writeFile(p, randomBytes(1 << 20, 1)); }},
        {"invalid UTF-8, 1 MiB",
         [](const QString &p) { writeFile(p, QByteArray(1 << 20, '\xC3').replace(1000, 1, "\xFF")); }},
        {"UTF-16 with broken pairs, 1 MiB",
         [](const QString &p) { writeFile(p, "\xFF\xFE" + QByteArray(1 << 20, '\xD8')); }},
    };
    printHeader("Hostile autorun.inf, whole check, 20 runs each (ms; peak memory growth in MiB)");
    for (const Case &c : cases) {
        QTemporaryDir volume(base + QStringLiteral("/orvane-hostile-XXXXXX"));
        c.make(volume.filePath(QStringLiteral("AUTORUN.INF")));
        FakeControls controls;
        controls.selected = volume.path();
        QList<double> times, growth;
        for (int i = 0; i < 20; ++i) {
            double ms = 0;
            growth.append(peakGrowthMiB([&] { ms = microseconds([&] { theCheck(controls); }) / 1000.0; }));
            times.append(ms);
        }
        const Stats t = Stats::of(times), g = Stats::of(growth);
        printRow(QString::fromLatin1(c.name), t.text(3) + QStringLiteral(" ms"), g.text(2) + QStringLiteral(" MiB"),
                 QStringLiteral("-"), QStringLiteral("< 50 ms, < 8 MiB"), t.max < 50 && g.max < 8);
    }
}

// Reading the whole directory and nothing else: what any match in any letter case costs.
void readWholeDirectory(const QByteArray &root)
{
    DIR *dir = ::opendir(root.constData());
    while (dir && ::readdir(dir)) {
    }
    if (dir)
        ::closedir(dir);
}

void largeRoots(const QString &base)
{
    printHeader("Presence test on a root with many other entries, none of them autorun.inf, "
                "against reading the directory (ms)");
    double firstRatio = 0;
    for (const int entries : {1'000, 10'000, 100'000}) {
        QTemporaryDir volume(base + QStringLiteral("/orvane-scale-XXXXXX"));
        const QByteArray root = QFile::encodeName(volume.path());
        for (int i = 0; i < entries; ++i) {
            const QByteArray name = root + "/file" + QByteArray::number(i) + ".txt";
            ::close(::open(name.constData(), O_WRONLY | O_CREAT, 0644));
        }
        FakeControls controls;
        controls.selected = volume.path();
        scan::AutorunFile file(controls, platform::localFileFunctions());
        QList<double> times, floor;
        for (int i = 0; i < 20; ++i) {
            times.append(microseconds([&] { file.presenceTest(); }) / 1000.0);
            floor.append(microseconds([&] { readWholeDirectory(root); }) / 1000.0);
        }
        const Stats t = Stats::of(times), f = Stats::of(floor);
        const double ratio = t.median / f.median;
        if (firstRatio == 0)
            firstRatio = ratio;
        const bool linear = ratio <= 1.5 * firstRatio; // grows as reading the directory grows
        printRow(QStringLiteral("%1 entries").arg(entries), t.text(3), f.text(3), QString::number(ratio, 'f', 2),
                 entries == 100'000 ? QStringLiteral("< 50 ms, linear") : QStringLiteral("linear"),
                 linear && (entries != 100'000 || t.max < 50));
    }
}

} // namespace

// With --volume-header: the header of the rows below. With --volume ROOT NAME: only the
// check on the mounted volume ROOT, as one row named NAME (bench/volumes.sh mounts the
// volumes); adding --trace runs each side once between two marker calls, access() of
// "/orvane-ours" and of "/orvane-raw", for strace to count the system calls.
int main(int argc, char **argv)
{
    if (argc == 2 && qstrcmp(argv[1], "--volume-header") == 0) {
        printHeader("The check of the last stage on real volumes, 4 KiB autorun.inf, 1000 runs (microseconds)");
        return 0;
    }
    if (argc >= 4 && qstrcmp(argv[1], "--volume") == 0) {
        const QString root = QString::fromLocal8Bit(argv[2]);
        if (argc == 5 && qstrcmp(argv[4], "--trace") == 0) {
            writeFile(QDir(root).filePath(QStringLiteral("autorun.inf")), QByteArray(4096, 'a'));
            FakeControls controls;
            controls.selected = root;
            const QByteArray raw = QFile::encodeName(QDir(root).filePath(QStringLiteral("autorun.inf")));
            theCheck(controls); // warm, as the timed runs are
            ::access("/orvane-ours", F_OK);
            theCheck(controls);
            ::access("/orvane-ours", F_OK);
            ::access("/orvane-raw", F_OK);
            rawCalls(raw);
            ::access("/orvane-raw", F_OK);
            return 0;
        }
        checkRow(root, QString::fromLocal8Bit(argv[3]), 2, 1000);
        return 0;
    }
    // tmpfs, so that the disk's speed is not what is measured.
    const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    checkAgainstRawCalls(base);
    hostileFiles(base);
    largeRoots(base);
    return 0;
}
