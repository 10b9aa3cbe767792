// The texts that say why a protect request names no folder or no place for its archive.
#include "protect/ProtectRefusals.h"

#include "common/FolderSafety.h"
#include "common/LanguageText.h"

#include <system_error>

namespace velmora {

namespace fs = std::filesystem;

namespace {
constexpr TextPair kNoFolder{"No folder is given.", "Es ist kein Ordner angegeben."};
constexpr TextPair kNoArchive{"No archive name is given.", "Es ist kein Archivname angegeben."};
constexpr TextPair kFolderMissing{"The folder does not exist.", "Der Ordner existiert nicht."};
constexpr TextPair kFolderIsLink{"The folder is a symbolic link; links are not followed.",
                                 "Der Ordner ist eine symbolische Verknüpfung; Verknüpfungen werden nicht verfolgt."};
constexpr TextPair kNotAFolder{"The path is not a folder.", "Der Pfad ist kein Ordner."};
constexpr TextPair kArchiveInside{"The archive would lie inside the folder it replaces.",
                                  "Das Archiv läge in dem Ordner, den es ersetzt."};
constexpr TextPair kArchiveIsFolder{"The archive name is a folder.", "Der Archivname ist ein Ordner."};

bool IsFolderItself(const fs::path& path)
{
    std::error_code ec;
    return fs::is_directory(fs::symlink_status(path, ec));
}
} // namespace

std::string InvalidProtectReason(const fs::path& folder, const fs::path& zipPath, std::int32_t language)
{
    if (folder.empty()) return Pick(language, kNoFolder);
    if (zipPath.empty()) return Pick(language, kNoArchive);
    std::error_code ec;
    const fs::file_status own = fs::symlink_status(folder, ec);
    if (own.type() == fs::file_type::not_found) return Pick(language, kFolderMissing);
    if (fs::is_symlink(own)) return Pick(language, kFolderIsLink);
    if (!IsFolderItself(folder)) return Pick(language, kNotAFolder);
    if (IsSameOrInside(zipPath, folder)) return Pick(language, kArchiveInside);
    if (IsFolderItself(zipPath)) return Pick(language, kArchiveIsFolder);
    return {};
}

} // namespace velmora
