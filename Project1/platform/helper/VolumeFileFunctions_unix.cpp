// SPDX-License-Identifier: LicenseRef-proprietary
#include "DiskProgress.h"
#include "DiskRequest_unix.h"
#include "Fd_unix.h"
#include "LocalFileFunctions.h"
#include "PathBytes_unix.h"
#include "VolumeFileFunctions.h"

#include "BuildConfig.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPromise>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <type_traits>
#include <unistd.h>

extern char **environ;

namespace platform {

namespace {

// Reaps a helper that was let go as soon as it ends, on a thread of its own: one stuck on a
// dead disk ends only when the kernel lets it, which may be never. Without a thread to
// spare, it is reaped now if it has ended.
void reapWhenEnded(pid_t pid)
{
    try {
        std::thread([pid] {
            while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (const std::system_error &) {
        ::waitpid(pid, nullptr, WNOHANG);
    }
}

// One helper process, started by the thread that asks it and used by that thread alone.
class HelperProcess
{
public:
    // Started with posix_spawn, not QProcess: a disk thread has no event loop, and
    // QProcess would reap the process in its own time.
    static std::unique_ptr<HelperProcess> start(const QByteArray &program)
    {
        int ends[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
            return nullptr;
        Fd mine(ends[0]);
        const Fd theirs(ends[1]);
        posix_spawn_file_actions_t actions;
        if (posix_spawn_file_actions_init(&actions) != 0)
            return nullptr;
        // Not the program's output: a helper stuck on a disk would hold a pipe open for
        // whoever reads it, a terminal's pipeline or a test runner.
        bool ready = posix_spawn_file_actions_adddup2(&actions, theirs.get(), STDIN_FILENO) == 0
            && posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0) == 0
            && posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0) == 0;
        const QByteArray parent = QByteArray::number(::getpid());
        char *argv[] = {const_cast<char *>(program.constData()), const_cast<char *>(parent.constData()), nullptr};
        pid_t pid = 0;
        ready = ready && ::posix_spawn(&pid, program.constData(), &actions, nullptr, argv, environ) == 0;
        posix_spawn_file_actions_destroy(&actions);
        if (!ready)
            return nullptr;
        return std::unique_ptr<HelperProcess>(new HelperProcess(std::move(mine), pid));
    }

    HelperProcess(const HelperProcess &) = delete;
    HelperProcess &operator=(const HelperProcess &) = delete;
    HelperProcess(HelperProcess &&) = delete;
    HelperProcess &operator=(HelperProcess &&) = delete;

    // The helper reads the end of its input and ends; one still stuck on a disk is killed,
    // and ends as soon as the kernel lets it.
    ~HelperProcess()
    {
        m_socket = Fd();
        ::kill(m_pid, SIGKILL);
        reapWhenEnded(m_pid);
    }

    // Whether the helper answers a handshake within `waitMs`: one whose mode says executable
    // may still not run (a truncated update, another architecture) or hang as it starts.
    bool answersHandshake(int waitMs)
    {
        if (!sendFrame(m_socket.get(), encodeRequest({DiskRequest::Operation::Handshake, {}})))
            return false;
        pollfd ready{m_socket.get(), POLLIN, 0};
        if (::poll(&ready, 1, waitMs) != 1)
            return false;
        const std::optional<QByteArray> frame = receiveFrame(m_socket.get());
        const std::optional<DiskAnswer> answer = frame ? decodeAnswer(*frame) : std::nullopt;
        return answer && answer->status == Status::Ok;
    }

    // The answer, after the empty frames that tell the disk answered one of the requests.
    std::optional<DiskAnswer> ask(const DiskRequest &request)
    {
        if (!sendFrame(m_socket.get(), encodeRequest(request)))
            return std::nullopt;
        for (;;) {
            const std::optional<QByteArray> frame = receiveFrame(m_socket.get());
            if (!frame || !frame->isEmpty())
                return frame ? decodeAnswer(*frame) : std::nullopt;
            diskProgress();
        }
    }

private:
    HelperProcess(Fd socket, pid_t pid) : m_socket(std::move(socket)), m_pid(pid) {}

    Fd m_socket;
    pid_t m_pid;
};

// Each disk thread's own helper, ended with the thread.
thread_local std::unique_ptr<HelperProcess> t_helper;

class HelperFileFunctions final : public FileFunctions
{
public:
    explicit HelperFileFunctions(QByteArray program) : m_program(std::move(program)) {}

    // Starts the first disk thread's helper ahead, so that its first call does not wait
    // for the helper to load.
    void prepare()
    {
        const std::lock_guard lock(m_spareMutex);
        if (!m_spare && !m_handedOut && !m_program.isEmpty())
            m_spare = HelperProcess::start(m_program);
    }

    Status setAttributes(const VolumeEntry &file, FileAttributes attributes) override
    {
        return viaHelper([&](FileFunctions &files) { return files.setAttributes(file, attributes); },
                         [&] {
                             return ask({DiskRequest::Operation::SetAttributes, file.path, 0, file.volume}).status;
                         });
    }
    Status deleteFile(const VolumeEntry &file) override
    {
        return viaHelper([&](FileFunctions &files) { return files.deleteFile(file); },
                         [&] {
                             return ask({DiskRequest::Operation::DeleteFile, file.path, 0, file.volume}).status;
                         });
    }
    Result<QString> lookup(const VolumeEntry &file) override
    {
        return viaHelper([&](FileFunctions &files) { return files.lookup(file); },
                         [&] {
                             DiskAnswer answer = ask({DiskRequest::Operation::Lookup, file.path, 0, file.volume});
                             return Result<QString>{std::move(answer.name), answer.status};
                         });
    }
    Result<QByteArray> readPrefix(const VolumeEntry &file, qsizetype limit) override
    {
        return viaHelper(
            [&](FileFunctions &files) { return files.readPrefix(file, limit); },
            [&] {
                DiskAnswer answer = ask({DiskRequest::Operation::ReadPrefix, file.path, qint64(limit), file.volume});
                if (answer.bytes.size() > limit)
                    return Result<QByteArray>::failure(Status::IoError);
                return Result<QByteArray>{std::move(answer.bytes), answer.status};
            });
    }

private:
    // The call through the calling thread's helper, or in this process where there is none.
    template <typename InProcess, typename ThroughHelper>
    std::invoke_result_t<ThroughHelper> viaHelper(InProcess inProcess, ThroughHelper throughHelper)
    {
        return available() ? throughHelper() : inProcess(localFileFunctions());
    }
    // Whether the calling thread has a helper, starting one if it has none.
    bool available()
    {
        if (!t_helper && !m_program.isEmpty()) {
            const std::lock_guard lock(m_spareMutex);
            t_helper = m_spare ? std::move(m_spare) : HelperProcess::start(m_program);
            m_handedOut = true;
        }
        return t_helper != nullptr;
    }
    // A helper that breaks off (killed, crashed) is replaced, and the call made once more
    // through the new one: every call may be made again, a deletion too (the file is then
    // not found). One that breaks off again fails the call as a disk that did not answer:
    // whether the call was made is not known.
    DiskAnswer ask(const DiskRequest &request)
    {
        for (int attempt = 0; attempt < 2 && available(); ++attempt) {
            if (std::optional<DiskAnswer> answer = t_helper->ask(request))
                return *answer;
            t_helper.reset();
        }
        return DiskAnswer{Status::VolumeNotAnswering, {}, {}};
    }

    QByteArray m_program;
    std::mutex m_spareMutex;
    std::unique_ptr<HelperProcess> m_spare; // started ahead, for the first disk thread
    bool m_handedOut = false;               // a disk thread has had its helper
};

// The helper beside the program, in the build tree as in the installed one.
QString helperPath()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + u'/' + QStringLiteral(ORVANE_HELPER_FROM_PROGRAM));
}

// What keeps `program` from serving as the helper, or an empty string. Only the file is
// looked at unless `run`, which starts it once.
QString helperProblem(const QString &program, bool run = false)
{
    const QFileInfo helper(program);
    if (!helper.isFile() || !helper.isExecutable())
        return helper.exists() ? u"is not executable"_qs : u"is missing"_qs;
    if (!run)
        return {};
    // Longer than any start on a loaded machine; the helper touches no disk to answer.
    constexpr int kHandshakeWaitMs = 10'000;
    const std::unique_ptr<HelperProcess> started = HelperProcess::start(bytesFromPath(program));
    return started && started->answersHandshake(kHandshakeWaitMs) ? QString() : u"cannot run"_qs;
}

QByteArray helperProgram()
{
    if (!QCoreApplication::instance())
        return {};
    const QString program = helperPath();
    if (const QString problem = helperProblem(program); !problem.isEmpty()) {
        qWarning("orvane: %s %s; a dead disk may keep the program from ending", qPrintable(program),
                 qPrintable(problem));
        return {};
    }
    return bytesFromPath(QFileInfo(program).canonicalFilePath());
}

HelperFileFunctions &helperFileFunctions()
{
    static HelperFileFunctions files(helperProgram());
    return files;
}

} // namespace

FileFunctions &volumeFileFunctions()
{
    return helperFileFunctions();
}

void prepareVolumeAccess()
{
    helperFileFunctions().prepare();
}

QFuture<QString> volumeAccessWarning()
{
    if (!QCoreApplication::instance())
        return QtFuture::makeReadyFuture(QString());
    const QString program = helperPath();
    const auto warning = [program](const QString &problem) {
        return problem.isEmpty() ? QString()
                                 : u"Orvane's disk helper %1 %2. A disk that stops answering may keep Orvane from "
                                   u"ending until it answers."_qs.arg(program, problem);
    };
    if (const QString problem = helperProblem(program); !problem.isEmpty())
        return QtFuture::makeReadyFuture(warning(problem));
    auto promise = std::make_shared<QPromise<QString>>();
    QFuture<QString> answer = promise->future();
    promise->start();
    try {
        // A thread of its own, never waited for: the program may end before the helper answers.
        std::thread([promise, program, warning] {
            promise->addResult(warning(helperProblem(program, true)));
            promise->finish();
        }).detach();
    } catch (const std::system_error &) {
        promise->addResult(QString()); // not known; the calls say it should the helper not answer
        promise->finish();
    }
    return answer;
}

} // namespace platform
