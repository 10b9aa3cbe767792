#pragma once
// The command-line companion's commands: same operations, same rules, no windows.
// Exit codes: 0 success, 1 the operation failed, 2 usage error. Messages in English on stderr.
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

using CommandFunction = int (*)(const std::vector<std::string>& args, CliContext& context);

struct CliCommand {
    const char* name;
    const char* synopsis; // "NAME ARGS", shown in the overview and in the command's --help
    const char* summary;
    CommandFunction run;
};

// Every command, in the order the overview lists them.
const std::vector<CliCommand>& Commands();

// Runs the program with argv minus the program name; returns the exit code.
int RunCli(const std::vector<std::string>& args, CliContext& context);

// Shared helpers for the commands.
bool WantsHelp(const std::vector<std::string>& args);
int PrintCommandHelp(const std::string& name, CliContext& context);
int UsageError(const std::string& name, const std::string& message, CliContext& context);
int NotAvailableYet(const std::string& name, CliContext& context);

// Why path is not the regular file (or folder) a command needs, as seen now: the system's
// reason when it cannot be looked at ("No such file or directory", "Permission denied"),
// "it is a folder", "it is not a regular file" or "it is not a folder"; empty when it is.
enum class PathKind { File, Folder };
std::string WhyNotA(const std::string& path, PathKind wanted);

// Command entry points, one file each.
int RunInspect(const std::vector<std::string>& args, CliContext& context);
int RunAttrib(const std::vector<std::string>& args, CliContext& context);
int RunTouch(const std::vector<std::string>& args, CliContext& context);
int RunTerminate(const std::vector<std::string>& args, CliContext& context);
int RunHolders(const std::vector<std::string>& args, CliContext& context);
int RunFolderDate(const std::vector<std::string>& args, CliContext& context);
int RunZip(const std::vector<std::string>& args, CliContext& context);
int RunProtect(const std::vector<std::string>& args, CliContext& context);
int RunUnzip(const std::vector<std::string>& args, CliContext& context);
int RunRestore(const std::vector<std::string>& args, CliContext& context);
int RunGunzip(const std::vector<std::string>& args, CliContext& context);
int RunLnk(const std::vector<std::string>& args, CliContext& context);
int RunList(const std::vector<std::string>& args, CliContext& context);
int RunTest(const std::vector<std::string>& args, CliContext& context);

} // namespace velmora::cli
