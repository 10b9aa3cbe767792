#pragma once
// Programs that only start other programs: shells, script interpreters and desktop
// launchers. A desktop entry's Exec line often begins with one ("env VAR=1 viewer",
// "sh -c 'viewer %f'", "flatpak run --command=viewer org.example.Viewer"); the program the
// entry stands for is the one the line names behind it.
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// True when the file name (no folder) is a shell, an interpreter or a launcher: a name that
// many unrelated processes run under, so it must never be used to end processes.
// Versioned interpreter names count too ("python3.11", "perl5.36").
bool IsLauncherProgram(std::string_view fileName);

struct ExecProgram {
    // The real program and its arguments; empty when the line names none behind its
    // launcher (such as "gio open %U" or "sh -c 'a | b'").
    std::vector<std::string> words;
    // The last launcher passed on the way (its file name), empty when there was none.
    std::string launcher;
    // True when the program came from an interpreter's command line: it is a script or
    // module, not an executable of its own.
    bool script = false;
};

// Follows an Exec line's words (as SplitExec gives them) through env, shells (-c),
// interpreters, flatpak run, snap run and the plain wrappers (nohup, setsid, nice, ...).
// Words that name no launcher are returned as they are.
ExecProgram ResolveExecLauncher(const std::vector<std::string>& words);

// The words joined into one command text; a word with a blank or a quote is enclosed in
// double quotes (inside them " and \ are escaped).
std::string JoinExecWords(const std::vector<std::string>& words);

} // namespace velmora
