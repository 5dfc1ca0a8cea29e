// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include "platform/FileFunctions.h"

namespace platform {

class DiskWorker;

// Another set of file functions, each call made on the disk worker: a volume that does not
// answer in time fails the call with VolumeNotAnswering instead of stalling the caller.
class WorkerFileFunctions final : public FileFunctions
{
public:
    WorkerFileFunctions(FileFunctions &files, DiskWorker &worker) : m_files(files), m_worker(worker) {}

    Status setAttributes(const QString &path, FileAttributes attributes) override;
    Status deleteFile(const QString &path) override;
    Result<QString> lookup(const QString &path) override;
    Result<QByteArray> readPrefix(const QString &path, qsizetype limit) override;

private:
    FileFunctions &m_files;
    DiskWorker &m_worker;
};

// The volume a path is on, as the disk worker tells volumes apart: its directory, the
// volume's root.
QString volumeOf(const QString &path);

} // namespace platform
