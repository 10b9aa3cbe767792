#pragma once
// A private folder per fuzzing process: the input is written there as a file, the
// readers extract into its "out" folder, and afterwards nothing may exist outside it.
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace velmora::fuzz {

// The last input's outcome (1 success, 0 failure), for the replay driver, which compares
// it with the seed's name: "ok_..." must succeed, "bad_..." must fail.
inline int g_outcome = -1;
inline void RecordOutcome(bool ok)
{
    g_outcome = ok ? 1 : 0;
}

class Sandbox {
public:
    Sandbox()
    {
        std::random_device rd;
        m_root =
            std::filesystem::temp_directory_path() / ("velmora-fuzz-" + std::to_string(rd()) + std::to_string(rd()));
        std::filesystem::create_directories(m_root);
    }
    ~Sandbox()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_root, ec);
    }
    const std::filesystem::path& Root() const { return m_root; }
    std::filesystem::path Input(const char* name, const std::uint8_t* data, std::size_t size)
    {
        Reset();
        const std::filesystem::path path = m_root / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        return path;
    }
    std::filesystem::path Out() const { return m_root / "out"; }
    // Aborts when anything besides the input and "out" appeared in the sandbox root.
    void CheckNothingEscaped(const char* inputName) const
    {
        for (const auto& entry : std::filesystem::directory_iterator(m_root)) {
            const std::string name = entry.path().filename().string();
            if (name != inputName && name != "out") {
                std::abort();
            }
            if (std::filesystem::is_symlink(entry.symlink_status())) {
                std::abort();
            }
        }
        std::error_code ec;
        for (auto it = std::filesystem::recursive_directory_iterator(Out(), ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); ++it) {
            if (it->is_symlink() || IsTemporaryName(it->path().filename().string())) {
                std::abort(); // no links created, no temporary leftovers
            }
        }
    }

private:
    // The engine's temporary names: "." + name + "." + 12 hex digits + ".part".
    static bool IsTemporaryName(const std::string& name)
    {
        const std::size_t n = name.size();
        if (n < 19 || name[0] != '.' || name.compare(n - 5, 5, ".part") != 0 || name[n - 18] != '.') return false;
        for (std::size_t i = n - 17; i < n - 5; ++i) {
            if (!std::isxdigit(static_cast<unsigned char>(name[i]))) return false;
        }
        return true;
    }
    void Reset()
    {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(m_root, ec)) {
            std::filesystem::remove_all(entry.path(), ec);
        }
    }
    std::filesystem::path m_root;
};

} // namespace velmora::fuzz
