#include "cli/CliCommand.h"
#include "common/QuotedName.h"

#include "common/ExecLauncher.h"
#include "fileops/FileHolders.h"
#include "fileops/ProcessTermination.h"

#include <charconv>
#include <ostream>

namespace velmora::cli {

namespace {
// Ends the one process N; never the program's own process.
int TerminateById(const std::string& text, CliContext& context)
{
    std::int64_t id = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id);
    if (error != std::errc() || end != text.data() + text.size() || id <= 0) {
        return UsageError("terminate", "--pid expects a process number, not " + QuotedInText(text), context);
    }
    IProcesses& processes = *context.platform.processes;
    FileHolder chosen;
    chosen.id = id;
    for (const ProcessEntry& entry : processes.Snapshot()) {
        if (entry.id == id) chosen.program = entry.program;
    }
    const std::vector<EndOutcome> outcomes = EndHolders(processes, {chosen});
    if (!outcomes.front().ended) {
        context.err << "velmora-cli terminate: " << EndFailureText(outcomes.front(), kEnglish) << "\n";
        return kExitFailed;
    }
    context.out << "Process " << id << " terminated\n";
    return kExitOk;
}
} // namespace

int RunTerminate(const CommandArgs& args, CliContext& context)
{
    if (const std::optional<std::string> pid = args.Value("--pid")) {
        if (!args.arguments.empty()) return UsageError("terminate", "--pid expects one process number", context);
        return TerminateById(*pid, context);
    }
    if (args.arguments.size() != 1 || args.arguments[0].empty())
        return UsageError("terminate", "expects one program NAME", context);
    const std::string& program = args.arguments[0];
    const std::string name = context.platform.environment->Paths().FileName(program);
    if (IsLauncherProgram(name)) {
        context.err << "velmora-cli terminate: " << QuotedInText(name)
                    << " is a shell, interpreter or launcher that runs many other programs, so it is not ended by "
                       "name; nothing was ended\n";
        return kExitFailed;
    }
    const int result =
        TerminateProcessByName(*context.platform.processes, context.platform.environment->Paths(), program);
    if (result == 0) {
        context.err << "velmora-cli terminate: no process of " << QuotedInText(program)
                    << " could be ended (none runs, or the last one refused)\n";
        return kExitFailed;
    }
    context.out << "Application terminated\n";
    return kExitOk;
}

} // namespace velmora::cli
