// SPDX-License-Identifier: LicenseRef-proprietary
#include "MountTable_linux.h"

#include "PathBytes_unix.h"

#include <QVarLengthArray>

#include <sys/sysmacros.h>

namespace platform {

namespace {

// mountinfo writes space, tab, newline and backslash as \ooo.
QString unescape(QByteArrayView field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '3'
            && field[i + 2] >= '0' && field[i + 2] <= '7' && field[i + 3] >= '0' && field[i + 3] <= '7') {
            out += char((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return pathFromBytes(out);
}

// "major:minor" as the device number it stands for; 0 when it is not one.
dev_t parseDevice(QByteArrayView field)
{
    const qsizetype colon = field.indexOf(':');
    bool majorOk = false, minorOk = false;
    const uint majorNumber = field.first(qMax<qsizetype>(colon, 0)).toUInt(&majorOk);
    const uint minorNumber = colon < 0 ? 0 : field.sliced(colon + 1).toUInt(&minorOk);
    return majorOk && minorOk ? makedev(majorNumber, minorNumber) : 0;
}

} // namespace

QList<MountEntry> parseMountInfo(QByteArrayView text)
{
    // id parent major:minor root mountpoint options [optional...] - fstype source superoptions
    QList<MountEntry> mounts;
    while (!text.isEmpty()) {
        qsizetype end = text.indexOf('\n');
        if (end < 0)
            end = text.size();
        QByteArrayView line = text.first(end);
        text = text.sliced(qMin(end + 1, text.size()));

        QVarLengthArray<QByteArrayView, 12> fields;
        while (!line.isEmpty()) {
            const qsizetype space = line.indexOf(' ');
            fields.append(space < 0 ? line : line.first(space));
            line = space < 0 ? QByteArrayView() : line.sliced(space + 1);
        }
        qsizetype separator = 6;
        while (separator < fields.size() && fields[separator] != "-")
            ++separator;
        if (separator + 2 >= fields.size())
            continue;
        mounts.append({parseDevice(fields[2]), fields[0].toULongLong(), unescape(fields[3]), unescape(fields[4]),
                       fields[separator + 1].toByteArray(), unescape(fields[separator + 2])});
    }
    return mounts;
}

} // namespace platform
