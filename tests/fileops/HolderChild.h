#pragma once
// A real process that holds a file in the ways the test asks for (python3 does the opening,
// locking, mapping and changing of folders), and says when it is ready.
#include "ChildProcess.h"
#include "TestSupport.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace velmora::test {

// Ways: r, w, rw (open), posix-r, posix-w, ofd-w, flock-sh, flock-ex (open and lock),
// mmap (mapped, Python's own copy of the descriptor kept), mmap-far (mapped by the C
// library with no descriptor left, behind a few hundred other mappings so that its line
// in /proc/PID/maps lies well past the first pages), cwd:FOLDER (work in FOLDER).
inline constexpr const char* kHolderScript = R"(import ctypes, fcntl, mmap, os, struct, sys, time
path, ready = sys.argv[1], sys.argv[2]
keep = []
def opened(flags):
    fd = os.open(path, flags)
    keep.append(fd)
    return fd
for way in sys.argv[3:]:
    if way == 'r': opened(os.O_RDONLY)
    elif way == 'w': opened(os.O_WRONLY)
    elif way == 'rw': opened(os.O_RDWR)
    elif way == 'posix-r': fcntl.lockf(opened(os.O_RDONLY), fcntl.LOCK_SH)
    elif way == 'posix-w': fcntl.lockf(opened(os.O_RDWR), fcntl.LOCK_EX)
    elif way == 'ofd-w': fcntl.fcntl(opened(os.O_RDWR), 37, struct.pack('hhqqi', fcntl.F_WRLCK, 0, 0, 0, 0))
    elif way == 'flock-sh': fcntl.flock(opened(os.O_RDONLY), fcntl.LOCK_SH)
    elif way == 'flock-ex': fcntl.flock(opened(os.O_RDONLY), fcntl.LOCK_EX)
    elif way == 'mmap':
        fd = os.open(path, os.O_RDONLY)
        keep.append(mmap.mmap(fd, 0, prot=mmap.PROT_READ))
        os.close(fd)
    elif way == 'mmap-far':
        libc = ctypes.CDLL(None, use_errno=True)
        libc.mmap.restype = ctypes.c_void_p
        libc.mmap.argtypes = [ctypes.c_void_p, ctypes.c_size_t, ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_long]
        page = mmap.PAGESIZE
        # Low addresses, listed first: 400 separate anonymous pages, then the file.
        for i in range(400): libc.mmap(0x10000000 + i * 2 * page, page, mmap.PROT_READ, 0x22, -1, 0)
        fd = os.open(path, os.O_RDONLY)
        if libc.mmap(0x20000000, page, mmap.PROT_READ, mmap.MAP_SHARED, fd, 0) in (None, 2**64 - 1): sys.exit('mmap failed')
        os.close(fd)
        with open('/proc/self/maps') as maps:
            if maps.read().find(os.path.realpath(path)) < 16384: sys.exit('the mapping is listed too early')
    elif way.startswith('cwd:'): os.chdir(way[4:])
    else: sys.exit('unknown way ' + way)
open(ready, 'w').close()
time.sleep(120)
)";

inline std::string FindPython()
{
    for (const char* candidate : {"/usr/bin/python3", "/usr/local/bin/python3"}) {
        if (std::filesystem::exists(candidate)) return candidate;
    }
    return {};
}

class HolderChild {
public:
    HolderChild(const std::filesystem::path& work, const std::string& path, const std::vector<std::string>& ways)
    {
        static int serial = 0;
        const std::filesystem::path script = work / "holder.py";
        if (!std::filesystem::exists(script)) WriteFile(script, kHolderScript);
        m_ready = work / ("ready-" + std::to_string(++serial));
        std::vector<std::string> arguments{script.string(), path, m_ready.string()};
        arguments.insert(arguments.end(), ways.begin(), ways.end());
        m_child = std::make_unique<ChildProcess>(FindPython(), arguments);
    }
    // Waits until the child holds what it was asked to; false when it failed or took too long.
    bool Ready()
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!std::filesystem::exists(m_ready)) {
            if (!m_child->Running() || std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }
    ChildProcess& Process() { return *m_child; }
    pid_t Id() const { return m_child->Id(); }

private:
    std::filesystem::path m_ready;
    std::unique_ptr<ChildProcess> m_child;
};

} // namespace velmora::test
