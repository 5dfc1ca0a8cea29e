// SPDX-License-Identifier: LicenseRef-proprietary
#include "MountWatcher.h"

#include "Fd_unix.h"
#include "MountTable_linux.h"

#include <QSocketNotifier>

#include <fcntl.h>

namespace platform {

MountWatcher::MountWatcher(QObject *parent)
    : QObject(parent), m_table(std::make_unique<Fd>(::open(kMountTable, O_RDONLY | O_CLOEXEC)))
{
    if (!m_table->valid())
        return;
    m_notifier = new QSocketNotifier(m_table->get(), QSocketNotifier::Exception, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &MountWatcher::changed);
}

MountWatcher::~MountWatcher()
{
    delete m_notifier; // before the descriptor it watches is closed
}

} // namespace platform
