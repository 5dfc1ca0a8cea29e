// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include "FileFunctions.h"
#include "Status.h"

#include <QString>

namespace platform {

// `Check1`'s values.
enum class CheckValue { Unticked = 0, Ticked = 1, Greyed = 2 };

// Icon and buttons of a message box, numbered as the Windows message box styles are.
enum class MessageStyle { Warning = 48, Information = 64 };

// The volume chosen in Drive1, as one value: the drive specification the autorun path is
// formed from, and what tells the volume there now from another mounted there before or
// after it (its device; on Windows its serial number), 0 where nothing tells.
struct Drive {
    QString specification;
    quint64 identity = 0;
};

// The operations the handlers need of the window's controls. The window provides them;
// tests fake them without any widget.
class Controls
{
public:
    virtual ~Controls() = default;

    virtual Status setStatusCaption(const QString &text) = 0; // Label5
    virtual Status setTimerEnabled(bool enabled) = 0;         // Timer1
    virtual Result<CheckValue> checkValue() = 0;              // Check1
    virtual Status setContentsText(const QString &text) = 0;  // Text1
    virtual Result<Drive> drive() = 0;                        // Drive1
    virtual Status setProgressValue(int percent) = 0;         // XP_ProgressBar1
    // Modal: returns once the user has dismissed the box.
    virtual Status messageBox(const QString &text, MessageStyle style, const QString &title) = 0;
    virtual Status loadIntoR(const VolumeEntry &file) = 0; // r's load-file method
    virtual Result<QString> rText() = 0;                   // r's plain text
};

} // namespace platform
