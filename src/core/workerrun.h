#pragma once
// The one way the program's workers run in the background: a thread of their own, a stop flag
// of their own, and results handed back to the owner's thread only while the run is current.

#include <atomic>
#include <functional>
#include <thread>

#include <QObject>

// One background run at a time on behalf of a QObject on the UI thread; every worker object is
// made of one. Not for use across objects: the stop flag belongs to this object alone.
class WorkerRun {
public:
    explicit WorkerRun(QObject* owner) : m_owner(owner) {}
    ~WorkerRun() { stop(); }
    WorkerRun(const WorkerRun&) = delete;
    WorkerRun& operator=(const WorkerRun&) = delete;

    using Deliver = std::function<void(std::function<void()>)>;
    // Stops a running run, then calls `work` on a new thread. The run reads `stop` often and
    // hands its results to `deliver`, which runs them on the owner's thread if this run is still
    // the current one by then.
    void start(std::function<void(const std::atomic<bool>& stop, const Deliver& deliver)> work);
    // Sets the stop flag and waits for the thread; drops whatever the run had queued.
    void stop();
    // True from start() until the thread has ended (whether or not its results were delivered).
    bool isRunning() const { return m_thread.joinable() && !m_ended.load(); }

private:
    QObject* m_owner;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_ended{true};
    quint64 m_serial = 0; // UI thread only: which run's deliveries are still wanted
};
