#pragma once
// Hands filled buffers to a second thread that computes their CRC-32 and writes them,
// so decompressing and the kernel's write work overlap. At most three buffers wait.
#include "archive/ArchiveIo.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace velmora::archive {

class BackgroundWriter {
public:
    // file may be null: then the buffers are only checksummed.
    explicit BackgroundWriter(StdFile* file);
    ~BackgroundWriter();
    BackgroundWriter(const BackgroundWriter&) = delete;
    BackgroundWriter& operator=(const BackgroundWriter&) = delete;

    // Takes the buffer's content and gives back an empty buffer (with capacity) to fill
    // next. Throws VelmoraError when an earlier write failed.
    void Push(std::vector<unsigned char>& buffer);
    // Waits for every write; false with errno set when one failed.
    bool Finish();
    // The CRC-32 of everything pushed (valid after Finish).
    std::uint32_t Crc() const { return m_crc; }

private:
    void Run();

    StdFile* m_file;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::vector<unsigned char>> m_queue;
    std::vector<std::vector<unsigned char>> m_spare;
    bool m_done = false;
    bool m_failed = false;
    int m_errno = 0;
    std::uint32_t m_crc = 0;
    std::thread m_thread;
};

} // namespace velmora::archive
