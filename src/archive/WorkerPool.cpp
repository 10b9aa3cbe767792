#include "archive/WorkerPool.h"

#include <algorithm>

namespace velmora::archive {

WorkerPool::WorkerPool(unsigned threads)
{
    threads = std::max(1u, threads);
    m_threads.reserve(threads);
    for (unsigned i = 0; i < threads; ++i) {
        m_threads.emplace_back([this] { Run(); });
    }
}

WorkerPool::~WorkerPool()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    for (std::thread& thread : m_threads) {
        thread.join();
    }
}

void WorkerPool::Run()
{
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_tasks.empty(); });
            if (m_tasks.empty()) {
                return;
            }
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
        }
        task();
    }
}

unsigned WorkerPool::DefaultThreads(unsigned requested)
{
    if (requested > 0) {
        return std::min(requested, 64u);
    }
    return std::clamp(std::thread::hardware_concurrency(), 1u, 64u);
}

} // namespace velmora::archive
