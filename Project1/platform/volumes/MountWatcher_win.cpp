// SPDX-License-Identifier: LicenseRef-proprietary
#include "MountWatcher.h"

#include <windows.h>

#include <dbt.h>

#include <QList>

#include <mutex>

namespace platform {

namespace {

constexpr wchar_t kWindowClass[] = L"OrvaneMountWatcher";

LRESULT CALLBACK watcherProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DEVICECHANGE && (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE)) {
        const auto *header = reinterpret_cast<const DEV_BROADCAST_HDR *>(lParam);
        auto *watcher = reinterpret_cast<MountWatcher *>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        if (header && header->dbch_devicetype == DBT_DEVTYP_VOLUME && watcher)
            Q_EMIT watcher->changed();
        return TRUE;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

// The watchers alive, for news from the threads that ask the drives. Never destroyed: an
// answer may come in while the program ends.
struct Watchers {
    std::mutex mutex;
    QList<MountWatcher *> alive;
};
Watchers &watchers()
{
    static auto *all = new Watchers;
    return *all;
}

} // namespace

void driveIdentitiesChanged()
{
    const std::lock_guard lock(watchers().mutex);
    for (MountWatcher *watcher : std::as_const(watchers().alive))
        QMetaObject::invokeMethod(watcher, &MountWatcher::changed, Qt::QueuedConnection);
}

MountWatcher::MountWatcher(QObject *parent) : QObject(parent)
{
    {
        const std::lock_guard lock(watchers().mutex);
        watchers().alive.append(this);
    }
    // Volume notices are broadcast to top-level windows only, so the window is a hidden
    // top-level one rather than a message-only one. The thread's event loop delivers them.
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = watcherProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kWindowClass;
    ::RegisterClassExW(&windowClass); // fails harmlessly once registered
    HWND window = ::CreateWindowExW(0, kWindowClass, L"", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                                    windowClass.hInstance, nullptr);
    if (!window)
        return;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_window = window;
}

MountWatcher::~MountWatcher()
{
    {
        const std::lock_guard lock(watchers().mutex);
        watchers().alive.removeOne(this);
    }
    if (m_window)
        ::DestroyWindow(static_cast<HWND>(m_window));
}

} // namespace platform
