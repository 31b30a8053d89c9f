#include "WorkerPool.h"

#include <chrono>

namespace halvio::tools {

namespace {

// A worker beyond the minimum that found nothing to do for this long leaves: a burst of slow clients
// does not keep its threads for the life of the service.
constexpr auto kIdleWorkerLife = std::chrono::seconds(10);

} // namespace

WorkerPool::WorkerPool(std::size_t minWorkers, std::size_t maxWorkers)
    : m_minWorkers(minWorkers), m_maxWorkers(maxWorkers < minWorkers ? minWorkers : maxWorkers) {
    const std::lock_guard lock(m_mutex);
    for (std::size_t i = 0; i < m_minWorkers; ++i)
        startWorker();
}

WorkerPool::~WorkerPool() {
    shutdown();
}

void WorkerPool::enqueue(std::function<void()> task) {
    {
        const std::lock_guard lock(m_mutex);
        if (m_stopping)
            return;
        m_tasks.push_back(std::move(task));
        // Only idle workers can take the task now; a queued task behind busy ones waits for a slow client.
        if (m_idle < m_tasks.size() && m_workers.size() < m_maxWorkers)
            startWorker();
    }
    m_wake.notify_one();
    joinFinished();
}

void WorkerPool::shutdown() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    std::list<std::thread> workers;
    {
        const std::lock_guard lock(m_mutex);
        workers.swap(m_workers);
    }
    for (std::thread& worker : workers)
        if (worker.joinable())
            worker.join();
    joinFinished();
}

std::size_t WorkerPool::workerCount() const {
    const std::lock_guard lock(m_mutex);
    return m_workers.size();
}

// Called with m_mutex held.
void WorkerPool::startWorker() {
    m_workers.emplace_back();
    const auto self = std::prev(m_workers.end());
    *self = std::thread([this, self] { work(self); });
}

void WorkerPool::work(std::list<std::thread>::iterator self) {
    std::unique_lock lock(m_mutex);
    for (;;) {
        ++m_idle;
        const bool woken =
            m_wake.wait_for(lock, kIdleWorkerLife, [this] { return m_stopping || !m_tasks.empty(); });
        --m_idle;
        if (m_tasks.empty()) {
            if (m_stopping)
                return;
            if (!woken && m_workers.size() > m_minWorkers) {
                // Moved aside to be joined by another thread: a thread cannot join itself.
                m_finished.splice(m_finished.end(), m_workers, self);
                return;
            }
            continue;
        }
        std::function<void()> task = std::move(m_tasks.front());
        m_tasks.pop_front();
        lock.unlock();
        task();
        lock.lock();
    }
}

void WorkerPool::joinFinished() {
    std::list<std::thread> finished;
    {
        const std::lock_guard lock(m_mutex);
        finished.swap(m_finished);
    }
    for (std::thread& worker : finished)
        worker.join();
}

} // namespace halvio::tools
