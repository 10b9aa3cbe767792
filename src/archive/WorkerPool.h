#pragma once
// A fixed set of helper threads running queued tasks; results come back through futures.
// The destructor finishes the queued tasks and joins the threads.
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace velmora::archive {

class WorkerPool {
public:
    explicit WorkerPool(unsigned threads);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    template <typename F> auto Submit(F task) -> std::future<decltype(task())>
    {
        using R = decltype(task());
        auto packaged = std::make_shared<std::packaged_task<R()>>(std::move(task));
        std::future<R> future = packaged->get_future();
        {
            std::lock_guard lock(m_mutex);
            m_tasks.emplace_back([packaged] { (*packaged)(); });
        }
        m_wake.notify_one();
        return future;
    }

    unsigned Size() const { return static_cast<unsigned>(m_threads.size()); }

    // The number of helper threads to use when the caller asked for 0 (all cores).
    static unsigned DefaultThreads(unsigned requested);

private:
    void Run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_tasks;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};

} // namespace velmora::archive
