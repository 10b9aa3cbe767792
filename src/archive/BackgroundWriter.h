#pragma once
// Hands filled buffers to a second thread that consumes them (checksums and writes them),
// so decoding the next buffer and the kernel's write work overlap. At most `depth` buffers
// wait; memory stays at (depth + 2) buffers. The thread is woken for a few buffers at a
// time, not for each: a wake-up costs a system call on each side and a switch of tasks,
// and the thread usually keeps up and would otherwise sleep and wake once per buffer.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace velmora::archive {

// A buffer of bytes that is not cleared when made or reused.
struct WriteBuffer {
    std::unique_ptr<unsigned char[]> data;
    std::size_t size = 0;
    std::size_t capacity = 0;
    // Makes room for at least n bytes (the content is kept only when there was room).
    void Reserve(std::size_t n)
    {
        if (capacity >= n) return;
        data.reset(new unsigned char[n]);
        capacity = n;
        size = 0;
    }
};

class BackgroundWriter {
public:
    using Consumer = std::function<void(const unsigned char* data, std::size_t size)>;
    explicit BackgroundWriter(Consumer consume, std::size_t depth = 3);
    ~BackgroundWriter(); // stops the thread; what is still queued is dropped
    BackgroundWriter(const BackgroundWriter&) = delete;
    BackgroundWriter& operator=(const BackgroundWriter&) = delete;

    // Takes the buffer's content and gives back an empty buffer (with capacity when one
    // is spare) to fill next. Rethrows what the consumer threw on an earlier buffer.
    void Push(WriteBuffer& buffer);
    // Waits until every pushed buffer has been consumed; rethrows what the consumer threw.
    void Drain();

private:
    void Run();
    void RethrowLocked();

    Consumer m_consume;
    std::size_t m_depth;
    std::size_t m_wakeAt; // buffers waiting that wake the thread
    std::mutex m_mutex;
    std::condition_variable m_filled;  // the thread waits here for buffers
    std::condition_variable m_emptied; // Push and Drain wait here for room or the end
    std::deque<WriteBuffer> m_queue;
    std::vector<WriteBuffer> m_spare;
    bool m_busy = false;          // the thread is consuming a buffer
    bool m_threadWaiting = false; // the thread sleeps until m_wakeAt buffers wait
    bool m_callerWaiting = false; // Push or Drain sleeps
    bool m_draining = false;
    bool m_stop = false;
    std::exception_ptr m_failure;
    std::thread m_thread;
};

} // namespace velmora::archive
