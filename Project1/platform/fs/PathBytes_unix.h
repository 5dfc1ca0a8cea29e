// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace platform {

// A path is the bytes the kernel gave, whatever their encoding. In a QString it is kept as
// UTF-8 where the bytes are UTF-8, and each byte that is not as the lone surrogate
// U+DC80 + byte, so that bytesFromPath(pathFromBytes(b)) == b for any bytes b.
QString pathFromBytes(QByteArrayView bytes);
QByteArray bytesFromPath(QStringView path);

// The path fit to show: each byte that was not UTF-8 appears as U+FFFD.
QString displayedPath(QStringView path);

} // namespace platform
