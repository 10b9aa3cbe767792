// The native platform of programs that link Qt anyway (the windows, the tests): the
// desktop services are there from the start.
#include "platform/posix/QtDesktopServices.h"

namespace velmora {

std::unique_ptr<PlatformBackend> CreateNativePlatform()
{
    return CreatePosixPlatform(CreateQtDesktopServices());
}

} // namespace velmora
