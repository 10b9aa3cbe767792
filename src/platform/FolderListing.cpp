// The default folder listing: std::filesystem for the status of each entry, the
// attribute service's ReadAttributes for its word.
#include "common/Utf8Path.h"
#include "platform/IFileAttributes.h"

#include <cerrno>

namespace velmora {

namespace fs = std::filesystem;

Result<std::vector<FolderEntry>> IFileAttributes::ListFolder(const std::string& folder, bool followLinks)
{
    std::vector<FolderEntry> entries;
    std::error_code ec;
    fs::directory_iterator it(PathFromUtf8(folder), ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const fs::path path = it->path();
        FolderEntry entry;
        entry.name = Utf8FromPath(path.filename());
        std::error_code statError;
        const fs::file_status status = followLinks ? fs::status(path, statError) : fs::symlink_status(path, statError);
        if (statError || !fs::exists(status)) {
            entry.kind = FolderEntry::Kind::Unreadable;
            entry.error = statError ? statError.value() : ENOENT;
        } else if (fs::is_symlink(status)) {
            entry.kind = FolderEntry::Kind::Link;
        } else if (fs::is_directory(status) || fs::is_regular_file(status)) {
            entry.kind = fs::is_directory(status) ? FolderEntry::Kind::Folder : FolderEntry::Kind::File;
            entry.permissions = status.permissions();
            if (entry.kind == FolderEntry::Kind::File) entry.size = fs::file_size(path, statError);
            entry.modified = fs::last_write_time(path, statError);
            entry.attributes = ReadAttributes(Utf8FromPath(path));
        }
        entries.push_back(std::move(entry));
    }
    if (ec) return Fail(ErrorFromErrno(ec.value(), folder, kListFolderFailed));
    return entries;
}

} // namespace velmora
