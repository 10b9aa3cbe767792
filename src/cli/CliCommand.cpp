#include "cli/CliCommand.h"
#include "common/QuotedName.h"

#include "common/Utf8Path.h"

#include <filesystem>
#include <ostream>
#include <system_error>

namespace velmora::cli {

const std::vector<CliCommand>& Commands()
{
    static const std::vector<CliCommand> commands = {
        {"inspect", "inspect [--json] PATH", "show what the main window shows about a file", RunInspect},
        {"attrib", "attrib PATH [LETTERS]",
         "print the attributes, or write exactly LETTERS (from A R H S, or - for none)", RunAttrib},
        {"touch", "touch PATH \"YYYY-MM-DD[ HH:MM[:SS]]\"", "set a new modification time (2-second steps)", RunTouch},
        {"terminate", "terminate NAME | terminate --pid N",
         "end every process whose program file is NAME, or the one process N", RunTerminate},
        {"holders", "holders PATH [--json]", "list the processes that hold a file or work inside a folder, and how",
         RunHolders},
        {"folder-date", "folder-date DATE FOLDER...", "set the folders' times to DATE (YYYY-MM-DD)", RunFolderDate},
        {"zip", "zip FOLDER ARCHIVE [--password P [--aes]] [--overwrite] [--recursive]",
         "pack a folder's own files into a ZIP archive; with --recursive, its whole tree. --password uses the\n"
         "      traditional ZIP encryption, which is weak: it is easily broken and protects only against casual\n"
         "      reading. Add --aes for AES-256 (opened by 7-Zip, WinZip and other current tools, not by old\n"
         "      unzip programs)",
         RunZip},
        {"protect", "protect FOLDER ARCHIVE --password P", "replace a folder by a password-protected archive",
         RunProtect},
        {"unzip", "unzip ARCHIVE FOLDER [--password P] [--links=inside|all|skip]",
         "extract a ZIP archive with its folders, encrypted or not. Entries may be stored or compressed\n"
         "      with Deflate, Deflate64, BZip2, LZMA, XZ, Zstandard or PPMd, and encrypted with the traditional\n"
         "      ZIP encryption or AES. Symbolic links become links when their target stays inside FOLDER\n"
         "      (--links=inside, the default), always (all) or never (skip); the others are named in a\n"
         "      warning. Nothing is ever written through a link",
         RunUnzip},
        {"restore", "restore ARCHIVE FOLDER --password P", "restore a protected folder (its files flat into FOLDER)",
         RunRestore},
        {"list", "list ARCHIVE [--json]", "list a ZIP archive's entries: sizes, methods, encryption, times", RunList},
        {"test", "test ARCHIVE [--password P]",
         "check every entry of a ZIP archive (sizes, CRC-32, AES authentication) without writing anything", RunTest},
        {"gunzip", "gunzip FILE", "extract a gzip file under the name stored in it", RunGunzip},
        {"lnk", "lnk TARGET LINK [--args PARAMETER]", "write a shortcut (.lnk) file", RunLnk},
    };
    return commands;
}

namespace {
void PrintOverview(std::ostream& out)
{
    out << "Usage: velmora-cli COMMAND [ARGS]\n\n"
           "Shows and changes the properties of files, packs and extracts archives,\n"
           "and writes shortcut files. Exit status: 0 success, 1 failure, 2 usage error.\n\n"
           "Commands:\n";
    for (const CliCommand& c : Commands()) {
        out << "  velmora-cli " << c.synopsis << "\n      " << c.summary << "\n";
    }
    out << "\nLong zip, unzip, protect and gunzip runs show their progress on stderr when it is a\n"
           "terminal; --quiet keeps them silent.\n"
           "Run 'velmora-cli COMMAND --help' for one command.\n";
}

const CliCommand* Find(const std::string& name)
{
    for (const CliCommand& c : Commands()) {
        if (name == c.name) return &c;
    }
    return nullptr;
}
} // namespace

bool WantsHelp(const std::vector<std::string>& args)
{
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h") return true;
    }
    return false;
}

int PrintCommandHelp(const std::string& name, CliContext& context)
{
    if (const CliCommand* c = Find(name)) {
        context.out << "Usage: velmora-cli " << c->synopsis << "\n\n" << c->summary << "\n";
    }
    return kExitOk;
}

int UsageError(const std::string& name, const std::string& message, CliContext& context)
{
    context.err << "velmora-cli " << name << ": " << message << "\n";
    if (const CliCommand* c = Find(name)) context.err << "Usage: velmora-cli " << c->synopsis << "\n";
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

int NotAvailableYet(const std::string& name, CliContext& context)
{
    context.err << "velmora-cli " << name << ": not available yet\n";
    return kExitFailed;
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
    const CliCommand* command = Find(args[0]);
    if (command == nullptr) {
        context.err << "velmora-cli: unknown command " << QuotedInText(args[0]) << "\n\n";
        PrintOverview(context.err);
        return kExitUsage;
    }
    // --quiet (anywhere after the command) keeps long runs from showing their progress line.
    std::vector<std::string> rest;
    for (auto it = args.begin() + 1; it != args.end(); ++it) {
        if (*it == "--quiet") {
            context.progressToTerminal = false;
        } else {
            rest.push_back(*it);
        }
    }
    if (WantsHelp(rest)) return PrintCommandHelp(command->name, context);
    try {
        return command->run(rest, context);
    } catch (const std::exception& error) {
        context.err << "velmora-cli " << command->name << ": " << error.what() << "\n";
        return kExitFailed;
    }
}

} // namespace velmora::cli
