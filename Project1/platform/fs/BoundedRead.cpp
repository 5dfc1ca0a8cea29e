// SPDX-License-Identifier: LicenseRef-proprietary
#include "BoundedRead.h"

namespace platform {

Result<QByteArray> readAtMost(const ReadSome &readSome, quint64 size, qsizetype limit)
{
    // Compared before the one is added, which would wrap the largest size.
    QByteArray bytes(size < quint64(limit) ? qsizetype(size) + 1 : limit, Qt::Uninitialized);
    qsizetype filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (bytes.size() == limit)
                break;
            bytes.resize(qMin(limit, bytes.size() * 2));
        }
        const Result<qsizetype> n = readSome(bytes.data() + filled, bytes.size() - filled);
        if (!n.ok())
            return Result<QByteArray>::failure(n.status);
        if (n.value == 0)
            break;
        filled += n.value;
    }
    bytes.truncate(filled);
    return {bytes};
}

} // namespace platform
