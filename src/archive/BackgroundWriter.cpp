#include "archive/BackgroundWriter.h"

#include <algorithm>

namespace velmora::archive {

namespace {
// Four buffers of a quarter MiB each: one wake-up per MiB written.
constexpr std::size_t kWakeAt = 4;
} // namespace

BackgroundWriter::BackgroundWriter(Consumer consume, std::size_t depth)
    : m_consume(std::move(consume)), m_depth(std::max<std::size_t>(depth, 1)), m_wakeAt(std::min(kWakeAt, m_depth)),
      m_thread([this] { Run(); })
{}

BackgroundWriter::~BackgroundWriter()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_queue.clear();
    }
    m_filled.notify_all();
    m_thread.join();
}

void BackgroundWriter::RethrowLocked()
{
    if (m_failure) {
        std::exception_ptr failure = m_failure;
        std::rethrow_exception(failure);
    }
}

void BackgroundWriter::Push(WriteBuffer& buffer)
{
    std::unique_lock lock(m_mutex);
    // A full queue has woken the thread already: m_wakeAt is at most the depth.
    while (m_queue.size() >= m_depth && !m_failure) {
        m_callerWaiting = true;
        m_emptied.wait(lock);
        m_callerWaiting = false;
    }
    RethrowLocked();
    m_queue.push_back(std::move(buffer));
    buffer = {};
    if (!m_spare.empty()) {
        buffer = std::move(m_spare.back());
        m_spare.pop_back();
    }
    if (m_threadWaiting && m_queue.size() >= m_wakeAt) m_filled.notify_one();
}

void BackgroundWriter::Drain()
{
    std::unique_lock lock(m_mutex);
    m_draining = true;
    if (m_threadWaiting && !m_queue.empty()) m_filled.notify_one();
    while ((!m_queue.empty() || m_busy) && !m_failure) {
        m_callerWaiting = true;
        m_emptied.wait(lock);
        m_callerWaiting = false;
    }
    m_draining = false;
    RethrowLocked();
}

void BackgroundWriter::Run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        while (!m_stop && m_queue.size() < m_wakeAt && !(m_draining && !m_queue.empty())) {
            m_threadWaiting = true;
            m_filled.wait(lock);
            m_threadWaiting = false;
        }
        if (m_stop) return;
        // Once awake, the thread consumes until nothing waits.
        while (!m_queue.empty() && !m_stop) {
            WriteBuffer item = std::move(m_queue.front());
            m_queue.pop_front();
            m_busy = true;
            const bool failed = m_failure != nullptr;
            lock.unlock();
            std::exception_ptr failure;
            if (!failed) {
                try {
                    m_consume(item.data.get(), item.size);
                } catch (...) {
                    failure = std::current_exception();
                }
            }
            lock.lock();
            m_busy = false;
            if (failure && !m_failure) m_failure = failure;
            item.size = 0;
            m_spare.push_back(std::move(item));
            if (m_callerWaiting) m_emptied.notify_one();
        }
    }
}

} // namespace velmora::archive
