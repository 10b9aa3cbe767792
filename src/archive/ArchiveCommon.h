#pragma once
// Types shared by the archive writer and readers: progress, cancellation, the
// attribute lookup that decides which files count as hidden or system, and the
// files an archive is made of.
#include "common/Errors.h"
#include "common/LanguageText.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace velmora {

// An Error thrown inside the archive code and the protected-folder code built on it,
// where a failure deep in a walk or a write ends the whole operation. It never leaves
// them: their entry points catch it and return the Error. what() is its English text.
class ArchiveFailure : public std::runtime_error {
public:
    explicit ArchiveFailure(Error error) : std::runtime_error(ErrorText(error, kEnglish)), m_error(std::move(error)) {}
    const Error& error() const { return m_error; }

private:
    Error m_error;
};

// The Error of an exception caught at an entry point: an ArchiveFailure's own, any other
// with its text as the detail.
Error CaughtError(const std::exception& caught);

class IFileAttributes;
class FolderHandle;
struct FolderEntry;

// Windows attribute bits as stored in ZIP external attributes and used by the selection.
inline constexpr std::uint32_t kAttrReadOnly = 0x01;
inline constexpr std::uint32_t kAttrHidden = 0x02;
inline constexpr std::uint32_t kAttrSystem = 0x04;
inline constexpr std::uint32_t kAttrDirectory = 0x10;
inline constexpr std::uint32_t kAttrArchive = 0x20;

// Called with the bytes processed so far and the total. It is always called on the
// thread that runs the operation (never from the engine's helper threads) and never
// concurrently, so a window may forward it with a queued signal.
using ProgressCallback = std::function<void(std::uint64_t done, std::uint64_t total)>;

// Optional cancellation: the operation stops soon after the flag becomes true and
// then fails, leaving no partial output behind.
using CancelFlag = const std::atomic<bool>*;

// Returns the Windows attribute word of a file or folder (hidden 0x02, system 0x04,
// archive 0x20, ...), or nullopt when it cannot be read. The platform's attribute
// service fills this; without one the engine treats names starting with "." as hidden
// and every file as 0x20 (archive).
using AttributeReader = std::function<std::optional<std::uint32_t>(const std::filesystem::path&)>;

// Lists a folder's entries with their status and attribute words in one pass (see
// IFileAttributes::ListFolder); false with error set when the folder cannot be listed.
// The platform's attribute service fills this; without one the engine walks with
// std::filesystem and asks the AttributeReader per entry.
using FolderLister = std::function<bool(const std::filesystem::path& folder, bool followLinks,
                                        std::vector<FolderEntry>& entries, int& error)>;

// The attribute reader and the folder lister of an attribute service (empty for null).
AttributeReader AttributeReaderOf(IFileAttributes* service);
FolderLister FolderListerOf(IFileAttributes* service);

// What the folder walk learnt of a source, so that the writer need not ask again.
struct ZipSourceStatus {
    std::uint64_t size = 0;
    std::filesystem::file_time_type modified{};
    std::filesystem::perms permissions = std::filesystem::perms::unknown;
    std::optional<std::uint32_t> attributes = std::nullopt; // as the attribute reader gives it
};

// One file (or folder, when isDirectory) to enter into an archive.
struct ZipSource {
    std::filesystem::path path; // where the data is read from
    std::string name;           // entry name in UTF-8, "/" between folder parts
    bool isDirectory = false;
    // Filled by the folder walk; without it the writer reads the status itself.
    std::optional<ZipSourceStatus> status = std::nullopt;
    // Filled by the walk of a whole tree: the data is read from `beneath` below the walked
    // folder, held open, through held folders and never through a link, so a subfolder
    // replaced by a link while it is read cannot bring in files from elsewhere.
    std::shared_ptr<FolderHandle> root = nullptr;
    std::filesystem::path beneath = {};
};

// The engine's fallback rule when no attribute reader is given.
std::uint32_t DefaultAttributes(const std::filesystem::path& path, bool isDirectory);

} // namespace velmora
