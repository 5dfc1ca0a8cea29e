// SPDX-License-Identifier: LicenseRef-proprietary
#include "DiskProgress.h"

#include <cerrno>

namespace platform {

namespace {
thread_local std::function<void()> t_hear;
} // namespace

void setDiskProgress(std::function<void()> hear)
{
    t_hear = std::move(hear);
}

void diskProgress()
{
    if (!t_hear)
        return;
    const int error = errno; // the caller reads it next
    t_hear();
    errno = error;
}

} // namespace platform
