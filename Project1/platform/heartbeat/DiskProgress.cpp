// SPDX-License-Identifier: LicenseRef-proprietary
#include "DiskProgress.h"

#include <cerrno>

namespace platform {

namespace {
// A plain pointer: with a destructor, a thread's own variable crashes threads that end under
// mingw-w64's runtime, as the drive list's do.
thread_local const std::function<void()> *t_hear = nullptr;
} // namespace

void setDiskProgress(const std::function<void()> *hear)
{
    t_hear = hear;
}

void diskProgress()
{
    if (!t_hear)
        return;
    const int error = errno; // the caller reads it next
    (*t_hear)();
    errno = error;
}

} // namespace platform
