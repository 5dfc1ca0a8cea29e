// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include "DiskProgress.h"

#include <cerrno>
#include <dirent.h>
#include <unistd.h>

#include <memory>
#include <utility>

namespace platform {

// A file descriptor, closed when its owner goes.
class Fd
{
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    // A close is a call on the volume (FUSE flushes there), told as the disk's answer. Never
    // taken again: the descriptor is gone even when a signal broke the close off.
    ~Fd()
    {
        if (m_fd < 0)
            return;
        const int error = errno;
        ::close(m_fd);
        diskProgress();
        errno = error;
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    Fd(Fd &&other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Fd &operator=(Fd &&other) noexcept
    {
        std::swap(m_fd, other.m_fd);
        return *this;
    }

    [[nodiscard]] int get() const { return m_fd; }
    [[nodiscard]] bool valid() const { return m_fd >= 0; }
    // Hands the descriptor to a new owner, such as fdopendir().
    [[nodiscard]] int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd = -1;
};

struct DirCloser {
    void operator()(DIR *dir) const
    {
        const int error = errno;
        ::closedir(dir);
        diskProgress();
        errno = error;
    }
};
// A directory stream, closed (with the descriptor it was opened from) when its owner goes.
using Dir = std::unique_ptr<DIR, DirCloser>;

} // namespace platform
