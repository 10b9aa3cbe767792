#include "common/ExecLauncher.h"
#include "platform/posix/DesktopEntry.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(ExecLauncher, FollowsLaunchersToTheProgramTheLineNames)
{
    struct Case {
        const char* exec;
        std::vector<std::string> program; // empty: the line names no program
        const char* launcher;
    };
    const Case cases[] = {
        {"viewer %f", {"viewer"}, ""},
        {"/usr/bin/viewer --new %U", {"/usr/bin/viewer", "--new"}, ""},
        {"env GTK_THEME=dark viewer %f", {"viewer"}, "env"},
        {"/usr/bin/env -u LANG -i A=1 viewer --x %F", {"viewer", "--x"}, "env"},
        {"env -S \"viewer --a\" %f", {"viewer", "--a"}, "env"},
        {"sh -c \"viewer --b %f\"", {"viewer", "--b"}, "sh"},
        {"bash -c 'exec env X=1 /opt/v/viewer \"$1\"' _ %f", {}, "bash"}, // "$1": shell expansion
        {"bash -lc \"exec viewer\"", {"viewer"}, "bash"},
        {"sh -c \"viewer | tee log\"", {}, "sh"},
        {"sh -c", {}, "sh"},
        {"bash /opt/tool/run.sh %f", {"/opt/tool/run.sh"}, "bash"},
        {"python3 /usr/share/tool/tool.py %f", {"/usr/share/tool/tool.py"}, "python3"},
        {"python3.11 -u -m tool.main %f", {"tool.main"}, "python3.11"},
        {"python3 -c \"import x\"", {}, "python3"},
        {"java -jar /opt/app.jar", {"/opt/app.jar"}, "java"},
        {"flatpak run --branch=stable --command=gimp org.gimp.GIMP %U", {"gimp"}, "flatpak"},
        {"flatpak run org.gimp.GIMP %U", {}, "flatpak"},
        {"snap run firefox %u", {"firefox"}, "snap"},
        {"gio open %U", {}, "gio"},
        {"xdg-open %f", {}, "xdg-open"},
        {"nice -n 10 nohup viewer %f", {"viewer"}, "nohup"},
        {"env", {}, "env"},
    };
    for (const Case& c : cases) {
        const ExecProgram resolved = ResolveExecLauncher(SplitExec(c.exec));
        EXPECT_EQ(resolved.words, c.program) << c.exec;
        EXPECT_EQ(resolved.launcher, c.launcher) << c.exec;
    }
}

TEST(ExecLauncher, ShellsInterpretersAndLaunchersAreNeverProgramsToEnd)
{
    for (const char* name : {"bash", "sh", "dash", "zsh", "env", "python3", "python3.11", "Python", "perl5.36", "node",
                             "flatpak", "snap", "gio", "xdg-open", "sudo", "nohup"}) {
        EXPECT_TRUE(IsLauncherProgram(name)) << name;
    }
    for (const char* name : {"viewer", "gimp", "firefox", "pythonista", "bashful", "gedit", ""}) {
        EXPECT_FALSE(IsLauncherProgram(name)) << name;
    }
    EXPECT_EQ(JoinExecWords({"viewer", "a b", "q\"x"}), "viewer \"a b\" \"q\\\"x\"");
}

} // namespace
} // namespace velmora
