#include "archive/BackgroundWriter.h"

namespace velmora::archive {

BackgroundWriter::BackgroundWriter(Consumer consume, std::size_t depth)
    : m_consume(std::move(consume)), m_depth(depth), m_thread([this] { Run(); })
{}

BackgroundWriter::~BackgroundWriter()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_queue.clear();
    }
    m_changed.notify_all();
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
    m_changed.wait(lock, [this] { return m_queue.size() < m_depth || m_failure; });
    RethrowLocked();
    m_queue.push_back(std::move(buffer));
    buffer = {};
    if (!m_spare.empty()) {
        buffer = std::move(m_spare.back());
        m_spare.pop_back();
    }
    m_changed.notify_all();
}

void BackgroundWriter::Drain()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return (m_queue.empty() && !m_busy) || m_failure; });
    RethrowLocked();
}

void BackgroundWriter::Run()
{
    for (;;) {
        WriteBuffer item;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return !m_queue.empty() || m_stop; });
            if (m_stop) return;
            item = std::move(m_queue.front());
            m_queue.pop_front();
            m_busy = true;
        }
        std::exception_ptr failure;
        if (!m_failure) {
            try {
                m_consume(item.data.get(), item.size);
            } catch (...) {
                failure = std::current_exception();
            }
        }
        std::lock_guard lock(m_mutex);
        m_busy = false;
        if (failure && !m_failure) m_failure = failure;
        item.size = 0;
        m_spare.push_back(std::move(item));
        m_changed.notify_all();
    }
}

} // namespace velmora::archive
