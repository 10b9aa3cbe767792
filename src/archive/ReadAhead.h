#pragma once
// Reads a file ahead of its consumer on a second thread, chunk by chunk, so the kernel's
// copy of the next chunks overlaps the work on this one. At most `depth` chunks wait; the
// thread refills once half of them are taken, so it is not woken for every chunk.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace velmora::archive {

class StdFile;

class ReadAhead {
public:
    // Reads file from its current position to its end; the file is not touched by anyone
    // else until this object is gone.
    ReadAhead(StdFile& file, std::size_t chunkSize, std::size_t depth);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Swaps the next chunk into chunk, whose old storage is kept for a later chunk.
    // False at the end of the file (or at a read error, where a read stops short).
    bool Next(std::vector<unsigned char>& chunk);

private:
    void Run();

    StdFile& m_file;
    const std::size_t m_chunkSize;
    const std::size_t m_depth;
    std::mutex m_mutex;
    std::condition_variable m_filled; // the consumer waits here for a chunk
    std::condition_variable m_taken;  // the thread waits here for room
    std::deque<std::vector<unsigned char>> m_ready;
    std::vector<std::vector<unsigned char>> m_spare;
    bool m_ended = false;
    bool m_stop = false;
    bool m_threadWaiting = false;
    bool m_consumerWaiting = false;
    std::thread m_thread;
};

} // namespace velmora::archive
