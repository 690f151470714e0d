#pragma once
// WorkerRun: the one way the program's workers run in the background, on the executor
// (core/executor.h). A run is one or more tasks sharing a RunToken: a stop flag and the
// generation the owner gave it. Results go back to the owner's thread through the token and are
// applied only while the run is current: once stop() or the next start() returned, nothing of
// the earlier run arrives, even what it had already queued.
//
// The owner (a QObject on the UI thread) drives it from its own thread: start(), stop(),
// finish() and the destructor belong there. stop() sets the flag and waits for the tasks that
// began; tasks that had not begun never do. Tasks never wait for the owner's thread, so waiting
// cannot deadlock.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include <QtGlobal>

#include "core/executor.h"

class QObject;

class RunToken {
public:
    // True once the run was stopped: the task returns as soon as it can.
    bool stopRequested() const;
    // The flag itself, for code that polls it (a decoder's cancel flag, the directory reader).
    const std::atomic<bool>* stopFlag() const;
    // The generation the owner gave start(); results carry it back.
    quint64 generation() const;
    // Runs `result` on the owner's thread, unless the run is no longer current by then.
    void deliver(std::function<void()> result) const;

private:
    friend class WorkerRun;
    struct State;
    explicit RunToken(std::shared_ptr<State> state) : m_state(std::move(state)) {}
    std::shared_ptr<State> m_state;
};

class WorkerRun {
public:
    // A task; it reads the token's stop flag often.
    using Task = std::function<void(const RunToken& token)>;
    // A task that does a share of its work per call and answers whether there is more: it is
    // then queued again behind the tasks of other workers instead of holding its thread.
    using Step = std::function<bool(const RunToken& token)>;

    explicit WorkerRun(QObject* owner, executor::Priority priority = executor::Priority::Interactive);
    ~WorkerRun();
    WorkerRun(const WorkerRun&) = delete;
    WorkerRun& operator=(const WorkerRun&) = delete;

    // Stops the current run, then runs `task` `count` times at once as a new run.
    void start(quint64 generation, Task task, int count = 1);
    void startSteps(quint64 generation, Step step, int count = 1);
    // Adds one task to the current run, which stays current; without one (or after stop()) it
    // begins a new run of that generation. For workers fed one request at a time.
    void add(quint64 generation, Task task);
    // Sets the stop flag, keeps the tasks that have not begun from beginning and waits for those
    // under way. Nothing more of this run is delivered.
    void stop();
    // Lets the current run end by itself: tasks that have not begun run here, on the calling
    // thread, and those under way are waited for. Its results are still delivered.
    void finish();
    // True from start() until every task of the run has ended (delivered or not) or was stopped.
    bool isRunning() const;
    quint64 generation() const;

private:
    using State = std::shared_ptr<RunToken::State>;
    using SharedStep = std::shared_ptr<const Step>;
    void begin(quint64 generation);
    static SharedStep once(Task task);
    // Puts a step in the run's queue and asks the pool for a thread to take it.
    static void queueStep(const State& state, SharedStep step);
    static void runQueuedStep(const State& state);
    // Runs one queued step (and its further shares) on the calling thread; false when none was
    // queued. The lock is released meanwhile.
    static bool runQueuedStepHere(const State& state, std::unique_lock<std::mutex>& lock);

    QObject* m_owner;
    executor::Priority m_priority;
    std::shared_ptr<RunToken::State> m_state;
};
