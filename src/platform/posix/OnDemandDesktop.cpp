// The native platform of the command-line program: the desktop services, and with them
// Qt, are loaded from the desktop module the first time a command needs them. Most
// commands never do, and start in a fraction of the time.
#include "platform/IAssociations.h"
#include "platform/ILocaleFormats.h"
#include "platform/posix/PosixPlatform.h"
#include "platform/posix/SpawnDetached.h"

#include <climits>
#include <dlfcn.h>
#include <iostream>
#include <mutex>
#include <unistd.h>

namespace velmora {

namespace {

// Where the module lies relative to the program's folder: as installed, then beside it.
std::vector<std::string> ModuleCandidates()
{
    char buffer[PATH_MAX + 1];
    const ssize_t n = readlink("/proc/self/exe", buffer, PATH_MAX);
    if (n <= 0) return {};
    std::string folder(buffer, static_cast<std::size_t>(n));
    folder.erase(folder.rfind('/') + 1);
    return {folder + VELMORA_DESKTOP_MODULE_FROM_BIN, folder + "velmora-desktop.so"};
}

class DesktopLoader {
public:
    // The loaded services; null when the module is missing or does not fit, which is
    // said once on the standard error.
    DesktopServices* Get()
    {
        std::call_once(m_once, [this] { Load(); });
        return m_services.get();
    }

private:
    void Load()
    {
        std::string failure = "not found";
        for (const std::string& path : ModuleCandidates()) {
            if (access(path.c_str(), F_OK) != 0) continue;
            // Never unloaded: Qt stays until the process ends.
            void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (module == nullptr) {
                const char* error = dlerror();
                failure = error != nullptr ? error : path;
                continue;
            }
            using Entry = DesktopServices* (*)(const char*);
            const auto entry = reinterpret_cast<Entry>(dlsym(module, "VelmoraDesktopServices"));
            DesktopServices* services = entry != nullptr ? entry(VELMORA_VERSION_TEXT) : nullptr;
            if (services != nullptr) {
                m_services.reset(services);
                return;
            }
            failure = path + " belongs to another version";
        }
        std::cerr << "velmora: the desktop services could not be loaded (" << failure
                  << "); file types, the programs that open them and the locale's formats are unknown\n";
    }

    std::once_flag m_once;
    std::unique_ptr<DesktopServices> m_services;
};

class OnDemandShell final : public IShell {
public:
    explicit OnDemandShell(DesktopLoader& loader) : m_loader(loader) {}
    // Starting a program needs no desktop service.
    bool StartHidden(const std::string& program, const std::vector<std::string>& arguments) override
    {
        return SpawnDetached(program, arguments);
    }
    bool OpenUrl(const std::string& url) override
    {
        DesktopServices* desktop = m_loader.Get();
        return desktop != nullptr && desktop->Shell().OpenUrl(url);
    }
    bool OpenHelp(const std::string& helpFile, int context) override
    {
        DesktopServices* desktop = m_loader.Get();
        return desktop != nullptr && desktop->Shell().OpenHelp(helpFile, context);
    }
    bool ShowFolder(const std::string& folder) override
    {
        DesktopServices* desktop = m_loader.Get();
        return desktop != nullptr && desktop->Shell().ShowFolder(folder);
    }

private:
    DesktopLoader& m_loader;
};

class OnDemandAssociations final : public IAssociations {
public:
    explicit OnDemandAssociations(DesktopLoader& loader) : m_loader(loader) {}
    ExecutableLookup FindExecutable(const std::string& file, const std::string& folder) override
    {
        DesktopServices* desktop = m_loader.Get();
        return desktop != nullptr ? desktop->Associations().FindExecutable(file, folder) : ExecutableLookup{};
    }
    std::string ProductName() override
    {
        DesktopServices* desktop = m_loader.Get();
        return desktop != nullptr ? desktop->Associations().ProductName() : std::string();
    }
    std::string ReadOpenWithListCommand(const std::string& extension) override
    {
        DesktopServices* desktop = m_loader.Get();
        return desktop != nullptr ? desktop->Associations().ReadOpenWithListCommand(extension) : std::string();
    }
    std::string ReadShellOpenCommand(const std::string& extension) override
    {
        DesktopServices* desktop = m_loader.Get();
        return desktop != nullptr ? desktop->Associations().ReadShellOpenCommand(extension) : std::string();
    }

private:
    DesktopLoader& m_loader;
};

class OnDemandLocaleFormats final : public ILocaleFormats {
public:
    explicit OnDemandLocaleFormats(DesktopLoader& loader) : m_loader(loader) {}
    LocaleFormats Formats() override
    {
        DesktopServices* desktop = m_loader.Get();
        return desktop != nullptr ? desktop->LocaleFormats().Formats() : LocaleFormats{};
    }

private:
    DesktopLoader& m_loader;
};

class OnDemandDesktopServices final : public DesktopServices {
public:
    IShell& Shell() override { return m_shell; }
    IAssociations& Associations() override { return m_associations; }
    ILocaleFormats& LocaleFormats() override { return m_localeFormats; }

private:
    DesktopLoader m_loader;
    OnDemandShell m_shell{m_loader};
    OnDemandAssociations m_associations{m_loader};
    OnDemandLocaleFormats m_localeFormats{m_loader};
};

} // namespace

std::unique_ptr<PlatformBackend> CreateNativePlatform()
{
    return CreatePosixPlatform(std::make_unique<OnDemandDesktopServices>());
}

} // namespace velmora
