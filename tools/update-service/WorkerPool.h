#pragma once
// The task queue of one cpp-httplib server: each accepted connection is a task that holds its worker
// until the connection ends. A fixed pool lets a handful of clients that trickle their request (or
// read their reply slowly) take every worker, so that nobody else is answered; this pool starts
// another worker whenever every worker is busy, up to a bound, and lets a worker idle for a while go.

#include <httplib.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <list>
#include <mutex>
#include <thread>

namespace halvio::tools {

class WorkerPool : public httplib::TaskQueue {
public:
    // minWorkers are started at once and kept; the pool never holds more than maxWorkers.
    WorkerPool(std::size_t minWorkers, std::size_t maxWorkers);
    ~WorkerPool() override;
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    void enqueue(std::function<void()> task) override;
    // Runs the tasks already queued, then joins every worker.
    void shutdown() override;

    std::size_t workerCount() const;

private:
    void startWorker();
    void work(std::list<std::thread>::iterator self);
    void joinFinished();

    const std::size_t m_minWorkers;
    const std::size_t m_maxWorkers;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_tasks;
    std::list<std::thread> m_workers;
    std::list<std::thread> m_finished; // workers that left, joined by the next caller
    std::size_t m_idle = 0;
    bool m_stopping = false;
};

} // namespace halvio::tools
