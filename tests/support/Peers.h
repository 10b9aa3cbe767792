#pragma once
// The peer tools the tests build archives with and check archives against (Info-ZIP zip
// and unzip, 7-Zip's 7zz, Python, gzip, bsdtar), and the shell they run in. Free of any
// test framework, so the GoogleTest suites and the QTest suites share it; PeerGate.h
// turns a missing tool into a skip or a failure for GoogleTest.
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <sys/wait.h>
#endif

namespace velmora::test {

// The string in single quotes for /bin/sh.
inline std::string ShellQuote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

struct ShellResult {
    int code = -1;
    std::string output; // stdout and stderr together
};

// Runs a /bin/sh command line to its end: its exit code and everything it printed.
inline ShellResult RunShell(const std::string& command)
{
    ShellResult result;
#if defined(_WIN32)
    std::FILE* pipe = ::_popen((command + " 2>&1").c_str(), "r");
#else
    std::FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
#endif
    if (!pipe) {
        return result;
    }
    std::array<char, 4096> buffer{};
    for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;) {
        result.output.append(buffer.data(), n);
    }
#if defined(_WIN32)
    result.code = ::_pclose(pipe);
#else
    const int status = ::pclose(pipe);
    result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    return result;
}

inline bool HaveTool(const std::string& tool)
{
    return RunShell("command -v " + tool).code == 0;
}

// Why a test that needs these tools cannot run here: "" when every one is installed,
// otherwise the missing ones by name and where they come from.
inline std::string MissingPeers(const std::vector<std::string>& tools)
{
    std::string missing;
    for (const std::string& tool : tools) {
        if (!HaveTool(tool)) missing += (missing.empty() ? "" : ", ") + tool;
    }
    if (missing.empty()) return missing;
    return "peer tool missing: " + missing + " (scripts/install-deps.sh installs the peers)";
}

} // namespace velmora::test
