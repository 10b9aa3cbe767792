// Runs a fuzz target's entry point once for every file of the given folders (or files),
// so the seed corpus is replayed by CTest without a fuzzing engine. A seed's name states
// its expected outcome: "ok_..." must succeed and "bad_..." must fail; every seed is
// listed with what happened.
#include "FuzzSandbox.h"
#include "SeedNames.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {
// Returns false when the outcome differs from the one the name expects.
bool RunOne(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    velmora::fuzz::g_outcome = -1;
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    const std::string name = path.filename().string();
    const int expected = velmora::fuzz::NeedsMissingLibrary(name) ? 0
                         : name.rfind("ok_", 0) == 0              ? 1
                         : name.rfind("bad_", 0) == 0             ? 0
                                                                  : -1;
    const int got = velmora::fuzz::g_outcome;
    const bool match = expected != -1 && got == expected;
    std::printf("%-9s %-7s %s\n",
                got == 1   ? "succeeded"
                : got == 0 ? "failed"
                           : "-",
                match ? "as named" : "WRONG", name.c_str());
    return match;
}
} // namespace

int main(int argc, char** argv)
{
    std::vector<std::filesystem::path> seeds;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path arg = argv[i];
        if (std::filesystem::is_directory(arg)) {
            for (const auto& entry : std::filesystem::directory_iterator(arg)) {
                if (entry.is_regular_file()) seeds.push_back(entry.path());
            }
        } else {
            seeds.push_back(arg);
        }
    }
    std::sort(seeds.begin(), seeds.end());
    std::size_t wrong = 0;
    for (const auto& seed : seeds)
        wrong += RunOne(seed) ? 0 : 1;
    std::printf("replayed %zu inputs, %zu with an unexpected outcome\n", seeds.size(), wrong);
    return !seeds.empty() && wrong == 0 ? 0 : 1;
}
