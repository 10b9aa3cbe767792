#include "fileops/ProcessTermination.h"

#include "common/ExecLauncher.h"

#include <chrono>

namespace velmora {

namespace {
char FoldAsciiLetter(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string_view Trimmed(std::string_view text)
{
    const auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

constexpr std::chrono::milliseconds kSettleTime{200};
} // namespace

bool ProgramNamesMatch(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldAsciiLetter(a[i]) != FoldAsciiLetter(b[i])) return false;
    }
    return true;
}

int TerminateProcessByName(IProcesses& processes, const PathRules& paths, std::string_view name)
{
    // An empty name would match processes whose program is unknown: nothing to look for.
    if (name.empty() || IsLauncherProgram(name)) return 0;
    const std::int64_t own = processes.OwnProcessId();
    int result = 0;
    for (const ProcessEntry& entry : processes.Snapshot()) {
        if (entry.id == own || entry.program.empty()) continue;
        const bool matches =
            ProgramNamesMatch(paths.FileName(entry.program), name) || ProgramNamesMatch(entry.program, name);
        if (!matches) continue;
        result = processes.Terminate(entry.id) ? 1 : 0;
    }
    return result;
}

std::string LauncherAmong(const PathRules& paths, const AssociatedPrograms& programs)
{
    for (const std::string* field : {&programs.associatedApplication, &programs.defaultApplication}) {
        const std::string name = paths.FileName(std::string(Trimmed(*field)));
        if (!name.empty() && IsLauncherProgram(name)) return name;
    }
    return {};
}

bool EndAssociatedPrograms(IProcesses& processes, const PathRules& paths, IWaiter& waiter,
                           const AssociatedPrograms& programs)
{
    if (Trimmed(programs.associatedApplication).empty()) return false;
    if (!LauncherAmong(paths, programs).empty()) return false;
    const std::string firstName = paths.FileName(programs.associatedApplication);
    const std::string secondName = paths.FileName(programs.defaultApplication);

    const int first = TerminateProcessByName(processes, paths, firstName);
    waiter.Wait(kSettleTime);

    // A second search for the program the first one has just ended would find nothing and
    // turn a success into "not running"; a search for the placeholder finds nothing at all.
    const bool secondIsOwnSearch =
        !ProgramNamesMatch(secondName, firstName) && secondName != kUndefinedApplication && !secondName.empty();
    int second = first;
    if (secondIsOwnSearch) second = TerminateProcessByName(processes, paths, secondName);
    waiter.Wait(kSettleTime);

    return first > 0 && second > 0;
}

} // namespace velmora
