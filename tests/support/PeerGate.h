#pragma once
// The peer gates of the GoogleTest suites, in one place.
// - VELMORA_SKIP_WITHOUT_PEERS("7zz", ...): a test that only adds cover where the peer
//   exists is skipped without it, naming what is missing.
// - VELMORA_REQUIRE_PEERS("zip", ...): a test whose cases must be checked fails without it.
// - ExpectPeersAccept(archive): every archive our tests write must pass Debian's
//   unzip -t (with -P when a password is given), 7-Zip's "t" and Python's
//   ZipFile.testzip(). A missing tool fails the test that asked; nothing passes unchecked.
#include "Peers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#define VELMORA_SKIP_WITHOUT_PEERS(...)                                                                                \
    if (const std::string velmoraMissing = ::velmora::test::MissingPeers({__VA_ARGS__}); !velmoraMissing.empty())      \
    GTEST_SKIP() << velmoraMissing

#define VELMORA_REQUIRE_PEERS(...)                                                                                     \
    if (const std::string velmoraMissing = ::velmora::test::MissingPeers({__VA_ARGS__}); !velmoraMissing.empty())      \
    GTEST_FAIL() << velmoraMissing

namespace velmora::test {

// Each peer must test the archive without a complaint (exit 0).
inline void ExpectPeersAccept(const std::filesystem::path& archive, const std::string& password = {})
{
#if defined(_WIN32)
    // The peers are Linux programs: under Wine the companion test (win32_cli_tests) puts
    // the Windows build's archives through Info-ZIP instead.
    (void)password;
    std::printf("note: peer gate for %s runs in the Linux build and in win32_cli_tests\n", archive.string().c_str());
    return;
#endif
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
        if (const std::string missing = MissingPeers({peer.tool}); !missing.empty()) {
            ADD_FAILURE() << "peer gate: " << missing;
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
