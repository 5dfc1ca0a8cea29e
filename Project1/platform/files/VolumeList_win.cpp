// SPDX-License-Identifier: LicenseRef-proprietary
#include "VolumeList.h"

#include "Errors_win.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <QSet>

namespace platform {

namespace {

struct Identity {
    QString label;
    quint32 serial = 0;
};

// The label and serial number of the disk in the drive `root` ("e:"); nothing when it holds
// none or cannot be read. Reads the disk.
Identity identityOf(const QString &root)
{
    const QString directory = root + u'\\';
    wchar_t label[MAX_PATH + 1] = {};
    DWORD serial = 0;
    if (!::GetVolumeInformationW(reinterpret_cast<const wchar_t *>(directory.utf16()), label, MAX_PATH + 1, &serial,
                                 nullptr, nullptr, nullptr, 0))
        return {};
    return {QString::fromWCharArray(label), quint32(serial)};
}

int groupOf(unsigned type)
{
    switch (type) {
    case DRIVE_REMOVABLE:
        return 0;
    case DRIVE_FIXED:
    case DRIVE_CDROM:
    case DRIVE_RAMDISK:
        return 1;
    default:
        return -1; // network, unknown, no root
    }
}

} // namespace

QList<Volume> volumesFromDrives(const QList<DriveInfo> &drives)
{
    QList<DriveInfo> sorted;
    for (const DriveInfo &d : drives) {
        if (groupOf(d.type) >= 0)
            sorted.append(d);
    }
    std::stable_sort(sorted.begin(), sorted.end(), [](const DriveInfo &a, const DriveInfo &b) {
        if (groupOf(a.type) != groupOf(b.type))
            return groupOf(a.type) < groupOf(b.type);
        return a.root.compare(b.root, Qt::CaseInsensitive) < 0;
    });
    QList<Volume> volumes;
    for (const DriveInfo &d : sorted) {
        const QString root = d.root.toLower();
        volumes.append({root, d.label.isEmpty() ? root : root + QStringLiteral(" [") + d.label + u']',
                        d.type == DRIVE_REMOVABLE, dev_t(d.serial), root,
                        d.serial == 0 ? QString() : QString::number(d.serial, 16).rightJustified(8, u'0')});
    }
    return volumes;
}

QList<Volume> mountedVolumes()
{
    failCriticalErrorsQuietly();
    wchar_t buffer[32 * 4 + 1] = {}; // "a:\" and its NUL for each of 26 letters, and the last NUL
    const DWORD length = ::GetLogicalDriveStringsW(DWORD(std::size(buffer)), buffer);
    if (length == 0 || length > std::size(buffer))
        return {};
    QList<DriveInfo> drives;
    for (const wchar_t *p = buffer; *p != 0; p += wcslen(p) + 1) {
        const unsigned type = ::GetDriveTypeW(p);
        if (groupOf(type) >= 0)
            drives.append({QString::fromWCharArray(p, 2), type, {}, 0});
    }
    // A disk that does not answer must not hold up the list: each is asked on a thread of its
    // own, and one still busy at the deadline is left to finish on its own. A drive whose
    // earlier question is still unanswered is not asked again, so a dead disk holds one
    // thread at most.
    static std::mutex busyMutex;
    static QSet<QString> busy;
    std::vector<std::future<Identity>> answers;
    for (const DriveInfo &d : drives) {
        const std::lock_guard lock(busyMutex);
        if (busy.contains(d.root)) {
            answers.emplace_back(); // no answer to wait for
            continue;
        }
        busy.insert(d.root);
        auto promise = std::make_shared<std::promise<Identity>>();
        answers.push_back(promise->get_future());
        std::thread([promise, root = d.root] {
            const Identity identity = identityOf(root);
            {
                const std::lock_guard lock(busyMutex);
                busy.remove(root);
            }
            promise->set_value(identity);
        }).detach();
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    for (qsizetype i = 0; i < drives.size(); ++i) {
        if (!answers[size_t(i)].valid() || answers[size_t(i)].wait_until(deadline) != std::future_status::ready)
            continue;
        const Identity identity = answers[size_t(i)].get();
        drives[i].label = identity.label;
        drives[i].serial = identity.serial;
    }
    return volumesFromDrives(drives);
}

bool isMountedAt(const QString &root, dev_t device)
{
    failCriticalErrorsQuietly();
    return device != 0 && identityOf(root).serial == quint32(device);
}

} // namespace platform
