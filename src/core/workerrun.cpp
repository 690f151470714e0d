#include "core/workerrun.h"

#include <condition_variable>
#include <utility>

#include <QMetaObject>
#include <QObject>
#include <QThreadPool>

// What the tasks of one run share. The counters are guarded by the mutex; `retired` belongs to
// the owner's thread, where deliveries run.
struct RunToken::State {
    QObject* owner = nullptr;
    quint64 generation = 0;
    executor::Priority priority = executor::Priority::Interactive;
    WorkerRun::Step step;
    std::atomic<bool> stop{false};
    bool retired = false;

    std::mutex mutex;
    std::condition_variable ended;
    int waiting = 0; // tasks queued that have not begun
    int active = 0;  // tasks under way
};

// ---- RunToken ------------------------------------------------------------------------------------

bool RunToken::stopRequested() const
{
    return m_state->stop.load(std::memory_order_relaxed);
}

const std::atomic<bool>* RunToken::stopFlag() const
{
    return &m_state->stop;
}

quint64 RunToken::generation() const
{
    return m_state->generation;
}

void RunToken::deliver(std::function<void()> result) const
{
    // The owner outlives every task: its WorkerRun stops them before it goes.
    QMetaObject::invokeMethod(
        m_state->owner,
        [state = m_state, result = std::move(result)] {
            if (!state->retired)
                result();
        },
        Qt::QueuedConnection);
}

// ---- WorkerRun -----------------------------------------------------------------------------------

WorkerRun::WorkerRun(QObject* owner, executor::Priority priority) : m_owner(owner), m_priority(priority) {}

WorkerRun::~WorkerRun()
{
    stop();
}

void WorkerRun::start(quint64 generation, Task task, int count)
{
    launch(
        generation,
        [task = std::move(task)](const RunToken& token) {
            task(token);
            return false;
        },
        count);
}

void WorkerRun::startSteps(quint64 generation, Step step, int count)
{
    launch(generation, std::move(step), count);
}

void WorkerRun::launch(quint64 generation, Step step, int count)
{
    stop();
    m_state = std::make_shared<RunToken::State>();
    m_state->owner = m_owner;
    m_state->generation = generation;
    m_state->priority = m_priority;
    m_state->step = std::move(step);
    m_state->waiting = count;
    for (int i = 0; i < count; ++i)
        queueTask(m_state);
}

void WorkerRun::queueTask(const State& state)
{
    executor::pool().start([state] { runTask(state); }, int(state->priority));
}

// A task on a pool thread begins only if the run still wants one, and is queued again while its
// step has more to do.
void WorkerRun::runTask(const State& state)
{
    {
        const std::lock_guard lock(state->mutex);
        if (state->waiting == 0)
            return;
        --state->waiting;
        ++state->active;
    }
    const bool more = !state->stop.load() && state->step(RunToken(state));
    bool again = false;
    {
        const std::lock_guard lock(state->mutex);
        --state->active;
        again = more && !state->stop.load();
        if (again)
            ++state->waiting;
        state->ended.notify_all();
    }
    if (again)
        queueTask(state);
}

void WorkerRun::stop()
{
    if (!m_state)
        return;
    m_state->retired = true;
    std::unique_lock lock(m_state->mutex);
    m_state->stop.store(true);
    m_state->waiting = 0;
    m_state->ended.wait(lock, [this] { return m_state->active == 0; });
}

bool WorkerRun::runWaitingTaskHere(const State& state, std::unique_lock<std::mutex>& lock)
{
    if (state->waiting == 0)
        return false;
    --state->waiting;
    ++state->active;
    lock.unlock();
    const RunToken token(state);
    while (!state->stop.load() && state->step(token)) {
    }
    lock.lock();
    --state->active;
    return true;
}

void WorkerRun::finish()
{
    if (!m_state)
        return;
    std::unique_lock lock(m_state->mutex);
    // A task under way may queue itself again while it is waited for: it then runs here too.
    for (;;) {
        if (runWaitingTaskHere(m_state, lock))
            continue;
        if (m_state->active == 0)
            return;
        m_state->ended.wait(lock);
    }
}

bool WorkerRun::isRunning() const
{
    if (!m_state || m_state->retired)
        return false;
    const std::lock_guard lock(m_state->mutex);
    return m_state->waiting + m_state->active > 0;
}

quint64 WorkerRun::generation() const
{
    return m_state ? m_state->generation : 0;
}
