#include "platform/UnnamedFile.h"

#include <cerrno>

namespace velmora {

// Windows has no files without a name in a folder: the callers' temporary files serve.
std::unique_ptr<UnnamedFile> CreateUnnamedFile(const std::filesystem::path&)
{
    errno = ENOSYS;
    return nullptr;
}

unsigned NewFileMode()
{
    return 0666u;
}

} // namespace velmora
