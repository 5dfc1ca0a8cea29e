// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include "FileFunctions.h"

namespace platform {

class DiskWorker;

// Another set of file functions, each call made on the disk worker: a volume that does not
// answer in time fails the call with VolumeNotAnswering instead of stalling the caller.
class WorkerFileFunctions final : public FileFunctions
{
public:
    WorkerFileFunctions(FileFunctions &files, DiskWorker &worker) : m_files(files), m_worker(worker) {}

    Status setAttributes(const VolumeEntry &file, FileAttributes attributes) override;
    Status deleteFile(const VolumeEntry &file) override;
    Result<QString> lookup(const VolumeEntry &file) override;
    Result<QByteArray> readPrefix(const VolumeEntry &file, qsizetype limit) override;

private:
    FileFunctions &m_files;
    DiskWorker &m_worker;
};

// The volume a path is on: its directory, the volume's root.
QString volumeOf(const QString &path);
// Where the disk worker queues the calls on `file` and holds them while one is stuck: its
// volume's root and what tells the volume there now from another mounted there before it,
// so that a stuck call holds up only its own volume.
QString laneOf(const VolumeEntry &file);

} // namespace platform
