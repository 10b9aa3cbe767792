#include "platform/posix/DefaultAppsChoice.h"
#include "platform/posix/PosixDesktopSettings.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <set>
#include <thread>

using namespace velmora;

namespace {

// Sets an environment variable for the life of the object and restores it afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name)
    {
        if (const char* old = std::getenv(name)) m_old = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv()
    {
        if (m_old) {
            setenv(m_name, m_old->c_str(), 1);
        } else {
            unsetenv(m_name);
        }
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

std::string Describe(const std::optional<SettingsCommand>& command)
{
    if (!command) return "-";
    std::string text = command->program;
    for (const std::string& a : command->arguments)
        text += " " + a;
    return text;
}

} // namespace

TEST(DefaultApps, ChoosesTheRunningDesktopsPageThenAnyInstalledOne)
{
    const struct {
        const char* desktop;
        std::set<std::string> installed;
        const char* expected;
    } cases[] = {
        {"GNOME", {"gnome-control-center", "xfce4-mime-settings"}, "/bin/gnome-control-center default-apps"},
        {"ubuntu:GNOME", {"gnome-control-center"}, "/bin/gnome-control-center default-apps"},
        {"KDE", {"gnome-control-center", "systemsettings"}, "/bin/systemsettings kcm_componentchooser"},
        {"KDE", {"systemsettings5"}, "/bin/systemsettings5 kcm_componentchooser"},
        {"xfce", {"gnome-control-center", "xfce4-mime-settings"}, "/bin/xfce4-mime-settings"},
        // The desktop's own program is missing, or the desktop is unknown: any installed page.
        {"KDE", {"xfce4-mime-settings"}, "/bin/xfce4-mime-settings"},
        {"", {"systemsettings"}, "/bin/systemsettings kcm_componentchooser"},
        {"X-Cinnamon", {}, "-"},
    };
    for (const auto& c : cases) {
        const auto lookup = [&](std::string_view name) {
            return c.installed.count(std::string(name)) ? "/bin/" + std::string(name) : std::string();
        };
        EXPECT_EQ(Describe(ChooseDefaultAppsCommand(c.desktop, lookup)), c.expected) << c.desktop;
    }
}

TEST(DefaultApps, StartsTheSettingsProgramFoundOnPathWithoutAShell)
{
    test::TempDir dir;
    const auto record = dir / "started.txt";
    const auto fake = dir / "xfce4-mime-settings";
    // The arguments arrive one per line; a shell string would have split or expanded them.
    test::WriteFile(fake, "#!/bin/sh\nprintf '%s\\n' \"$0\" \"$#\" > '" + record.string() + ".tmp'\n/bin/mv '" +
                              record.string() + ".tmp' '" + record.string() + "'\n");
    std::filesystem::permissions(fake, std::filesystem::perms::owner_all);

    ScopedEnv desktop("XDG_CURRENT_DESKTOP", "XFCE");
    {
        ScopedEnv path("PATH", "relative/bin:" + dir.path().string());
        PosixDesktopSettings settings;
        EXPECT_TRUE(settings.OpenDefaultApps());
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!std::filesystem::exists(record) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(test::ReadFile(record), fake.string() + "\n0\n");

    // No settings program anywhere on PATH: the start fails.
    test::TempDir empty;
    ScopedEnv path("PATH", empty.path().string());
    PosixDesktopSettings settings;
    EXPECT_FALSE(settings.OpenDefaultApps());
}

TEST(DefaultApps, SearchPathSkipsFoldersThatAreNotAbsoluteAndFilesThatCannotRun)
{
    test::TempDir dir;
    std::filesystem::create_directories(dir / "bin");
    test::WriteFile(dir / "bin" / "tool", "#!/bin/sh\n");
    test::WriteFile(dir / "bin" / "plain", "text");
    std::filesystem::permissions(dir / "bin" / "tool", std::filesystem::perms::owner_all);
    std::filesystem::create_directories(dir / "bin" / "folder");

    const std::filesystem::path oldCwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    {
        ScopedEnv path("PATH", "bin::" + (dir / "bin").string());
        EXPECT_EQ(FindOnSearchPath("tool"), (dir / "bin" / "tool").string());
        EXPECT_EQ(FindOnSearchPath("plain"), "");
        EXPECT_EQ(FindOnSearchPath("folder"), "");
    }
    {
        ScopedEnv path("PATH", "bin:.");
        EXPECT_EQ(FindOnSearchPath("tool"), "");
    }
    std::filesystem::current_path(oldCwd);
}
