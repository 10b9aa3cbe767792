#include "platform/posix/ProcLocks.h"

#include "platform/SmallFile.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace velmora {

std::vector<ListedLock> ReadListedLocks(std::size_t maxSize)
{
    std::vector<ListedLock> locks;
    std::string content;
    if (!ReadSmallRegularFile("/proc/locks", content, maxSize)) {
        return locks;
    }
    std::istringstream lines(content);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string number, mode, pidText, id;
        ListedLock lock;
        fields >> number >> lock.kind;
        if (lock.kind == "->") {
            continue;
        }
        fields >> mode >> lock.access >> pidText >> id;
        if (std::sscanf(id.c_str(), "%lx:%lx:%llu", &lock.devMajor, &lock.devMinor, &lock.inode) != 3) {
            continue;
        }
        lock.pid = std::atoll(pidText.c_str());
        locks.push_back(std::move(lock));
    }
    return locks;
}

} // namespace velmora
