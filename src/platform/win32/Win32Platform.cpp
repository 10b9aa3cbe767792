#include "platform/Platform.h"
#include "platform/win32/Win32Associations.h"
#include "platform/win32/Win32DesktopSettings.h"
#include "platform/win32/Win32Environment.h"
#include "platform/win32/Win32FileAttributes.h"
#include "platform/win32/Win32FileHolders.h"
#include "platform/win32/Win32FileTimes.h"
#include "platform/win32/Win32FileUsage.h"
#include "platform/win32/Win32LocaleFormats.h"
#include "platform/win32/Win32Processes.h"
#include "platform/win32/Win32RandomSource.h"
#include "platform/win32/Win32Shell.h"

namespace velmora {

namespace {
class Win32Platform final : public PlatformBackend {
public:
    Win32Platform()
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
    Win32Environment m_environment;
    Win32Shell m_shell;
    Win32Processes m_processes;
    Win32DesktopSettings m_desktopSettings;
    Win32LocaleFormats m_localeFormats;
    Win32FileAttributes m_attributes;
    Win32FileTimes m_times;
    Win32FileUsage m_usage;
    Win32FileHolders m_holders;
    Win32Associations m_associations;
    Win32RandomSource m_random;
    Platform m_services;
};
} // namespace

std::unique_ptr<PlatformBackend> CreateNativePlatform()
{
    return std::make_unique<Win32Platform>();
}

} // namespace velmora
