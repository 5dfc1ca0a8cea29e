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

QString laneOf(const VolumeEntry &file)
{
    return volumeOf(file.path) + u'\n' + QString::number(file.volume);
}

Status WorkerFileFunctions::setAttributes(const VolumeEntry &file, FileAttributes attributes)
{
    FileFunctions *files = &m_files;
    const std::optional<Status> answer = m_worker.run<Status>(
        laneOf(file), [files, file, attributes] { return files->setAttributes(file, attributes); });
    return answer.value_or(Status::VolumeNotAnswering);
}

Status WorkerFileFunctions::deleteFile(const VolumeEntry &file)
{
    FileFunctions *files = &m_files;
    const std::optional<Status> answer =
        m_worker.run<Status>(laneOf(file), [files, file] { return files->deleteFile(file); });
    return answer.value_or(Status::VolumeNotAnswering);
}

Result<QString> WorkerFileFunctions::lookup(const VolumeEntry &file)
{
    FileFunctions *files = &m_files;
    return answerOf(m_worker.run<Result<QString>>(laneOf(file), [files, file] { return files->lookup(file); }));
}

Result<QByteArray> WorkerFileFunctions::readPrefix(const VolumeEntry &file, qsizetype limit)
{
    FileFunctions *files = &m_files;
    return answerOf(m_worker.run<Result<QByteArray>>(laneOf(file),
                                                     [files, file, limit] { return files->readPrefix(file, limit); }));
}

} // namespace platform
