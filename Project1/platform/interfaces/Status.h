// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include <utility>

namespace platform {

// What a control operation or a file function reports to its caller. The handlers that
// use them abandon a failing action and go on, so a plain value serves better than an
// exception.
enum class Status {
    Ok,
    NotFound,           // no entry of that name in the directory
    VolumeUnavailable,  // the volume's root cannot be opened, searched or read
    VolumeNotAnswering, // the volume did not answer in time: not ready, as an unavailable one
    AccessDenied,       // the entry itself refuses the operation
    WriteProtected,
    NotRegularFile, // a link, FIFO, device or directory where a file was expected
    Unsupported,    // the file system offers no way to do it
    IoError,
    ControlFailed, // a window control refused the operation
};

// A value from an operation that may fail; `value` is meaningful only when ok().
template <typename T>
struct Result {
    T value{};
    Status status = Status::Ok;

    [[nodiscard]] bool ok() const { return status == Status::Ok; }

    static Result failure(Status s) { return Result{T{}, s}; }
};

} // namespace platform
