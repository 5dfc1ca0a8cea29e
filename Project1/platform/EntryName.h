#pragma once

#include <QByteArrayView>

namespace platform {

// Whether a directory entry's name is `wanted` in any letter case, as the Windows file
// systems match names. Only ASCII letters fold: a name that merely looks alike in another
// script is another name.
bool entryNameMatches(QByteArrayView entry, QByteArrayView wanted);

} // namespace platform
