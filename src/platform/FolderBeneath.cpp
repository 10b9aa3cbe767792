// Walks below a held folder one part at a time; each system's FolderHandle refuses links.
#include "platform/FolderHandle.h"

#include <cerrno>

namespace velmora {

namespace fs = std::filesystem;

std::shared_ptr<FolderHandle> OpenFolderBeneath(const std::shared_ptr<FolderHandle>& root, const fs::path& relative,
                                                int& error, fs::path* failedPart)
{
    std::shared_ptr<FolderHandle> folder = root;
    fs::path walked;
    for (const fs::path& part : relative) {
        if (part.empty() || (part.native().size() == 1 && part.native()[0] == '.')) continue;
        walked /= part;
        if (IsDotOrDotDot(part) || part.has_root_name() || part.has_root_directory()) {
            error = EINVAL;
            if (failedPart) *failedPart = walked;
            return nullptr;
        }
        folder = folder->Child(part, FolderHandle::ChildMode::Open, nullptr, error);
        if (!folder) {
            if (failedPart) *failedPart = walked;
            return nullptr;
        }
    }
    return folder;
}

std::FILE* OpenFileBeneath(const std::shared_ptr<FolderHandle>& root, const fs::path& relative, int& error)
{
    const fs::path name = relative.filename();
    if (name.empty() || IsDotOrDotDot(name)) {
        error = EISDIR;
        return nullptr;
    }
    const std::shared_ptr<FolderHandle> folder = OpenFolderBeneath(root, relative.parent_path(), error);
    if (!folder) return nullptr;
    return folder->OpenForReading(name, error);
}

} // namespace velmora
