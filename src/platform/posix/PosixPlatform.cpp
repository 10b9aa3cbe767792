#include "platform/Platform.h"
#include "platform/posix/PosixEnvironment.h"
#include "platform/posix/PosixRandomSource.h"
#include "platform/posix/PosixLocaleFormats.h"
#include "platform/posix/PosixShell.h"

namespace velmora {

namespace {
class PosixPlatform final : public PlatformBackend {
public:
    PosixPlatform()
    {
        m_services.environment = &m_environment;
        m_services.shell = &m_shell;
        m_services.random = &m_random;
        m_services.localeFormats = &m_localeFormats;
    }
    Platform& Services() override { return m_services; }

private:
    PosixEnvironment m_environment;
    PosixShell m_shell;
    PosixRandomSource m_random;
    PosixLocaleFormats m_localeFormats;
    Platform m_services;
};
} // namespace

std::unique_ptr<PlatformBackend> CreateNativePlatform() { return std::make_unique<PosixPlatform>(); }

} // namespace velmora
