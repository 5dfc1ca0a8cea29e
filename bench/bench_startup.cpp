// SPDX-License-Identifier: LicenseRef-proprietary
// Start time to the first shown window, and idle memory, against an empty window and
// against a window showing one label.
#include "Stats.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

namespace {
constexpr int kRuns = 20;

struct Run {
    double startMs = 0;
    double rssMiB = 0;
};

Run launch(const QString &program, const QString &mode)
{
    QProcess p;
    QElapsedTimer clock;
    clock.start();
    p.start(program, {mode});
    Run run;
    while (p.waitForReadyRead(10'000) || p.canReadLine()) {
        while (p.canReadLine()) {
            const QByteArray line = p.readLine().trimmed();
            if (line == "shown")
                run.startMs = double(clock.nsecsElapsed()) / 1e6;
            else if (line.startsWith("rss "))
                run.rssMiB = line.mid(4).toDouble() / 1024.0;
        }
        if (run.rssMiB > 0)
            break;
    }
    p.waitForFinished();
    return run;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString window = QCoreApplication::applicationDirPath() + QStringLiteral("/bench_window");
    const QStringList modes{QStringLiteral("orvane"), QStringLiteral("empty"), QStringLiteral("label")};
    QList<double> start[3], rss[3];
    for (const QString &mode : modes)
        launch(window, mode); // warm the caches for each
    for (int i = 0; i < kRuns; ++i) {
        for (qsizetype k = 0; k < modes.size(); ++k) {
            const Run r = launch(window, modes[k]);
            start[k].append(r.startMs);
            rss[k].append(r.rssMiB);
        }
    }
    printHeader("Start and idle memory, offscreen, against an empty Qt window of the same size");
    const Stats s0 = Stats::of(start[0]), s1 = Stats::of(start[1]), s2 = Stats::of(start[2]);
    const Stats m0 = Stats::of(rss[0]), m1 = Stats::of(rss[1]), m2 = Stats::of(rss[2]);
    printRow(QStringLiteral("start to first shown window (ms)"), s0.text(1), s1.text(1),
             QString::number(s0.median / s1.median, 'f', 2), QStringLiteral("<= 1.3x"), s0.median <= 1.3 * s1.median);
    printRow(QStringLiteral("idle resident memory (MiB)"), m0.text(1), m1.text(1),
             QString::number(m0.median / m1.median, 'f', 2), QStringLiteral("<= 1.5x"), m0.median <= 1.5 * m1.median);
    printRow(QStringLiteral("  start, floor: window with one label (ms)"), s0.text(1), s2.text(1),
             QString::number(s0.median / s2.median, 'f', 2), QStringLiteral("(for reference)"), true);
    printRow(QStringLiteral("  memory, floor: window with one label (MiB)"), m0.text(1), m2.text(1),
             QString::number(m0.median / m2.median, 'f', 2), QStringLiteral("(for reference)"), true);
    return 0;
}
