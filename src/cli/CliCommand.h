#pragma once
// The command-line companion's commands: same operations, same rules, no windows.
// Exit codes: 0 success, 1 the operation failed, 2 usage error. Messages in English on stderr.
#include "cli/CommandDefinition.h"
#include "platform/Platform.h"

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

struct CliContext {
    Platform& platform;
    std::ostream& out;
    std::ostream& err;
    bool progressToTerminal = false; // stderr is a terminal: progress may be shown
};

// Runs the program with argv minus the program name; returns the exit code.
int RunCli(const std::vector<std::string>& args, CliContext& context);

// Shared helpers for the commands. A usage error names the command, says what is wrong and
// repeats the command's synopsis on stderr; it returns kExitUsage.
int UsageError(const std::string& name, const std::string& message, CliContext& context);

// Why path is not the regular file (or folder) a command needs, as seen now: the system's
// reason when it cannot be looked at ("No such file or directory", "Permission denied"),
// "it is a folder", "it is not a regular file" or "it is not a folder"; empty when it is.
enum class PathKind { File, Folder };
std::string WhyNotA(const std::string& path, PathKind wanted);

// Command entry points, one file each.
int RunInspect(const CommandArgs& args, CliContext& context);
int RunAttrib(const CommandArgs& args, CliContext& context);
int RunTouch(const CommandArgs& args, CliContext& context);
int RunTerminate(const CommandArgs& args, CliContext& context);
int RunHolders(const CommandArgs& args, CliContext& context);
int RunFolderDate(const CommandArgs& args, CliContext& context);
int RunZip(const CommandArgs& args, CliContext& context);
int RunProtect(const CommandArgs& args, CliContext& context);
int RunUnzip(const CommandArgs& args, CliContext& context);
int RunRestore(const CommandArgs& args, CliContext& context);
int RunGunzip(const CommandArgs& args, CliContext& context);
int RunLnk(const CommandArgs& args, CliContext& context);
int RunList(const CommandArgs& args, CliContext& context);
int RunTest(const CommandArgs& args, CliContext& context);
int RunCompletions(const CommandArgs& args, CliContext& context);

} // namespace velmora::cli
