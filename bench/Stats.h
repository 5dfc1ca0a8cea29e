// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include <QFile>
#include <QList>
#include <QString>

#include <algorithm>
#include <cstdio>

// Min, median and max of repeated measurements.
struct Stats {
    double min = 0, median = 0, max = 0;

    static Stats of(QList<double> samples)
    {
        if (samples.isEmpty())
            return {};
        std::sort(samples.begin(), samples.end());
        return {samples.front(), samples[samples.size() / 2], samples.back()};
    }
    [[nodiscard]] QString text(int decimals = 2) const
    {
        return QStringLiteral("%1 / %2 / %3")
            .arg(min, 0, 'f', decimals)
            .arg(median, 0, 'f', decimals)
            .arg(max, 0, 'f', decimals);
    }
};

// One line of the results table.
inline void printRow(const QString &what, const QString &measured, const QString &floor, const QString &ratio,
                     const QString &goal, bool met)
{
    std::printf("| %-44s | %-26s | %-26s | %-7s | %-18s | %-4s |\n", qPrintable(what), qPrintable(measured),
                qPrintable(floor), qPrintable(ratio), qPrintable(goal), met ? "yes" : "NO");
    std::fflush(stdout);
}

inline void printHeader(const char *title)
{
    std::printf("\n%s (min / median / max)\n", title);
    std::printf("| %-44s | %-26s | %-26s | %-7s | %-18s | %-4s |\n", "measure", "Orvane", "floor", "ratio", "goal",
                "met");
    std::printf("|%s|\n", QByteArray(148, '-').constData());
}

// A field of /proc/self/status in KiB ("VmRSS:", "VmHWM:"), or -1.
inline long procStatusKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLong();
    return -1;
}
