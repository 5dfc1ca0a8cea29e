// SPDX-License-Identifier: LicenseRef-proprietary
#include "WorkerFileFunctions.h"

#include "DiskWorker.h"

namespace platform {

namespace {
template <typename T>
Result<T> answerOf(const std::optional<Result<T>> &answer)
{
    return answer ? *answer : Result<T>::failure(Status::VolumeNotAnswering);
}
} // namespace

QString volumeOf(const QString &path)
{
#ifdef Q_OS_WIN
    const qsizetype slash = qMax(path.lastIndexOf(u'\\'), path.lastIndexOf(u'/'));
#else
    const qsizetype slash = path.lastIndexOf(u'/');
#endif
    return slash <= 0 ? path.left(slash + 1) : path.left(slash);
}

Status WorkerFileFunctions::setAttributes(const QString &path, FileAttributes attributes)
{
    FileFunctions *files = &m_files;
    const std::optional<Status> answer = m_worker.run<Status>(
        volumeOf(path), [files, path, attributes] { return files->setAttributes(path, attributes); });
    return answer.value_or(Status::VolumeNotAnswering);
}

Status WorkerFileFunctions::deleteFile(const QString &path)
{
    FileFunctions *files = &m_files;
    const std::optional<Status> answer =
        m_worker.run<Status>(volumeOf(path), [files, path] { return files->deleteFile(path); });
    return answer.value_or(Status::VolumeNotAnswering);
}

Result<QString> WorkerFileFunctions::lookup(const QString &path)
{
    FileFunctions *files = &m_files;
    return answerOf(m_worker.run<Result<QString>>(volumeOf(path), [files, path] { return files->lookup(path); }));
}

Result<QByteArray> WorkerFileFunctions::readPrefix(const QString &path, qsizetype limit)
{
    FileFunctions *files = &m_files;
    return answerOf(m_worker.run<Result<QByteArray>>(volumeOf(path),
                                                     [files, path, limit] { return files->readPrefix(path, limit); }));
}

} // namespace platform
