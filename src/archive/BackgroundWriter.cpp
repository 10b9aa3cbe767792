#include "archive/BackgroundWriter.h"

#include "common/Errors.h"

#include <cerrno>

namespace velmora::archive {

BackgroundWriter::BackgroundWriter(StdFile* file) : m_file(file), m_thread([this] { Run(); }) {}

BackgroundWriter::~BackgroundWriter()
{
    Finish();
}

void BackgroundWriter::Push(std::vector<unsigned char>& buffer)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_queue.size() < 3 || m_failed; });
    if (m_failed) {
        throw VelmoraError(SystemErrorText("Writing", "output", m_errno));
    }
    m_queue.push_back(std::move(buffer));
    buffer = {};
    if (!m_spare.empty()) {
        buffer = std::move(m_spare.back());
        m_spare.pop_back();
    }
    m_changed.notify_all();
}

bool BackgroundWriter::Finish()
{
    {
        std::lock_guard lock(m_mutex);
        m_done = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
    errno = m_errno;
    return !m_failed;
}

void BackgroundWriter::Run()
{
    for (;;) {
        std::vector<unsigned char> item;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return !m_queue.empty() || m_done; });
            if (m_queue.empty()) {
                return;
            }
            item = std::move(m_queue.front());
            m_queue.pop_front();
        }
        m_crc = Crc32(m_crc, item.data(), item.size());
        const bool ok = m_failed || !m_file || m_file->Write(item.data(), item.size());
        std::lock_guard lock(m_mutex);
        if (!ok && !m_failed) {
            m_failed = true;
            m_errno = errno;
        }
        item.clear();
        m_spare.push_back(std::move(item));
        m_changed.notify_all();
    }
}

} // namespace velmora::archive
