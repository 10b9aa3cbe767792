#pragma once
// Runs velmora-cli for a test: in this process (the commands on a platform of the test's
// choosing, by default the fake one with a fixed random source), or the built program in a
// child process where a test needs a real process (killed runs, a shell's quoting). Either
// way the result is the exit code and what went to stdout and stderr. The program's
// messages are English only, so there is no language to choose.
#include "ArchiveTestSupport.h"
#include "FakePlatform.h"
#include "Peers.h"
#include "cli/CliCommand.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace velmora::test {

struct CliRun {
    int code = -1;
    std::string out;
    std::string err;
    bool progressToTerminal = false; // in process: whether the run still meant to show progress at its end
};

// The commands in this process on the given platform; terminal: stderr counts as a
// terminal, so long runs may show progress.
inline CliRun Cli(const std::vector<std::string>& args, Platform& platform, bool terminal = false)
{
    std::ostringstream out, err;
    cli::CliContext context{platform, out, err, terminal};
    const int code = cli::RunCli(args, context);
    return {code, out.str(), err.str(), context.progressToTerminal};
}

// The commands in this process on the inert fake platform, its random source counting up
// (so encrypted archives come out the same in every run).
inline CliRun Cli(const std::vector<std::string>& args)
{
    CountingRandom random;
    FakePlatform platform;
    platform.random = &random;
    return Cli(args, platform);
}

// The built program with a /bin/sh argument line (quoted by the caller, so a test can use
// the shell's own means to make odd names); stderr is kept in errFile.
inline CliRun RunBuiltCli(const std::string& shellArguments, const std::filesystem::path& errFile)
{
    const ShellResult run = RunShell("{ " + ShellQuote(BuiltCli().string()) + " " + shellArguments + " 2>" +
                                     ShellQuote(errFile.string()) + "; }");
    return {run.code, run.output, ReadFile(errFile)};
}

// The built program with these arguments.
inline CliRun RunBuiltCli(const std::vector<std::string>& args, const std::filesystem::path& errFile)
{
    std::string line;
    for (const std::string& arg : args)
        line += (line.empty() ? "" : " ") + ShellQuote(arg);
    return RunBuiltCli(line, errFile);
}

} // namespace velmora::test
