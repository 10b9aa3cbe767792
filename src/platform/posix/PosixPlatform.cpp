#include "platform/Platform.h"
#include "platform/posix/PosixAssociations.h"
#include "platform/posix/PosixDesktopSettings.h"
#include "platform/posix/PosixEnvironment.h"
#include "platform/posix/PosixFileAttributes.h"
#include "platform/posix/PosixFileHolders.h"
#include "platform/posix/PosixFileTimes.h"
#include "platform/posix/PosixFileUsage.h"
#include "platform/posix/PosixLocaleFormats.h"
#include "platform/posix/PosixProcesses.h"
#include "platform/posix/PosixRandomSource.h"
#include "platform/posix/PosixShell.h"

namespace velmora {

namespace {
class PosixPlatform final : public PlatformBackend {
public:
    PosixPlatform()
    {
        m_services.environment = &m_environment;
        m_services.shell = &m_shell;
        m_services.processes = &m_processes;
        m_services.desktopSettings = &m_desktopSettings;
        m_services.localeFormats = &m_localeFormats;
        m_services.attributes = &m_attributes;
        m_services.times = &m_times;
        m_services.usage = &m_usage;
        m_services.holders = &m_holders;
        m_services.associations = &m_associations;
        m_services.random = &m_random;
        CheckAllServices(m_services);
    }
    Platform& Services() override { return m_services; }

private:
    PosixEnvironment m_environment;
    PosixShell m_shell;
    PosixProcesses m_processes;
    PosixDesktopSettings m_desktopSettings;
    PosixLocaleFormats m_localeFormats;
    PosixFileAttributes m_attributes;
    PosixFileTimes m_times;
    PosixFileUsage m_usage{m_attributes};
    PosixFileHolders m_holders;
    PosixAssociations m_associations;
    PosixRandomSource m_random;
    Platform m_services;
};
} // namespace

std::unique_ptr<PlatformBackend> CreateNativePlatform()
{
    return std::make_unique<PosixPlatform>();
}

} // namespace velmora
