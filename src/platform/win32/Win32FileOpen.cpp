#include "platform/FileOpen.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>

namespace velmora {

std::FILE* OpenFile(const std::filesystem::path& path, const char* mode)
{
    // The C library of Windows knows no "x": create the file exclusively by descriptor.
    std::string plain;
    bool exclusive = false;
    for (const char* c = mode; *c; ++c) {
        if (*c == 'x') {
            exclusive = true;
        } else {
            plain.push_back(*c);
        }
    }
    if (exclusive) {
        const bool update = plain.find('+') != std::string::npos;
        const int fd =
            _wopen(path.c_str(), _O_CREAT | _O_EXCL | _O_BINARY | (update ? _O_RDWR : _O_WRONLY), _S_IREAD | _S_IWRITE);
        if (fd < 0) {
            return nullptr;
        }
        std::FILE* file = _fdopen(fd, plain.c_str());
        if (!file) {
            const int saved = errno;
            _close(fd);
            errno = saved;
        }
        return file;
    }
    const std::wstring wideMode(plain.begin(), plain.end());
    errno = 0;
    return _wfopen(path.c_str(), wideMode.c_str());
}

} // namespace velmora
