// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include <QFuture>
#include <QHash>
#include <QObject>
#include <QPromise>
#include <QString>

#include <atomic>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace platform {

class DiskLane;
struct DiskJob;

// Runs the system calls that reach a volume on a thread of their own, one at a time and in
// the order they were asked for, and waits for each in a local event loop: the window
// goes on painting and taking input while a disk takes its time. A volume that does not
// answer by the deadline counts as not ready; its late answer is discarded, and until its
// stuck call returns every further call on that volume fails at once, so a dead disk never
// piles up threads. The other volumes are served by a fresh thread meanwhile.
class DiskWorker : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DiskWorker)

public:
    // How long a volume may leave a call without answering any of its requests (each system
    // call the file functions make is one): a slow disk gets its answers, however slowly.
    static constexpr std::chrono::milliseconds kDeadline{5000};

    explicit DiskWorker(std::chrono::milliseconds deadline = kDeadline, QObject *parent = nullptr);
    // A thread still stuck in the kernel is left to the end of the process, never waited for.
    ~DiskWorker() override;

    // `call`'s result, or nothing when the volume `volume` did not answer in time, is still
    // stuck in an earlier call, or the program is ending. `volume` names the volume as the
    // caller tells volumes apart (WorkerFileFunctions: laneOf).
    template <typename T>
    std::optional<T> run(const QString &volume, std::function<T()> call);

    // Whether the program is ending: a call was waited for when every event loop was told
    // to return.
    [[nodiscard]] bool isEnding() const { return m_ending; }

    // Whether a call on `volume` is stuck past its deadline.
    [[nodiscard]] bool isStuck(const QString &volume) const { return m_stuck.contains(volume); }

private:
    // Exit codes of the local event loop; 0 is what every loop gets when the program ends.
    enum class Outcome { Answered = 1, TimedOut, Ending };

    // Queues `job` and waits until `answer`, its promised result, arrives.
    Outcome await(const QString &volume, const std::shared_ptr<DiskJob> &job, const QFuture<void> &answer);
    DiskLane &lane();
    void post(DiskLane &lane, const std::shared_ptr<DiskJob> &job);
    void retire(DiskLane *lane, const QString &volume);

    std::chrono::milliseconds m_deadline;
    DiskLane *m_lane = nullptr;         // where new calls go
    QList<DiskLane *> m_retired;        // lanes still stuck in a call
    QHash<QString, DiskLane *> m_stuck; // volumes whose call outlived its deadline, and where it runs
    bool m_ending = false;
};

// One call, shared between the window's thread and the worker that runs it.
struct DiskJob {
    enum State { Queued, Running, Done, Abandoned };

    QString volume;             // where its volume's calls queue
    DiskLane *lane = nullptr;   // where it is queued or runs; the window's thread alone sets it
    std::function<void()> call; // fulfils the caller's promise
    std::function<void()> drop; // ends the promise unfulfilled
    std::atomic<int> state{Queued};
    std::atomic<std::chrono::steady_clock::rep> heardAt{0}; // when the disk last answered it

    // The worker takes the job unless its caller gave up first.
    bool claim()
    {
        heard();
        int expected = Queued;
        return state.compare_exchange_strong(expected, Running);
    }
    // The disk answered one of the call's requests: a slow disk is not a dead one.
    void heard() { heardAt = std::chrono::steady_clock::now().time_since_epoch().count(); }
    // How long the call has waited for the disk since it was taken or last answered.
    [[nodiscard]] std::chrono::steady_clock::duration silentFor() const
    {
        return std::chrono::steady_clock::now().time_since_epoch() - std::chrono::steady_clock::duration(heardAt);
    }
    // The caller gives up; true when the call is stuck in the worker.
    bool abandon()
    {
        int expected = Queued;
        if (state.compare_exchange_strong(expected, Abandoned))
            return false;
        expected = Running;
        return state.compare_exchange_strong(expected, Abandoned);
    }
};

template <typename T>
std::optional<T> DiskWorker::run(const QString &volume, std::function<T()> call)
{
    if (m_ending || isStuck(volume))
        return std::nullopt;
    auto promise = std::make_shared<QPromise<T>>();
    const QFuture<T> answer = promise->future();
    auto job = std::make_shared<DiskJob>();
    job->volume = volume;
    job->call = [promise, call = std::move(call)] {
        promise->start();
        promise->addResult(call());
        promise->finish();
    };
    job->drop = [promise] {
        promise->start();
        promise->finish();
    };
    if (await(job->volume, job, QFuture<void>(answer)) != Outcome::Answered || answer.resultCount() == 0)
        return std::nullopt;
    return answer.result();
}

} // namespace platform
