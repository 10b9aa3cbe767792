#include "platform/posix/MimeApps.h"
#include "platform/posix/DesktopEntry.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

TEST(DesktopExec, SplitsQuotedWordsAndDropsFieldCodes)
{
    using Words = std::vector<std::string>;
    EXPECT_EQ(SplitExec("gedit %U"), (Words{"gedit"}));
    EXPECT_EQ(SplitExec(R"("/opt/My Apps/viewer" --title "a \"b\" \\ c" %f)"),
              (Words{"/opt/My Apps/viewer", "--title", R"(a "b" \ c)"}));
    EXPECT_EQ(SplitExec("app --rate=100%% -x%i %k"), (Words{"app", "--rate=100%", "-x"}));
    EXPECT_EQ(SplitExec(R"(app "unterminated)"), Words{});
    EXPECT_EQ(SplitExec("  "), Words{});
    // String escapes of the file are resolved before the split.
    const auto entry =
        ParseDesktopEntry("[Desktop Entry]\nType=Application\nExec=my\\sapp %f\n[Desktop Action x]\nExec=other\n");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->exec, "my app %f");
    EXPECT_TRUE(IsLaunchable(*entry));
    EXPECT_FALSE(IsLaunchable(*ParseDesktopEntry("[Desktop Entry]\nType=Link\nExec=x\n")));
    EXPECT_FALSE(IsLaunchable(*ParseDesktopEntry("[Desktop Entry]\nExec=x\nHidden=true\n")));
}

void Write(const fs::path& path, const std::string& text)
{
    fs::create_directories(path.parent_path());
    test::WriteFile(path, text);
}

std::string App(const std::string& exec, const std::string& types)
{
    return "[Desktop Entry]\nType=Application\nName=x\nExec=" + exec + "\nMimeType=" + types + "\n";
}

// A throw-away XDG tree: the user's configuration and data, one system configuration
// folder and one system data folder with three installed applications.
struct Tree {
    TempDir dir;
    fs::path configHome = dir / "config";
    fs::path configDir = dir / "etc-xdg";
    fs::path dataHome = dir / "data-home";
    fs::path dataDir = dir / "data";

    Tree()
    {
        fs::create_directories(configHome);
        fs::create_directories(configDir);
        fs::create_directories(dataHome / "applications");
        const fs::path apps = dataDir / "applications";
        Write(apps / "viewer.desktop", App("cat %f", "text/plain;image/png;"));
        Write(apps / "editor.desktop", App("sh %F", "text/plain;text/html;"));
        Write(apps / "tools" / "writer.desktop", App(R"("/opt/My Apps/writer" --new %U)", "text/rtf;"));
        Write(apps / "mimeinfo.cache",
              "[MIME Cache]\ntext/plain=viewer.desktop;editor.desktop;\nimage/png=viewer.desktop;\n"
              "text/html=editor.desktop;\ntext/rtf=tools-writer.desktop;\n");
    }

    XdgLocations Locations(const std::string& desktop) const
    {
        return {configHome.string(),
                {configDir.string()},
                dataHome.string(),
                {dataDir.string()},
                desktop.empty() ? std::vector<std::string>{} : std::vector<std::string>{desktop}};
    }

    // What the desktop's own command-line tool says on the same tree ("" when it says nothing).
    std::string XdgMimeDefault(const std::string& type, const std::string& desktop) const
    {
        const std::string command = "env -i PATH=/usr/bin:/bin HOME='" + dir.path().string() + "' XDG_CONFIG_HOME='" +
                                    configHome.string() + "' XDG_CONFIG_DIRS='" + configDir.string() +
                                    "' XDG_DATA_HOME='" + dataHome.string() + "' XDG_DATA_DIRS='" + dataDir.string() +
                                    "' XDG_CURRENT_DESKTOP='" + desktop + "' xdg-mime query default '" + type +
                                    "' 2>/dev/null";
        std::string out;
        if (FILE* pipe = popen(command.c_str(), "r")) {
            char buffer[256];
            while (fgets(buffer, sizeof buffer, pipe)) {
                out += buffer;
            }
            pclose(pipe);
        }
        while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) {
            out.pop_back();
        }
        return out;
    }
};

bool HaveXdgMime()
{
    return std::system("command -v xdg-mime >/dev/null 2>&1") == 0;
}

