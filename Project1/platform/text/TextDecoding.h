// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include <QByteArrayView>
#include <QString>

namespace platform {

// Turns the bytes of a text file from a removable disk into text fit to show: a UTF-8 or
// UTF-16 byte-order mark is honoured, otherwise valid UTF-8 is UTF-8 and anything else is
// Windows-1252. Line ends become '\n'; NUL and other control characters are shown as
// their visible symbols rather than cutting or garbling the text, and the invisible format
// characters (bidirectional marks and controls, zero-width ones) as U+FFFD, so that no line
// reads as another. `truncated` says the
// bytes stop at an arbitrary point, so a character cut in half there is dropped.
QString decodeDiskText(QByteArrayView bytes, bool truncated = false);

// Text a disk named, such as a volume's label, fit to show on one line: as decodeDiskText
// shows it, with line ends and tabs as their symbols too.
QString showableLine(const QString &raw);

} // namespace platform
