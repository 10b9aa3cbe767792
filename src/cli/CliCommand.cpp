#include "cli/CliCommand.h"
#include "cli/CommandParser.h"
#include "cli/HelpPage.h"
#include "common/QuotedName.h"
#include "common/Utf8Path.h"

#include <filesystem>
#include <ostream>
#include <system_error>

namespace velmora::cli {

int UsageError(const std::string& name, const std::string& message, CliContext& context)
{
    context.err << "velmora-cli " << name << ": " << message << "\n";
    if (const CommandDefinition* c = FindCommand(name)) context.err << "Usage: velmora-cli " << c->synopsis << "\n";
    return kExitUsage;
}

std::string WhyNotA(const std::string& path, PathKind wanted)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::status(PathFromUtf8(path), ec);
    if (status.type() == fs::file_type::not_found)
        return std::make_error_code(std::errc::no_such_file_or_directory).message();
    if (ec) return ec.message();
    if (fs::is_directory(status)) return wanted == PathKind::Folder ? std::string() : "it is a folder";
    if (wanted == PathKind::Folder) return "it is not a folder";
    return fs::is_regular_file(status) ? std::string() : "it is not a regular file";
}

int RunCli(const std::vector<std::string>& args, CliContext& context)
{
    if (args.empty()) {
        PrintOverview(context.err);
        return kExitUsage;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        PrintOverview(context.out);
        return kExitOk;
    }
    if (args[0] == "--version") {
        context.out << "velmora-cli " << VELMORA_VERSION_TEXT << "\n";
        return kExitOk;
    }
    const CommandDefinition* command = FindCommand(args[0]);
    if (command == nullptr) {
        context.err << "velmora-cli: unknown command " << QuotedInText(args[0]) << "\n\n";
        PrintOverview(context.err);
        return kExitUsage;
    }
    CommandArgs parsed;
    if (const std::optional<int> exit = ParseCommand(*command, {args.begin() + 1, args.end()}, context, parsed))
        return *exit;
    try {
        return command->run(parsed, context);
    } catch (const std::exception& error) {
        context.err << "velmora-cli " << command->name << ": " << error.what() << "\n";
        return kExitFailed;
    }
}

} // namespace velmora::cli
