// SPDX-License-Identifier: LicenseRef-proprietary
#include "DriveIdentities_win.h"

#include <QHash>
#include <QSet>

#include <mutex>
#include <system_error>
#include <thread>

namespace platform {

struct DriveIdentities::State {
    Query query;
    std::function<void()> changed;
    std::mutex mutex;
    QHash<QString, DriveIdentity> known;
    QSet<QString> busy; // asked and not answered yet
};

DriveIdentities::DriveIdentities(Query query, std::function<void()> changed) : m_state(std::make_shared<State>())
{
    m_state->query = std::move(query);
    m_state->changed = std::move(changed);
}

DriveIdentity DriveIdentities::ask(const QString &root)
{
    const std::lock_guard lock(m_state->mutex);
    if (!m_state->busy.contains(root)) {
        try {
            std::thread([state = m_state, root] {
                const DriveIdentity identity = state->query(root);
                bool changed = false;
                {
                    const std::lock_guard lock(state->mutex);
                    state->busy.remove(root);
                    changed = state->known.value(root) != identity;
                    state->known.insert(root, identity);
                }
                if (changed)
                    state->changed();
            }).detach();
            m_state->busy.insert(root);
        } catch (const std::system_error &) {
            // No thread to spare: the last answer stands until the next listing.
        }
    }
    return m_state->known.value(root);
}

} // namespace platform
