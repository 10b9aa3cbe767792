#include "platform/FileDurability.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace velmora {

bool FlushToDisk(const std::string& path)
{
    int fd;
    do {
        fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return false;
    int result;
    do {
        result = fsync(fd);
    } while (result != 0 && errno == EINTR);
    close(fd);
    return result == 0;
}

bool MoveReplacing(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }

} // namespace velmora
