#include "core/workerrun.h"

#include <utility>

#include <QMetaObject>

void WorkerRun::start(std::function<void(const std::atomic<bool>& stop, const Deliver& deliver)> work)
{
    stop();
    m_stop.store(false);
    m_ended.store(false);
    const quint64 serial = ++m_serial;
    Deliver deliver = [this, serial](std::function<void()> result) {
        // Runs on the owner's thread, where m_serial lives; a later stop() or start() changed it.
        QMetaObject::invokeMethod(
            m_owner,
            [this, serial, result = std::move(result)] {
                if (serial == m_serial)
                    result();
            },
            Qt::QueuedConnection);
    };
    m_thread = std::thread([this, work = std::move(work), deliver = std::move(deliver)] {
        work(m_stop, deliver);
        m_ended.store(true);
    });
}

void WorkerRun::stop()
{
    ++m_serial;
    if (m_thread.joinable()) {
        m_stop.store(true);
        m_thread.join();
    }
}
