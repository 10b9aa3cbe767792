#pragma once
// Ending the programs that hold a file: every process whose program file has a given name.
#include "common/PathRules.h"
#include "common/Waiter.h"
#include "platform/IProcesses.h"

#include <string>
#include <string_view>

namespace velmora {

// Two program names match when they are equal after folding the letters a-z to A-Z;
// no other character is folded (so "Ä" and "ä" differ).
bool ProgramNamesMatch(std::string_view a, std::string_view b);

// Ends every process (never our own) whose program file name, or whole program path,
// matches name. A shell, interpreter or launcher (IsLauncherProgram) is never ended by
// name: many unrelated processes run under it; the result is then 0 and nothing is ended. Returns the outcome of the
// last attempt: 1 when that process accepted the request, 0 when it refused or when nothing matched.
int TerminateProcessByName(IProcesses& processes, const PathRules& paths, std::string_view name);

// The text the default-application field holds when no default program is known.
inline constexpr std::string_view kUndefinedApplication = "undefined";

struct AssociatedPrograms {
    std::string associatedApplication; // a program path, as the associated-application field shows it
    std::string defaultApplication;    // a program file name, or "undefined"
};

// Ends the associated application and then the default application, waiting 200 ms after
// each search. True when every program that was searched for was ended. The default
// application is not searched for again when it names the same program as the associated
// one (the first search has already ended it), nor when no default program is known.
// Nothing is searched for, and the result is false, when the associated field is blank.
// The file name of the first of the two programs that is a shell, an interpreter or a
// launcher; empty when neither is. EndAssociatedPrograms ends nothing while there is one.
std::string LauncherAmong(const PathRules& paths, const AssociatedPrograms& programs);

bool EndAssociatedPrograms(IProcesses& processes, const PathRules& paths, IWaiter& waiter,
                           const AssociatedPrograms& programs);

} // namespace velmora
