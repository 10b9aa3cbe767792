#include "common/FolderSafety.h"

#include "common/Errors.h"
#include "common/Utf8Path.h"

namespace velmora {

namespace fs = std::filesystem;

std::string WithoutTrailingSeparator(std::string_view path)
{
    if (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    return std::string(path);
}

namespace {
fs::path Resolved(const fs::path& path)
{
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec);
    if (ec) absolute = path;
    fs::path resolved = fs::weakly_canonical(absolute, ec);
    if (ec) resolved = absolute.lexically_normal();
    // "/a/b/" and "/a/b" name the same folder.
    if (!resolved.has_filename() && resolved.has_relative_path()) resolved = resolved.parent_path();
    return resolved;
}
} // namespace

bool IsSameOrInside(const fs::path& inner, const fs::path& outer)
{
    const fs::path a = Resolved(inner);
    const fs::path b = Resolved(outer);
    auto ai = a.begin();
    for (auto bi = b.begin(); bi != b.end(); ++bi, ++ai) {
        if (bi->empty()) continue; // a trailing empty element
        if (ai == a.end() || *ai != *bi) return false;
    }
    return true;
}

bool IsGuardedFolder(const fs::path& folder, const std::vector<fs::path>& keep)
{
    const fs::path resolved = Resolved(folder);
    if (resolved == resolved.root_path()) return true;
    for (const fs::path& p : keep) {
        if (!p.empty() && IsSameOrInside(p, folder)) return true;
    }
    return false;
}

std::vector<fs::path> GuardedPaths(std::string_view programFile, std::string_view homeFolder)
{
    std::vector<fs::path> keep;
    if (!programFile.empty()) keep.push_back(PathFromUtf8(programFile));
    if (!homeFolder.empty()) keep.push_back(PathFromUtf8(homeFolder));
    return keep;
}

} // namespace velmora
