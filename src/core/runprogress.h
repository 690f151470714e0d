#pragma once
// What a long background run (a copy or move, an erase) has done so far, and its Cancel: the worker
// writes it, the progress window reads it, any thread cancels it.

#include <atomic>
#include <mutex>

#include <QString>

class RunProgress {
public:
    struct Snapshot {
        QString item; // the item being worked on now
        qint64 done = 0;
        qint64 total = 0;
    };

    void setItem(const QString& item)
    {
        const std::lock_guard lock(m_mutex);
        m_item = item;
    }
    void addTotal(qint64 bytes) { m_total.fetch_add(bytes, std::memory_order_relaxed); }
    void addDone(qint64 bytes) { m_done.fetch_add(bytes, std::memory_order_relaxed); }
    Snapshot snapshot() const
    {
        const std::lock_guard lock(m_mutex);
        return {m_item, m_done.load(std::memory_order_relaxed), m_total.load(std::memory_order_relaxed)};
    }

    void cancel() { m_cancel.store(true); }
    bool cancelled() const { return m_cancel.load(); }

private:
    mutable std::mutex m_mutex;
    QString m_item;
    std::atomic<qint64> m_done{0};
    std::atomic<qint64> m_total{0};
    std::atomic<bool> m_cancel{false};
};
