// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include <functional>

namespace platform {

// A sign of life from a call to a disk: the file functions report each system call that
// returned, so that a slow disk that answers every request is told from one that stopped
// answering. What hears of it is the calling thread's own: `*hear` until set again (nullptr:
// nothing), kept alive by the caller that long.
void setDiskProgress(const std::function<void()> *hear);
void diskProgress();

} // namespace platform
