#include "core/executor.h"

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>

#include <QThread>
#include <QThreadPool>

namespace executor {

namespace {

// Beyond the cores: room for the workers that mostly wait for the disk while others decode.
constexpr int kThreadsBeyondCores = 2;

} // namespace

int cores()
{
    return std::max(1, QThread::idealThreadCount());
}

QThreadPool& pool()
{
    // Like Qt's global pool, it goes at exit, once every worker has stopped.
    static QThreadPool threads;
    static const bool sized = [] {
        threads.setMaxThreadCount(cores() + kThreadsBeyondCores);
        return true;
    }();
    Q_UNUSED(sized);
    return threads;
}

void fanOut(int helpers, const std::function<void()>& job)
{
    struct Share {
        std::mutex mutex;
        std::condition_variable ended;
        bool closed = false;
        int active = 0;
        const std::function<void()>* job = nullptr;
    };
    auto share = std::make_shared<Share>();
    share->job = &job;
    for (int i = 0; i < helpers; ++i) {
        pool().start(
            [share] {
                {
                    const std::lock_guard lock(share->mutex);
                    if (share->closed)
                        return;
                    ++share->active;
                }
                (*share->job)();
                const std::lock_guard lock(share->mutex);
                --share->active;
                share->ended.notify_all();
            },
            int(Priority::Interactive));
    }
    job();
    std::unique_lock lock(share->mutex);
    share->closed = true;
    share->ended.wait(lock, [&] { return share->active == 0; });
}

} // namespace executor
