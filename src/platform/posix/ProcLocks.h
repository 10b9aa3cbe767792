#pragma once
// The file locks the kernel lists in /proc/locks.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

// A held lock: "1: POSIX  ADVISORY  WRITE 1234 08:01:1234567 0 EOF".
struct ListedLock {
    std::string kind;     // POSIX, FLOCK, OFDLCK, ...
    std::string access;   // READ or WRITE
    std::int64_t pid = 0; // -1 for open file description locks, which show no process
    unsigned long devMajor = 0;
    unsigned long devMinor = 0;
    unsigned long long inode = 0;
};

// The held locks; waiting ones (with "->" after the number) and lines that name no file
// are left out. Empty when /proc/locks cannot be read or is larger than maxSize.
std::vector<ListedLock> ReadListedLocks(std::size_t maxSize);

} // namespace velmora
