// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include <QByteArrayView>
#include <QString>

namespace platform {

// Turns the bytes of a text file from a removable disk into text fit to show: a UTF-8 or
// UTF-16 byte-order mark is honoured, otherwise valid UTF-8 is UTF-8 and anything else is
// Windows-1252. Line ends become '\n'; NUL and other control characters are shown as
// their visible symbols rather than cutting or garbling the text. `truncated` says the
// bytes stop at an arbitrary point, so a character cut in half there is dropped.
QString decodeDiskText(QByteArrayView bytes, bool truncated = false);

} // namespace platform
