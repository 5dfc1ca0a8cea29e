// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include "Controls.h"

class QWidget;

namespace platform {

// A modal box with one OK button; returns when the user dismisses it.
void showMessageBox(QWidget *parent, const QString &text, MessageStyle style, const QString &title);

} // namespace platform
