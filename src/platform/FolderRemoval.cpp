#include "platform/FolderRemoval.h"

#include "common/Errors.h"
#include "common/Utf8Path.h"
#include "platform/FolderHandle.h"

#include <cerrno>

namespace velmora {

namespace fs = std::filesystem;

bool DeleteFolderPermanently(const fs::path& folder, std::string* error)
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
    if (!held) {
        if (error) *error = SystemErrorText("Deleting", Utf8FromPath(folder), failure ? failure : EINVAL);
        return false;
    }
    failure = held->RemoveTree(name);
    if (failure != 0) {
        if (error) *error = SystemErrorText("Deleting", Utf8FromPath(folder), failure);
        return false;
    }
    FolderItem item;
    const bool gone = held->Look(name, item) == 0 && item.kind == FolderItem::Kind::Missing;
    if (!gone && error) *error = "Deleting '" + Utf8FromPath(folder) + "': the folder is still there";
    return gone;
}

} // namespace velmora
