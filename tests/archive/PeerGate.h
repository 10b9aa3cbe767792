#pragma once
// The gate every archive our tests write must pass: Debian's unzip -t (with -P when a
// password is given), 7-Zip's "t" and Python's ZipFile.testzip(). A missing tool fails
// the test that asked, naming the tool; nothing passes unchecked.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

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

inline ShellResult RunShell(const std::string& command)
{
    ShellResult result;
    std::FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) {
        return result;
    }
    std::array<char, 4096> buffer{};
    for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;) {
        result.output.append(buffer.data(), n);
    }
    const int status = ::pclose(pipe);
    result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

inline bool HaveTool(const std::string& tool)
{
    return RunShell("command -v " + tool).code == 0;
}

// Each peer must test the archive without a complaint (exit 0).
inline void ExpectPeersAccept(const std::filesystem::path& archive, const std::string& password = {})
{
    const std::string path = ShellQuote(archive.string());
    const struct {
        const char* tool;
        std::string command;
    } peers[] = {
        {"unzip", "unzip -tq " + (password.empty() ? std::string() : "-P " + ShellQuote(password) + " ") + path},
        {"7zz", "7zz t -bd " + (password.empty() ? std::string() : ShellQuote("-p" + password) + " ") + path},
        {"python3", "python3 -c " +
                        ShellQuote("import sys,zipfile\n"
                                   "z=zipfile.ZipFile(sys.argv[1])\n"
                                   "z.setpassword(sys.argv[2].encode())\n"
                                   "bad=z.testzip()\n"
                                   "sys.exit(bad is not None and print('bad entry', bad) is None)") +
                        " " + path + " " + ShellQuote(password)},
    };
    for (const auto& peer : peers) {
        if (!HaveTool(peer.tool)) {
            ADD_FAILURE() << "peer gate: '" << peer.tool << "' is not installed (scripts/install-deps.sh)";
            continue;
        }
        ShellResult result = RunShell(peer.command);
        if (peer.tool == std::string("unzip") && result.code == 1 &&
            result.output.find("zipfile is empty") != std::string::npos) {
            result.code = 0; // its warning for every archive without entries
        }
        EXPECT_EQ(result.code, 0) << "peer gate: " << peer.tool << " refuses " << archive << "\n" << result.output;
    }
}

} // namespace velmora::test