TEST(MimeAppsLookup, FindsTheDefaultApplicationInTheDesktopsOrder)
{
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> lists; // relative path, content
        std::vector<std::string> types;                         // the type and its parents
        std::string expected;                                   // desktop ID, "" for none
        bool sameAsXdgMime; // the command-line tool knows no removals or parent types
    };
    const std::vector<Case> cases = {
        {"system default",
         {{"data/applications/mimeapps.list", "[Default Applications]\ntext/plain=editor.desktop\n"}},
         {"text/plain"},
         "editor.desktop",
         true},
        {"user default over the system's",
         {{"data/applications/mimeapps.list", "[Default Applications]\ntext/plain=editor.desktop\n"},
          {"config/mimeapps.list", "[Default Applications]\ntext/plain=viewer.desktop;\n"}},
         {"text/plain"},
         "viewer.desktop",
         true},
        {"desktop-specific list wins",
         {{"config/mimeapps.list", "[Default Applications]\ntext/plain=viewer.desktop\n"},
          {"config/x-test-mimeapps.list", "[Default Applications]\ntext/plain=editor.desktop\n"}},
         {"text/plain"},
         "editor.desktop",
         true},
        {"system configuration over distribution defaults",
         {{"etc-xdg/mimeapps.list", "[Default Applications]\ntext/plain=editor.desktop\n"},
          {"data/applications/mimeapps.list", "[Default Applications]\ntext/plain=viewer.desktop\n"}},
         {"text/plain"},
         "editor.desktop",
         true},
        {"only the index", {}, {"text/plain"}, "viewer.desktop", true},
        {"nested entry with a quoted program",
         {{"config/mimeapps.list", "[Default Applications]\ntext/rtf=tools-writer.desktop\n"}},
         {"text/rtf"},
         "tools-writer.desktop",
         false},
        {"removed association",
         {{"data/applications/mimeapps.list", "[Default Applications]\ntext/plain=viewer.desktop\n"},
          {"config/mimeapps.list", "[Removed Associations]\ntext/plain=viewer.desktop;\n"}},
         {"text/plain"},
         "editor.desktop",
         false},
        {"added association first",
         {{"config/mimeapps.list", "[Added Associations]\nimage/png=editor.desktop;\n"}},
         {"image/png"},
         "editor.desktop",
         false},
        {"missing default falls to the next",
         {{"config/mimeapps.list", "[Default Applications]\ntext/plain=gone.desktop;editor.desktop;\n"}},
         {"text/plain"},
         "editor.desktop",
         false},
        {"parent type",
         {{"config/mimeapps.list", "[Default Applications]\ntext/plain=editor.desktop\n"}},
         {"text/x-csrc", "text/plain"},
         "editor.desktop",
         false},
        {"nothing associated", {}, {"application/x-nothing"}, "", true},
    };
    const bool compare = HaveXdgMime();
    for (const Case& c : cases) {
        Tree tree;
        for (const auto& [relative, content] : c.lists) {
            Write(tree.dir / relative, content);
        }
        MimeAppsLookup lookup(tree.Locations("x-test"), ListScope::All);
        const auto entry = lookup.DefaultApplication(c.types);
        EXPECT_EQ(entry ? entry->id : std::string(), c.expected) << c.name;
        if (compare && c.sameAsXdgMime) {
            EXPECT_EQ(tree.XdgMimeDefault(c.types.front(), "X-Test"), c.expected) << c.name;
        }
    }
}

TEST(MimeAppsLookup, ScopesSeparateTheUsersListsFromTheSystems)
{
    Tree tree;
    Write(tree.configHome / "mimeapps.list", "[Default Applications]\ntext/plain=viewer.desktop\n");
    Write(tree.dataDir / "applications" / "mimeapps.list", "[Default Applications]\ntext/plain=editor.desktop\n");
    const auto exec = [&](ListScope scope, const char* type) {
        MimeAppsLookup lookup(tree.Locations(""), scope);
        const auto entry = lookup.DefaultApplication({type});
        return entry ? entry->exec : std::string("-");
    };
    EXPECT_EQ(exec(ListScope::All, "text/plain"), "cat %f");
    EXPECT_EQ(exec(ListScope::SystemOnly, "text/plain"), "sh %F");
    EXPECT_EQ(exec(ListScope::UserOnly, "text/plain"), "cat %f");
    EXPECT_EQ(exec(ListScope::SystemOnly, "text/html"), "sh %F"); // first of the index
    EXPECT_EQ(exec(ListScope::UserOnly, "text/html"), "-");

    // Without an index the entries themselves are read.
    fs::remove(tree.dataDir / "applications" / "mimeinfo.cache");
    EXPECT_EQ(exec(ListScope::SystemOnly, "text/rtf"), R"("/opt/My Apps/writer" --new %U)");
}

TEST(MimeAppsLookup, LocationsFollowTheEnvironment)
{
    const auto env = [](std::map<std::string, std::string> values) {
        return [values](const char* name) -> std::optional<std::string> {
            const auto it = values.find(name);
            return it == values.end() ? std::nullopt : std::optional<std::string>(it->second);
        };
    };
    const XdgLocations defaults = XdgLocationsFrom(env({}), "/home/u");
    EXPECT_EQ(defaults.configHome, "/home/u/.config");
    EXPECT_EQ(defaults.configDirs, std::vector<std::string>{"/etc/xdg"});
    EXPECT_EQ(defaults.dataHome, "/home/u/.local/share");
    EXPECT_EQ(defaults.dataDirs, (std::vector<std::string>{"/usr/local/share", "/usr/share"}));
    EXPECT_TRUE(defaults.desktops.empty());

    const XdgLocations set = XdgLocationsFrom(
        env({{"XDG_CONFIG_HOME", "/c"}, {"XDG_DATA_DIRS", "/a::relative:/b"}, {"XDG_CURRENT_DESKTOP", "ubuntu:GNOME"}}),
        "/home/u");
    EXPECT_EQ(set.configHome, "/c");
    EXPECT_EQ(set.dataDirs, (std::vector<std::string>{"/a", "/b"}));
    EXPECT_EQ(set.desktops, (std::vector<std::string>{"ubuntu", "gnome"}));
}

} // namespace
} // namespace velmora
