// The folders of an extraction run: made one part at a time through held folders, and
// their recorded modes applied at the end.
#include "archive/zip/Extraction.h"
#include "archive/zip/ZipNames.h"

#include "common/Utf8Path.h"

#include <algorithm>
#include <cerrno>

namespace velmora::extraction {

using namespace archive;

// Folders held open at most per run; beyond it they are let go and opened again, part by
// part from a held parent, when needed.
constexpr std::size_t kHeldFolders = 128;

std::shared_ptr<FolderHandle> MakeFolders(const std::shared_ptr<FolderHandle>& root, const fs::path& target,
                                          const fs::path& relative, RunState& state, std::optional<ExtractError>& error)
{
    std::shared_ptr<FolderHandle> folder = root;
    fs::path current = target;
    for (const fs::path& part : relative) {
        current /= part;
        if (const auto held = state.heldFolders.find(current); held != state.heldFolders.end()) {
            folder = held->second;
            continue;
        }
        if (state.madeLinks.count(current)) {
            error = ExtractError{ErrorKind::Link, Utf8FromPath(current), 0, "is a link; nothing is written through it"};
            return nullptr;
        }
        // A file this run writes there may not have its name yet.
        if (state.claimed.Contains(ClashKey(Utf8FromPath(current)))) {
            error = ExtractError{ErrorKind::Clash, Utf8FromPath(current), 0, "is a file, not a folder"};
            return nullptr;
        }
        bool created = false;
        int failure = 0;
        std::shared_ptr<FolderHandle> child =
            folder->Child(part, FolderHandle::ChildMode::OpenOrCreate, &created, failure);
        if (!child) {
            if (failure == ELOOP) {
                error =
                    ExtractError{ErrorKind::Link, Utf8FromPath(current), 0, "is a link; nothing is written through it"};
            } else if (failure == ENOTDIR || failure == EEXIST) {
                error = ExtractError{ErrorKind::Clash, Utf8FromPath(current), 0, "is a file, not a folder"};
            } else {
                error = ExtractError{ErrorKind::Io, Utf8FromPath(current), failure, "Creating folder"};
            }
            return nullptr;
        }
        if (created) state.createdFolders.insert(current);
        if (state.heldFolders.size() >= kHeldFolders) state.heldFolders.clear();
        state.heldFolders.emplace(current, child);
        folder = std::move(child);
    }
    return folder;
}

void ApplyFolderModes(RunState& state, const std::shared_ptr<FolderHandle>& root)
{
    state.heldFolders.clear();
    std::sort(state.folderModes.begin(), state.folderModes.end(),
              [](const FolderMode& a, const FolderMode& b) { return a.path.native().size() > b.path.native().size(); });
    for (const FolderMode& folder : state.folderModes) {
        if (!root || !state.createdFolders.count(folder.path)) continue;
        int error = 0;
        if (const std::shared_ptr<FolderHandle> held = OpenFolderBeneath(root, folder.relative, error)) {
            held->SetMode(folder.mode);
        }
    }
    state.folderModes.clear();
}

} // namespace velmora::extraction
