#include "cli/CliCommand.h"

#include "fileops/ProcessTermination.h"

#include <ostream>

namespace velmora::cli {

int RunTerminate(const std::vector<std::string>& args, CliContext& context)
{
    if (args.size() != 1 || args[0].empty()) return UsageError("terminate", "expects one program NAME", context);
    const int result =
        TerminateProcessByName(*context.platform.processes, context.platform.environment->Paths(), args[0]);
    if (result == 0) {
        context.err << "velmora-cli terminate: no process of '" << args[0]
                    << "' could be ended (none runs, or the last one refused)\n";
        return kExitFailed;
    }
    context.out << "Application terminated\n";
    return kExitOk;
}

} // namespace velmora::cli
