// The executor and its runs on a pool kept busy on purpose: tasks that never begin after a stop,
// deliveries dropped once a run is no longer current, finish() doing the waiting work itself,
// steps that make way and still end, and fanOut never waiting for a free thread.

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include <QObject>
#include <QTest>
#include <QThreadPool>

#include "core/executor.h"
#include "core/workerrun.h"
#include "postedevents.h"

namespace {

// Holds pool threads (all but `spare`) until released, so that the tasks queued meanwhile wait
// for the spare ones.
class PoolBlocker {
public:
    explicit PoolBlocker(int spare = 0)
    {
        const int threads = executor::pool().maxThreadCount() - spare;
        for (int i = 0; i < threads; ++i) {
            executor::pool().start(
                [this] {
                    std::unique_lock lock(m_mutex);
                    ++m_held;
                    m_changed.notify_all();
                    m_changed.wait(lock, [this] { return m_released; });
                    --m_held;
                    m_changed.notify_all();
                },
                int(executor::Priority::Interactive) + 1);
        }
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this, threads] { return m_held == threads; });
    }
    // Lets the held threads go and waits until none of them touches this object any more.
    ~PoolBlocker()
    {
        std::unique_lock lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_held == 0; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_held = 0;
    bool m_released = false;
};

} // namespace

class TestWorkerRun : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { executor::pool().waitForDone(); }
    void endOfRun_data();
    void endOfRun();
    void stepsMakeWayAndEnd();
    void addedTasksJoinTheCurrentRun();
    void fanOutNeverWaitsForAThread_data();
    void fanOutNeverWaitsForAThread();
};

void TestWorkerRun::endOfRun_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("ranHere");   // tasks run on the calling thread
    QTest::addColumn<int>("delivered"); // results that reach the owner
    // Three tasks queued behind a busy pool, none begun.
    QTest::newRow("stop") << "stop" << 0 << 0;
    QTest::newRow("restart") << "restart" << 0 << 1; // only the new run's one task
    QTest::newRow("finish") << "finish" << 3 << 3;
    QTest::newRow("destroy") << "destroy" << 0 << 0;
}

void TestWorkerRun::endOfRun()
{
    QFETCH(QString, how);
    QFETCH(int, ranHere);
    QFETCH(int, delivered);
    QObject owner;
    auto run = std::make_unique<WorkerRun>(&owner);
    std::atomic<int> here{0};
    std::atomic<int> ran{0};
    std::vector<quint64> results;
    const std::thread::id caller = std::this_thread::get_id();
    const auto task = [&](const RunToken& token) {
        ++ran;
        if (std::this_thread::get_id() == caller)
            ++here;
        token.deliver([&results, generation = token.generation()] { results.push_back(generation); });
    };
    {
        PoolBlocker blocker;
        run->start(1, task, 3);
        QVERIFY(run->isRunning());
        if (how == QLatin1String("stop"))
            run->stop();
        else if (how == QLatin1String("restart"))
            run->start(2, task, 1);
        else if (how == QLatin1String("finish"))
            run->finish();
        else
            run.reset();
        QCOMPARE(here.load(), ranHere);
    }
    if (how == QLatin1String("restart")) {
        QTRY_COMPARE(results.size(), std::size_t(1));
        QCOMPARE(results.front(), quint64(2));
    }
    executor::pool().waitForDone();
    deliverPostedEvents();
    QCOMPARE(int(results.size()), delivered);
    QCOMPARE(ran.load(), how == QLatin1String("restart") ? 1 : ranHere);
    if (run)
        QCOMPARE(run->isRunning(), false);
}

void TestWorkerRun::stepsMakeWayAndEnd()
{
    QObject owner;
    WorkerRun run(&owner, executor::Priority::Bulk);
    std::atomic<int> steps{0};
    std::atomic<bool> otherRan{false};
    std::atomic<bool> otherBeforeEnd{false};
    {
        // One thread for both: a task queued after the first step runs before the last one.
        PoolBlocker blocker(1);
        run.startSteps(
            7,
            [&](const RunToken&) {
                if (++steps == 1)
                    executor::pool().start([&] { otherRan = true; }, int(executor::Priority::Bulk));
                if (steps == 100)
                    otherBeforeEnd = otherRan.load();
                return steps < 100;
            },
            1);
        QTRY_VERIFY(!run.isRunning());
    }
    QCOMPARE(steps.load(), 100);
    QVERIFY(otherBeforeEnd);

    // Stopped half-way, it takes no further step.
    std::atomic<bool> stopping{false};
    std::atomic<int> afterStop{0};
    run.startSteps(
        8,
        [&](const RunToken&) {
            if (stopping)
                ++afterStop;
            return true;
        },
        2);
    stopping = true;
    run.stop();
    const int seen = afterStop.load();
    executor::pool().waitForDone();
    QCOMPARE(afterStop.load(), seen);
}

void TestWorkerRun::addedTasksJoinTheCurrentRun()
{
    QObject owner;
    WorkerRun run(&owner);
    std::vector<quint64> results;
    const auto task = [&results](const RunToken& token) {
        token.deliver([&results, generation = token.generation()] { results.push_back(generation); });
    };
    run.add(1, task);
    run.add(2, task); // joins the run under way, whose generation it takes
    QTRY_COMPARE(results.size(), std::size_t(2));
    QCOMPARE(results, (std::vector<quint64>{1, 1}));
    // Still current once its tasks ended: a later one joins it too.
    run.add(5, task);
    QTRY_COMPARE(results.size(), std::size_t(3));
    QCOMPARE(results.back(), quint64(1));
    // After a stop a new run begins.
    run.stop();
    run.add(3, task);
    QTRY_COMPARE(results.size(), std::size_t(4));
    QCOMPARE(results.back(), quint64(3));
}

void TestWorkerRun::fanOutNeverWaitsForAThread_data()
{
    QTest::addColumn<bool>("busyPool");
    QTest::addColumn<int>("helpers");
    QTest::newRow("free pool") << false << 3;
    QTest::newRow("busy pool: the caller does it all") << true << 3;
    QTest::newRow("no helpers") << false << 0;
}

void TestWorkerRun::fanOutNeverWaitsForAThread()
{
    QFETCH(bool, busyPool);
    QFETCH(int, helpers);
    std::unique_ptr<PoolBlocker> blocker;
    if (busyPool)
        blocker = std::make_unique<PoolBlocker>();
    constexpr int kChunks = 1000;
    std::vector<int> done(kChunks, 0);
    std::atomic<int> next{0};
    std::mutex mutex;
    std::set<std::thread::id> threads;
    executor::fanOut(helpers, [&] {
        for (int chunk = next++; chunk < kChunks; chunk = next++) {
            ++done[std::size_t(chunk)];
            const std::lock_guard lock(mutex);
            threads.insert(std::this_thread::get_id());
        }
    });
    // Every chunk once, and the helpers that began late touched nothing after the return.
    QVERIFY(std::all_of(done.begin(), done.end(), [](int count) { return count == 1; }));
    if (busyPool)
        QCOMPARE(threads.size(), std::size_t(1));
    blocker.reset();
    executor::pool().waitForDone();
    QVERIFY(std::all_of(done.begin(), done.end(), [](int count) { return count == 1; }));
}

QTEST_GUILESS_MAIN(TestWorkerRun)
#include "tst_workerrun.moc"
