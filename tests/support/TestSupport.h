#pragma once
// Small helpers shared by the test suites: throw-away folders and files.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>

// The Windows build's C++ library (mingw-w64 libstdc++) cannot make symbolic links
// (std::filesystem::create_symlink fails with "Function not implemented"). Tests that need
// them say so and are skipped there.
#if defined(_WIN32)
#define VELMORA_SKIP_WITHOUT_SYMLINKS()                                                                                \
    GTEST_SKIP() << "symbolic links cannot be made by the C++ library of the Windows build"
#else
#define VELMORA_SKIP_WITHOUT_SYMLINKS() (void)0
#endif

namespace velmora::test {

// A fresh folder under the temporary folder, removed with everything in it at the end.
class TempDir {
public:
    TempDir()
    {
        std::random_device rd;
        const char* base = std::getenv("TMPDIR");
        std::filesystem::path root = base && *base ? base : "/tmp";
        m_path = root / ("velmora-test-" + std::to_string(rd()) + std::to_string(rd()));
        std::filesystem::create_directories(m_path);
    }
    ~TempDir()
    {
        std::error_code ec;
        // Give back write permission first, so read-only content can be removed.
        for (auto it = std::filesystem::recursive_directory_iterator(m_path, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
        }
        std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    // name in UTF-8, as the program keeps paths (through char8_t, so Windows reads it so too).
    std::filesystem::path operator/(std::string_view name) const
    {
        return m_path / std::u8string_view(reinterpret_cast<const char8_t*>(name.data()), name.size());
    }

private:
    std::filesystem::path m_path;
};

// The built command-line program: in bin/ of the build folder (VELMORA_BIN_DIR, or two
// levels above the running test).
inline std::filesystem::path BuiltCli()
{
    const char* bin = std::getenv("VELMORA_BIN_DIR");
    const std::filesystem::path folder =
        bin && *bin ? std::filesystem::path(bin)
                    : std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path().parent_path() / "bin";
    return folder / "velmora-cli";
}

inline void WriteFile(const std::filesystem::path& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace velmora::test
