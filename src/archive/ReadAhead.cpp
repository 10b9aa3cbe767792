#include "archive/ReadAhead.h"

#include "archive/ArchiveIo.h"

#include <algorithm>

namespace velmora::archive {

ReadAhead::ReadAhead(StdFile& file, std::size_t chunkSize, std::size_t depth)
    : m_file(file), m_chunkSize(std::max<std::size_t>(chunkSize, 1)), m_depth(std::max<std::size_t>(depth, 2)),
      m_thread([this] { Run(); })
{}

ReadAhead::~ReadAhead()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_taken.notify_all();
    m_thread.join();
}

bool ReadAhead::Next(std::vector<unsigned char>& chunk)
{
    std::unique_lock lock(m_mutex);
    if (chunk.capacity() > 0) m_spare.push_back(std::move(chunk));
    chunk = {};
    while (m_ready.empty() && !m_ended) {
        m_consumerWaiting = true;
        m_filled.wait(lock);
        m_consumerWaiting = false;
    }
    if (m_ready.empty()) return false;
    chunk = std::move(m_ready.front());
    m_ready.pop_front();
    if (m_threadWaiting && m_ready.size() <= m_depth / 2) m_taken.notify_one();
    return true;
}

void ReadAhead::Run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        // Asleep, the thread waits until half the chunks are taken; awake, it fills them all.
        while (!m_stop && m_ready.size() > m_depth / 2) {
            m_threadWaiting = true;
            m_taken.wait(lock);
            m_threadWaiting = false;
        }
        while (!m_stop && m_ready.size() < m_depth) {
            std::vector<unsigned char> chunk;
            if (!m_spare.empty()) {
                chunk = std::move(m_spare.back());
                m_spare.pop_back();
            }
            chunk.resize(m_chunkSize);
            lock.unlock();
            const std::size_t got = m_file.Read(chunk.data(), chunk.size());
            lock.lock();
            chunk.resize(got);
            if (got > 0) m_ready.push_back(std::move(chunk));
            if (got < m_chunkSize) m_ended = true;
            if (m_consumerWaiting) m_filled.notify_one();
            if (m_ended) return;
        }
        if (m_stop) return;
    }
}

} // namespace velmora::archive
