#pragma once
// One extraction run over one ZIP archive, shared by the reader's entry points and the
// protected-folder restore: the request, the state that spans the archives of a restore,
// and the helpers both need. Internal to src/archive.
#include "archive/EntryLayers.h"
#include "archive/zip/NameSet.h"
#include "archive/zip/ZipReader.h"
#include "platform/FolderHandle.h"
#include "platform/UnnamedFile.h"

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace velmora::extraction {

namespace fs = std::filesystem;
using archive::ExtractError;
using archive::SharedArchive;

// True for an entry that records a Unix symbolic link.
bool IsSymlinkEntry(const ZipEntryInfo& e);

enum class Mode { KeepFolders, Flatten, Verify };

// A folder mode recorded in the archive, applied once everything inside is written.
struct FolderMode {
    fs::path path;     // under the target, as named in messages
    fs::path relative; // below the target's held folder
    unsigned mode = 0;
};

// State that outlives one archive: a protected restore reads two archives into one target
// and the clash rule spans both.
struct RunState {
    archive::NameSet claimed;          // output paths written (or being written)
    std::set<fs::path> createdFolders; // folders this run made
    // Folders of this run held open, by path: every file and folder below the target is
    // made through them, so a folder replaced by a link part way is never written through.
    std::map<fs::path, std::shared_ptr<FolderHandle>> heldFolders;
    std::set<fs::path> madeLinks; // links this run made, by path (target/relative)
    std::vector<FolderMode> folderModes;
};

struct ExtractRequest {
    fs::path archive;
    SharedArchive* opened = nullptr; // read through this handle instead of opening archive
    fs::path notOver;                // never written over (default: archive)
    fs::path target;
    std::shared_ptr<FolderHandle> targetFolder; // target, held open (opened here when not given)
    bool targetMadeHere = false;                // this run made target: it may not be a link
    Mode mode = Mode::KeepFolders;
    bool flatVerify = false; // Verify: compare with the paths a flat extraction writes
    const std::string* password = nullptr;
    const ZipExtractOptions* options = nullptr;
    const std::vector<ZipSource>* sources = nullptr;
    RunState* state = nullptr;
    // When given: a file entry that extracts to keptName is checked but not given a name;
    // its unnamed file is handed over here.
    std::unique_ptr<UnnamedFile>* kept = nullptr;
    std::string keptName;
};

// Opens, and creates where missing, the folders of relative below the held target folder,
// one part at a time, never through a link and never over a file; the folders it made are
// added to state.createdFolders. Returns the innermost folder, or nullptr with error set.
std::shared_ptr<FolderHandle> MakeFolders(const std::shared_ptr<FolderHandle>& root, const fs::path& target,
                                          const fs::path& relative, RunState& state,
                                          std::optional<ExtractError>& error);

// Applies the recorded modes of the folders this run created, deepest first, so a folder
// without write permission is closed only after everything inside it is written. Each
// folder is reached from the held target without following a link.
void ApplyFolderModes(RunState& state, const std::shared_ptr<FolderHandle>& root);

// Runs one extraction over request.archive.
ZipExtractResult Extract(const ExtractRequest& request);

// A result that failed before any entry, with error as its failure.
ZipExtractResult Failed(const ExtractError& error);
ZipExtractResult Failed(velmora::Error error);

// The result when target was missing and could not be created (err: the system's error).
ZipExtractResult TargetNotMade(const fs::path& target, int err);

} // namespace velmora::extraction
