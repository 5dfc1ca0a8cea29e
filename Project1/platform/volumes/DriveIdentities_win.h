// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include "VolumeRoot.h"

#include <QString>

#include <functional>
#include <memory>

namespace platform {

// What each drive last said of its disk. Each is asked on a thread of its own, so that
// listing the drives never waits for a disk; a drive still busy with an earlier question is
// not asked again, so a dead disk holds one thread at most. An answer other than the last
// one calls `changed`, on the thread that asked.
class DriveIdentities
{
public:
    using Query = std::function<DriveIdentity(const QString &root)>;

    DriveIdentities(Query query, std::function<void()> changed);

    // The last answer of drive `root` ("e:"), asking it anew unless a question is still out.
    DriveIdentity ask(const QString &root);

private:
    struct State;
    std::shared_ptr<State> m_state; // shared with the questions still out, which may outlive it
};

} // namespace platform
