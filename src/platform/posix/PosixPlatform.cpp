#include "platform/posix/PosixPlatform.h"

#include "platform/posix/PosixDesktopSettings.h"
#include "platform/posix/PosixEnvironment.h"
#include "platform/posix/PosixFileAttributes.h"
#include "platform/posix/PosixFileHolders.h"
#include "platform/posix/PosixFileTimes.h"
#include "platform/posix/PosixFileUsage.h"
#include "platform/posix/PosixProcesses.h"
#include "platform/posix/PosixRandomSource.h"

namespace velmora {

namespace {
class PosixPlatform final : public PlatformBackend {
public:
    explicit PosixPlatform(std::unique_ptr<DesktopServices> desktop) : m_desktop(std::move(desktop))
    {
        m_services.environment = &m_environment;
        m_services.shell = &m_desktop->Shell();
        m_services.processes = &m_processes;
        m_services.desktopSettings = &m_desktopSettings;
        m_services.localeFormats = &m_desktop->LocaleFormats();
        m_services.attributes = &m_attributes;
        m_services.times = &m_times;
        m_services.usage = &m_usage;
        m_services.holders = &m_holders;
        m_services.associations = &m_desktop->Associations();
        m_services.random = &m_random;
        CheckAllServices(m_services);
    }
    Platform& Services() override { return m_services; }

private:
    std::unique_ptr<DesktopServices> m_desktop;
    PosixEnvironment m_environment;
    PosixProcesses m_processes;
    PosixDesktopSettings m_desktopSettings;
    PosixFileAttributes m_attributes;
    PosixFileTimes m_times;
    PosixFileUsage m_usage{m_attributes};
    PosixFileHolders m_holders;
    PosixRandomSource m_random;
    Platform m_services;
};
} // namespace

std::unique_ptr<PlatformBackend> CreatePosixPlatform(std::unique_ptr<DesktopServices> desktop)
{
    return std::make_unique<PosixPlatform>(std::move(desktop));
}

} // namespace velmora
