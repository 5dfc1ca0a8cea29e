// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include "DiskProgress.h"

#include <cerrno>
#include <type_traits>

namespace platform {

// Makes one system call that reaches a volume: taken again when a signal breaks it off,
// and told as the disk's answer however it ended, with errno as the call left it. Every
// call on a volume goes through here, so that a slow disk answering each of them in time
// is never taken for one that stopped answering.
template <typename Call>
auto onDisk(Call call)
{
    for (;;) {
        const auto result = call();
        const int error = errno;
        diskProgress();
        errno = error;
        if constexpr (std::is_integral_v<std::remove_const_t<decltype(result)>>) {
            if (result == -1 && error == EINTR)
                continue;
        }
        return result;
    }
}

} // namespace platform
