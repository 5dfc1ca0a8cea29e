// SPDX-License-Identifier: LicenseRef-proprietary
#include "DiskWorker.h"

#include "DiskProgress.h"

#include <QEventLoop>
#include <QFutureWatcher>
#include <QThread>
#include <QTimer>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <utility>
#include <vector>

namespace platform {

// A thread that runs queued calls one after the other.
class DiskLane : public QThread
{
public:
    DiskLane() { setObjectName(QStringLiteral("disk")); }

    void enqueue(std::shared_ptr<DiskJob> job)
    {
        const std::lock_guard lock(m_mutex);
        m_queue.append(std::move(job));
        m_wake.notify_one();
    }
    // The calls not started yet, which this lane will no longer run.
    QList<std::shared_ptr<DiskJob>> takeQueued()
    {
        const std::lock_guard lock(m_mutex);
        return std::exchange(m_queue, {});
    }
    // Ends the thread once the current call, if any, returns.
    void stop()
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_wake.notify_one();
    }
    [[nodiscard]] bool busy() const { return m_busy.load(); }
    // Asks the system to give up the call the thread is in. Windows can break off a
    // synchronous I/O request where the driver allows it; elsewhere the call runs on.
    void cancelCall() const
    {
#ifdef Q_OS_WIN
        if (HANDLE thread = ::OpenThread(THREAD_TERMINATE, FALSE, m_threadId.load())) {
            ::CancelSynchronousIo(thread);
            ::CloseHandle(thread);
        }
#endif
    }

protected:
    void run() override
    {
#ifdef Q_OS_WIN
        m_threadId = ::GetCurrentThreadId();
#endif
        for (;;) {
            std::shared_ptr<DiskJob> job;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [this] { return !m_queue.isEmpty() || m_stopping; });
                if (m_queue.isEmpty())
                    return;
                job = m_queue.takeFirst();
                if (!job->claim())
                    continue;
                m_busy = true;
            }
            const std::function<void()> hear = [job] { job->heard(); };
            setDiskProgress(&hear);
            job->call();
            setDiskProgress(nullptr);
            m_busy = false;
            int running = DiskJob::Running;
            if (!job->state.compare_exchange_strong(running, DiskJob::Done))
                return; // its caller gave up on it: the lane was retired meanwhile
        }
    }

private:
    // The standard ones, which a thread sanitizer sees through.
    std::mutex m_mutex;
    std::condition_variable m_wake;
    QList<std::shared_ptr<DiskJob>> m_queue;
    bool m_stopping = false;
    std::atomic<bool> m_busy{false};
#ifdef Q_OS_WIN
    std::atomic<DWORD> m_threadId{0};
#endif
};

namespace {
// Lanes stuck in the kernel when their worker went: the end of the process ends them.
// Kept reachable, so that a leak checker does not report them.
std::vector<DiskLane *> &leftToTheEnd()
{
    static auto *lanes = new std::vector<DiskLane *>;
    return *lanes;
}
} // namespace

DiskWorker::DiskWorker(std::chrono::milliseconds deadline, QObject *parent) : QObject(parent), m_deadline(deadline) {}

DiskWorker::~DiskWorker()
{
    QList<DiskLane *> lanes = m_retired;
    if (m_lane)
        lanes.append(m_lane);
    for (DiskLane *lane : lanes) {
        disconnect(lane, nullptr, this, nullptr);
        for (const std::shared_ptr<DiskJob> &job : lane->takeQueued())
            job->abandon();
        lane->stop();
        lane->cancelCall();
        if (lane->busy()) {
            leftToTheEnd().push_back(lane);
        } else {
            lane->wait();
            delete lane;
        }
    }
}

DiskLane &DiskWorker::lane()
{
    if (!m_lane) {
        m_lane = new DiskLane;
        m_lane->start();
    }
    return *m_lane;
}

void DiskWorker::post(DiskLane &lane, const std::shared_ptr<DiskJob> &job)
{
    job->lane = &lane;
    lane.enqueue(job);
}

DiskWorker::Outcome DiskWorker::await(const QString &volume, const std::shared_ptr<DiskJob> &job,
                                      const QFuture<void> &answer)
{
    QEventLoop loop;
    QFutureWatcher<void> finished;
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer); // a coarse one may give a dead disk 5 % more
    connect(&finished, &QFutureWatcherBase::finished, &loop, [&loop] { loop.exit(int(Outcome::Answered)); });
    connect(&deadline, &QTimer::timeout, &loop, [&] {
        if (answer.isFinished())
            return loop.exit(int(Outcome::Answered)); // answered just in time; the news is on its way
        // The deadline counts from when the volume was asked: a call still waiting behind
        // another is not this volume's delay, and that other call's own deadline moves it on.
        if (job->state == DiskJob::Queued)
            return deadline.start(m_deadline);
        if (const auto silent = job->silentFor(); job->state == DiskJob::Running && silent < m_deadline)
            return deadline.start(std::chrono::ceil<std::chrono::milliseconds>(m_deadline - silent));
        if (job->abandon()) {
            retire(job->lane, volume); // where it ran: it may have been moved from where it was posted
            return loop.exit(int(Outcome::TimedOut));
        }
        // Done since the look above: the answer is there.
        loop.exit(int(job->state == DiskJob::Done ? Outcome::Answered : Outcome::TimedOut));
    });
    finished.setFuture(answer);
    post(lane(), job);
    deadline.start(m_deadline);
    const int outcome = loop.exec();
    if (outcome == int(Outcome::Answered) || outcome == int(Outcome::TimedOut))
        return Outcome(outcome);
    // The program is ending: every event loop was told to return.
    m_ending = true;
    job->abandon();
    return Outcome::Ending;
}

void DiskWorker::retire(DiskLane *stuck, const QString &volume)
{
    m_stuck.insert(volume, stuck);
    const bool current = stuck == m_lane;
    if (current) {
        m_lane = nullptr;
        m_retired.append(stuck);
    }
    // What waited behind the stuck call moves to a fresh lane, in its order; what waited for
    // the same volume ends unanswered.
    for (const std::shared_ptr<DiskJob> &job : stuck->takeQueued()) {
        if (m_stuck.contains(job->volume)) {
            if (!job->abandon())
                job->drop();
        } else {
            post(lane(), job);
        }
    }
    stuck->stop();
    stuck->cancelCall();
    if (!current)
        return; // already retired, and watched
    const auto gone = std::make_shared<bool>(false);
    const auto release = [this, stuck, gone] {
        if (std::exchange(*gone, true))
            return;
        m_retired.removeOne(stuck);
        m_stuck.removeIf([stuck](const auto &entry) { return entry.value() == stuck; });
        stuck->wait();
        delete stuck;
    };
    connect(stuck, &QThread::finished, this, release);
    // The call may have returned since it was given up on, and the thread ended before the
    // watch above: its signal is then missed, and the volume would stay stuck for good.
    if (stuck->isFinished())
        release();
}

} // namespace platform
