// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

class QWidget;

namespace platform {

// Places the window in the middle of the screen it opens on.
void centreOnScreen(QWidget &window);

// Ends the program at once: every event loop, a message box's included, returns.
void endProgram();

} // namespace platform
