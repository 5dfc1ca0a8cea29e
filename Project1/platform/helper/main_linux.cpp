// SPDX-License-Identifier: LicenseRef-proprietary
// orvane-disk: makes, one after the other, the calls the program sends it on its standard
// input, a socket, and answers each there. It ends when the program closes the socket or
// ends itself.
#include "DiskProgress.h"
#include "DiskRequest_unix.h"
#include "LocalFileFunctions.h"

#include <QByteArray>

#include <chrono>
#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

int main(int argc, char *argv[])
{
    // Killed when the thread that started it ends, and not started by anyone else.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (argc != 2 || QByteArray(argv[1]).toLongLong() != ::getppid())
        return 2;
    // Each answer of the disk is told as an empty frame, at most one each 10 ms: the program
    // gives up on a disk only once it has not answered for a while.
    auto lastTold = std::chrono::steady_clock::now();
    const std::function<void()> tell = [&lastTold] {
        const auto now = std::chrono::steady_clock::now();
        if (now - lastTold >= std::chrono::milliseconds(10)) {
            lastTold = now;
            platform::sendFrame(STDIN_FILENO, {});
        }
    };
    platform::setDiskProgress(&tell);
    for (;;) {
        const std::optional<QByteArray> frame = platform::receiveFrame(STDIN_FILENO);
        if (!frame)
            return 0;
        const std::optional<platform::DiskRequest> request = platform::decodeRequest(*frame);
        if (!request)
            return 2;
        if (!platform::sendFrame(STDIN_FILENO,
                                 platform::encodeAnswer(platform::perform(*request, platform::localFileFunctions()))))
            return 0;
    }
}
