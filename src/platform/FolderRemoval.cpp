#include "platform/FolderRemoval.h"

#include "common/Errors.h"
#include "common/Utf8Path.h"
#include "platform/FolderHandle.h"

#include <cerrno>

namespace velmora {

namespace fs = std::filesystem;

Result<void> DeleteFolderPermanently(const fs::path& folder)
{
    // Everything is removed through held folders, each entered without following a link:
    // a subfolder replaced by a link part way loses the link, never what it points to.
    fs::path target = folder;
    if (!target.has_filename() && target.has_relative_path()) target = target.parent_path(); // "a/b/"
    const fs::path name = target.filename();
    const fs::path parent = target.parent_path(); // empty for a bare name: the working folder
    int failure = 0;
    const std::shared_ptr<FolderHandle> held =
        name.empty() || IsDotOrDotDot(name) ? nullptr : OpenFolderHandle(parent, failure);
    if (!held) return Fail(ErrorFromErrno(failure ? failure : EINVAL, Utf8FromPath(folder), "Deleting"));
    failure = held->RemoveTree(name);
    if (failure != 0) return Fail(ErrorFromErrno(failure, Utf8FromPath(folder), "Deleting"));
    FolderItem item;
    if (held->Look(name, item) == 0 && item.kind == FolderItem::Kind::Missing) return Ok();
    // The whole statement is the detail: the path stands inside it.
    return Fail(
        Error{Error::Kind::Exists, {}, 0, "Deleting '" + Utf8FromPath(folder) + "': the folder is still there"});
}

} // namespace velmora
