#include "core/workerrun.h"

#include <condition_variable>
#include <deque>
#include <utility>

#include <QMetaObject>
#include <QObject>
#include <QThreadPool>

// What the tasks of one run share. The queue and the count are guarded by the mutex; `retired`
// belongs to the owner's thread, where deliveries run.
struct RunToken::State {
    QObject* owner = nullptr;
    quint64 generation = 0;
    executor::Priority priority = executor::Priority::Interactive;
    std::atomic<bool> stop{false};
    bool retired = false;

    std::mutex mutex;
    std::condition_variable ended;
    std::deque<std::shared_ptr<const WorkerRun::Step>> queued; // steps that have not begun
    int active = 0;                                             // steps under way
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

WorkerRun::SharedStep WorkerRun::once(Task task)
{
    return std::make_shared<const Step>([task = std::move(task)](const RunToken& token) {
        task(token);
        return false;
    });
}

void WorkerRun::start(quint64 generation, Task task, int count)
{
    begin(generation);
    const SharedStep step = once(std::move(task));
    for (int i = 0; i < count; ++i)
        queueStep(m_state, step);
}

void WorkerRun::startSteps(quint64 generation, Step step, int count)
{
    begin(generation);
    const auto shared = std::make_shared<const Step>(std::move(step));
    for (int i = 0; i < count; ++i)
        queueStep(m_state, shared);
}

void WorkerRun::add(quint64 generation, Task task)
{
    if (!m_state || m_state->retired)
        begin(generation);
    queueStep(m_state, once(std::move(task)));
}

void WorkerRun::begin(quint64 generation)
{
    stop();
    m_state = std::make_shared<RunToken::State>();
    m_state->owner = m_owner;
    m_state->generation = generation;
    m_state->priority = m_priority;
}

void WorkerRun::queueStep(const State& state, SharedStep step)
{
    {
        const std::lock_guard lock(state->mutex);
        state->queued.push_back(std::move(step));
    }
    executor::pool().start([state] { runQueuedStep(state); }, int(state->priority));
}

// A pool thread takes the oldest step still queued, if the run still has one (finish() may
// have taken it, stop() dropped it), and queues it again while it has more to do.
void WorkerRun::runQueuedStep(const State& state)
{
    SharedStep step;
    {
        const std::lock_guard lock(state->mutex);
        if (state->queued.empty())
            return;
        step = std::move(state->queued.front());
        state->queued.pop_front();
        ++state->active;
    }
    const bool more = !state->stop.load() && (*step)(RunToken(state));
    bool again = false;
    {
        const std::lock_guard lock(state->mutex);
        --state->active;
        again = more && !state->stop.load();
        state->ended.notify_all();
    }
    if (again)
        queueStep(state, std::move(step));
}

void WorkerRun::stop()
{
    if (!m_state)
        return;
    m_state->retired = true;
    std::unique_lock lock(m_state->mutex);
    m_state->stop.store(true);
    m_state->queued.clear();
    m_state->ended.wait(lock, [this] { return m_state->active == 0; });
}

bool WorkerRun::runQueuedStepHere(const State& state, std::unique_lock<std::mutex>& lock)
{
    if (state->queued.empty())
        return false;
    const SharedStep step = std::move(state->queued.front());
    state->queued.pop_front();
    ++state->active;
    lock.unlock();
    const RunToken token(state);
    while (!state->stop.load() && (*step)(token)) {
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
    // A step under way may queue itself again while it is waited for: it then runs here too.
    for (;;) {
        if (runQueuedStepHere(m_state, lock))
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
    return !m_state->queued.empty() || m_state->active > 0;
}

quint64 WorkerRun::generation() const
{
    return m_state ? m_state->generation : 0;
}
