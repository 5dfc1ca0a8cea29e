// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

namespace platform {

class Fd;

// Tells when a volume is mounted or unmounted anywhere: the kernel marks the mount table
// with an exceptional condition on every change, so nothing is polled. On Windows a hidden
// window receives the system's notice of a volume arriving or going, and a drive's label
// or serial number coming in changed tells it too.
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
#ifdef Q_OS_WIN
    void *m_window = nullptr; // HWND
#else
    std::unique_ptr<Fd> m_table; // the mount table
    QSocketNotifier *m_notifier = nullptr;
#endif
};

#ifdef Q_OS_WIN
// Tells every watcher, from any thread, that a drive's label or serial number came in
// changed: the drives are to be listed again.
void driveIdentitiesChanged();
#endif

} // namespace platform
