// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include "platform/files/Fd.h"

#include <QObject>

class QSocketNotifier;

namespace platform {

// Tells when a volume is mounted or unmounted anywhere: the kernel marks the mount table
// with an exceptional condition on every change, so nothing is polled.
class MountWatcher : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MountWatcher)

public:
    explicit MountWatcher(QObject *parent = nullptr);
    ~MountWatcher() override;

Q_SIGNALS:
    void changed();

private:
    Fd m_table;
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace platform
