// Restores a protected folder: the outer archive is opened with the password, its inner
// archive checked and extracted into the target, through an unnamed file or a work folder.
#include "archive/zip/ZipReader.h"

#include "archive/ArchiveIo.h"
#include "archive/EntryLayers.h"
#include "archive/WorkerPool.h"
#include "archive/codecs/EntryDecoder.h"
#include "archive/crypto/PkwareCipher.h"
#include "archive/crypto/WinZipAes.h"
#include "archive/zip/Extraction.h"
#include "archive/zip/ZipIndex.h"
#include "archive/zip/ZipNames.h"
#include "common/AsciiText.h"
#include "common/Errors.h"
#include "common/Utf8Path.h"
#include "platform/FolderHandle.h"
#include "platform/UnnamedFile.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <set>

namespace velmora {

using namespace archive;
using namespace extraction;
namespace fs = std::filesystem;

namespace {

constexpr const char* kInnerName = "folder.zip";
constexpr const char* kRestorePrefix = ".velmora-restore-";
// Inside a restore's work folder: the marker that says the folder is ours, and the folder
// the outer archive's files are extracted into.
constexpr const char* kRestoreMarker = "owner";
constexpr const char* kRestoreFiles = "files";
constexpr const char* kRestoreMarkerText = "work folder of a protected-folder restore\n";

bool IsKind(const FolderHandle& folder, const fs::path& name, FolderItem::Kind kind)
{
    FolderItem item;
    return folder.Look(name, item) == 0 && item.kind == kind;
}

// True when the marker file in folder holds our text.
bool HoldsOurMarker(FolderHandle& folder)
{
    int error = 0;
    std::FILE* handle = folder.OpenForReading(PathFromUtf8(kRestoreMarker), error);
    if (!handle) return false;
    StdFile marker;
    marker.Adopt(handle);
    char text[64] = {};
    return marker.Read(text, sizeof text - 1) > 0 && std::string(text) == kRestoreMarkerText;
}

// A work folder left by a restore that was killed part way: named by us, and either empty
// (killed before the marker was written) or holding the marker with its text and nothing
// but the flat files a restore extracts.
bool IsStaleRestoreFolder(FolderHandle& target, const fs::path& name)
{
    const std::string text = Utf8FromPath(name);
    const std::string prefix = kRestorePrefix;
    if (text.size() <= prefix.size() || text.compare(0, prefix.size(), prefix) != 0) return false;
    if (!std::all_of(text.begin() + static_cast<std::ptrdiff_t>(prefix.size()), text.end(),
                     [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    int error = 0;
    const std::shared_ptr<FolderHandle> folder = target.Child(name, FolderHandle::ChildMode::Open, nullptr, error);
    std::vector<fs::path> names;
    if (!folder || folder->List(names) != 0) return false;
    bool marked = false;
    for (const fs::path& part : names) {
        if (part == PathFromUtf8(kRestoreMarker) && IsKind(*folder, part, FolderItem::Kind::File)) {
            marked = HoldsOurMarker(*folder);
            if (!marked) return false;
        } else if (part == PathFromUtf8(kRestoreFiles)) {
            const std::shared_ptr<FolderHandle> files =
                folder->Child(part, FolderHandle::ChildMode::Open, nullptr, error);
            std::vector<fs::path> inside;
            if (!files || files->List(inside) != 0) return false;
            for (const fs::path& file : inside) {
                if (!IsKind(*files, file, FolderItem::Kind::File)) return false;
            }
        } else {
            return false;
        }
    }
    return marked || names.empty();
}

void RemoveStaleRestoreFolders(FolderHandle& target)
{
    std::vector<fs::path> names;
    if (target.List(names) != 0) return;
    for (const fs::path& name : names) {
        if (IsStaleRestoreFolder(target, name)) target.RemoveTree(name);
    }
}

// What both ways of restoring share.
struct RestoreContext {
    fs::path archive;
    fs::path target;
    std::shared_ptr<FolderHandle> folder; // the target, held open
    std::string password;
    const ZipExtractOptions* options = nullptr;
    bool targetExisted = true;

    void DropTargetIfNew()
    {
        if (targetExisted) return;
        // Only an empty folder goes; the handle is let go of first (Windows cannot remove
        // a folder that is held).
        std::vector<fs::path> names;
        if (folder->List(names) != 0 || !names.empty()) return;
        std::error_code ignored;
        folder.reset();
        fs::remove(target, ignored);
    }
    // The outer archive is the first half of the progress, the inner one the second.
    ZipExtractOptions FirstHalf() const
    {
        ZipExtractOptions half = *options;
        if (options->progress) {
            half.progress = [progress = options->progress](std::uint64_t done, std::uint64_t total) {
                progress(done, total * 2);
            };
        }
        return half;
    }
    ZipExtractOptions SecondHalf() const
    {
        ZipExtractOptions half = *options;
        if (options->progress) {
            half.progress = [progress = options->progress](std::uint64_t done, std::uint64_t total) {
                progress(total + done, total * 2);
            };
        }
        return half;
    }
    // A flat extraction of the archive at from into the folder at into (held as intoFolder)
    // with this restore's password.
    ExtractRequest FlatRequest(const fs::path& from, const fs::path& into, std::shared_ptr<FolderHandle> intoFolder,
                               const ZipExtractOptions& half, RunState& state) const
    {
        ExtractRequest request;
        request.archive = from;
        request.target = into;
        request.targetFolder = std::move(intoFolder);
        request.mode = Mode::Flatten;
        request.password = &password;
        request.options = &half;
        request.state = &state;
        return request;
    }
    // A target made here gets the protected folder's mode, which the inner archive
    // carries as its read and write bits; each read bit also gives the search bit.
    void GiveTargetItsMode(RunState& state, unsigned innerBits) const
    {
        if (targetExisted) return;
        const unsigned bits = innerBits & 0666u;
        state.folderModes.push_back({target, fs::path(), bits | ((bits & 0444u) >> 2)});
        state.createdFolders.insert(target);
    }
};

// True when the archive has the protected form: one file, which extracts to folder.zip;
// innerMode is the mode that file records.
bool HoldsOnlyTheInnerArchive(const ZipIndex& index, FileMode& innerMode)
{
    int files = 0;
    bool inner = false;
    for (std::size_t i = 0; i < index.size(); ++i) {
        const ZipEntryInfo e = index.Entry(i);
        bool isDirectory = false;
        const std::optional<std::string> safe = SafeRelativeName(e.name, isDirectory);
        if (!safe || IsSymlinkEntry(e)) return false;
        if (isDirectory) continue;
        ++files;
        inner = PathFromUtf8(*safe).filename() == PathFromUtf8(kInnerName);
        innerMode = RecordedMode(e);
    }
    return files == 1 && inner;
}

// The protected form, where the file system keeps unnamed files: the inner archive is
// decrypted into an unnamed file in the target, checked, and read from there through the
// same handle. It never gets a name, so nothing but its entries can reach the target,
// and a killed run leaves nothing behind. nullopt: the archive has another form or the
// file system no unnamed files; the work folder serves then.
std::optional<ZipExtractResult> RestoreThroughUnnamedInner(RestoreContext& c)
{
    std::optional<SharedArchive> outerFile;
    try {
        outerFile.emplace(c.archive);
    } catch (const LayerFailure&) {
        return std::nullopt; // reported by the general way
    }
    ZipIndex index;
    FileMode innerMode;
    if (!ReadZipIndex(outerFile->File(), c.archive, index) || !HoldsOnlyTheInnerArchive(index, innerMode)) {
        return std::nullopt;
    }
    int probeError = 0;
    if (!c.folder->NewFile(true, probeError)) return std::nullopt;

    std::unique_ptr<UnnamedFile> inner;
    const ZipExtractOptions first = c.FirstHalf();
    RunState outerState;
    ExtractRequest outerRequest = c.FlatRequest(c.archive, c.target, c.folder, first, outerState);
    outerRequest.opened = &*outerFile;
    outerRequest.kept = &inner;
    outerRequest.keptName = kInnerName;
    ZipExtractResult outer = Extract(outerRequest);
    outerRequest.targetFolder.reset(); // the target is let go of only through c.folder
    if (!outer.outcome) {
        c.DropTargetIfNew();
        return outer;
    }
    const fs::path innerPath = c.target / PathFromUtf8(kInnerName); // named in messages only
    std::FILE* handle = inner ? inner->OpenForReading() : nullptr;
    if (!handle) return Failed({ErrorKind::Io, Utf8FromPath(innerPath), inner ? errno : 0, "Reading"});
    StdFile innerHandle;
    innerHandle.Adopt(handle);
    SharedArchive innerArchive(std::move(innerHandle), innerPath);

    const ZipExtractOptions second = c.SecondHalf();
    RunState state;
    c.GiveTargetItsMode(state, innerMode ? *innerMode : NewFileMode());
    ExtractRequest innerRequest = c.FlatRequest(innerPath, c.target, c.folder, second, state);
    innerRequest.opened = &innerArchive;
    innerRequest.notOver = c.archive;
    ZipExtractResult result = Extract(innerRequest);
    ApplyFolderModes(state, c.folder);
    return result;
}

// Any other form, or a file system without unnamed files: the outer archive goes into a
// work folder of our own inside the target first, so nothing of the target changes
// before the password has proved right and the data is checked. The work folder is made,
// filled, emptied and removed through its held handle.
ZipExtractResult RestoreThroughWorkFolder(RestoreContext& c)
{
    fs::path workName;
    std::shared_ptr<FolderHandle> work;
    int error = 0;
    {
        std::mt19937_64 generator{std::random_device{}()};
        for (int attempt = 0; attempt < 50 && !work; ++attempt) {
            workName = PathFromUtf8(kRestorePrefix + std::to_string(generator() % 1000000007u));
            work = c.folder->Child(workName, FolderHandle::ChildMode::CreateNew, nullptr, error);
            if (!work && error != EEXIST) break;
        }
    }
    if (!work) {
        c.DropTargetIfNew();
        return Failed({ErrorKind::Io, Utf8FromPath(c.target), error, "Creating a work folder in"});
    }
    std::shared_ptr<FolderHandle> staging;
    // Removes the work folder with everything in it; held handles are let go of first.
    const auto removeWork = [&] {
        staging.reset();
        work.reset();
        if (!workName.empty()) c.folder->RemoveTree(workName);
        workName.clear();
    };
    struct WorkGuard {
        const std::function<void()> remove;
        ~WorkGuard() { remove(); }
    } guard{removeWork};
    // The marker lets a later restore remove the folder when this one is killed.
    {
        const std::string text = kRestoreMarkerText;
        std::unique_ptr<UnnamedFile> marker = work->NewFile(false, error);
        if (marker && (!marker->Write(text.data(), text.size()) || !marker->SetModeAndTime(0600, std::nullopt))) {
            error = errno;
            marker.reset();
        }
        if (marker) error = marker->Place(PathFromUtf8(kRestoreMarker));
        if (marker && error == 0) {
            staging = work->Child(PathFromUtf8(kRestoreFiles), FolderHandle::ChildMode::CreateNew, nullptr, error);
        }
        if (!marker || error != 0 || !staging) {
            removeWork();
            c.DropTargetIfNew();
            return Failed({ErrorKind::Io, Utf8FromPath(c.target), error, "Creating a work folder in"});
        }
    }
    const fs::path stagingPath = staging->Path();

    const ZipExtractOptions first = c.FirstHalf();
    RunState outerState;
    ExtractRequest outerRequest = c.FlatRequest(c.archive, stagingPath, staging, first, outerState);
    ZipExtractResult outer = Extract(outerRequest);
    outerRequest.targetFolder.reset(); // the work folder is let go of only through staging
    // What failed is named by the path it would have taken in the target, not in the work
    // folder, which is gone when the user reads the message.
    const auto inTarget = [&](Error& error) {
        const std::string from = Utf8FromPath(stagingPath);
        const std::string to = Utf8FromPath(c.target);
        for (std::string* text : {&error.path, &error.detail}) {
            for (std::size_t at = text->find(from); at != std::string::npos; at = text->find(from, at + to.size()))
                text->replace(at, from.size(), to);
        }
    };
    if (!outer.outcome) {
        Error first = outer.outcome.error();
        inTarget(first);
        outer.outcome = velmora::Fail(std::move(first));
    }
    for (Error& failure : outer.failures)
        inTarget(failure);
    if (!outer.outcome && outer.outcome.error().kind == Error::Kind::WrongPassword) {
        removeWork();
        c.DropTargetIfNew();
        return outer;
    }

    RunState state;
    ZipExtractResult result = outer;
    const fs::path innerName = PathFromUtf8(kInnerName);
    bool innerUnpacked = false;
    FolderItem innerItem;
    const bool innerIsFile =
        outer.outcome && staging->Look(innerName, innerItem) == 0 && innerItem.kind == FolderItem::Kind::File;
    if (innerIsFile) c.GiveTargetItsMode(state, innerItem.mode);
    if (innerIsFile) {
        // Written by this run from the archive and checked: the plain archive is unpacked
        // into the target, read through the work folder's handle, and then removed.
        std::FILE* handle = staging->OpenForReading(innerName, error);
        if (!handle) {
            ApplyFolderModes(state, c.folder);
            return Failed({ErrorKind::Io, Utf8FromPath(c.target / innerName), error, "Reading"});
        }
        StdFile innerHandle;
        innerHandle.Adopt(handle);
        SharedArchive innerArchive(std::move(innerHandle), stagingPath / innerName);
        const ZipExtractOptions second = c.SecondHalf();
        ExtractRequest innerRequest = c.FlatRequest(stagingPath / innerName, c.target, c.folder, second, state);
        innerRequest.opened = &innerArchive;
        innerRequest.notOver = c.archive; // the inner archive lies in the work folder, out of reach
        result = Extract(innerRequest);
        result.filesWritten += outer.filesWritten - 1;
        innerUnpacked = true;
        if (!result.outcome) {
            ApplyFolderModes(state, c.folder);
            return result;
        }
    }
    // The outer archive's other files (all of them when it held no inner archive) move into
    // the target under the same clash rule, from the work folder's handle to the target's.
    std::vector<fs::path> staged;
    staging->List(staged);
    std::sort(staged.begin(), staged.end());
    for (const fs::path& name : staged) {
        if (innerUnpacked && name == innerName) continue;
        const fs::path to = c.target / name;
        try {
            if (!state.claimed.Insert(Utf8FromPath(to))) {
                throw LayerFailure(ErrorKind::Clash, {}, Utf8FromPath(to));
            }
            CheckedSink::CommitRules rules;
            rules.notOver = c.archive;
            CheckOutputSlot(OutputSlot{c.folder, name, to}, rules);
            if (!IsKind(*staging, name, FolderItem::Kind::File)) {
                throw LayerFailure(ErrorKind::Damaged, "is not a file", Utf8FromPath(to));
            }
            if (const int moveError = staging->Move(name, *c.folder, name)) {
                throw LayerFailure(ErrorKind::Io, "Writing", Utf8FromPath(to), moveError);
            }
        } catch (const LayerFailure& failure) {
            if (result.outcome) result.outcome = velmora::Fail(ErrorOf(failure.Error()));
        }
    }
    if (!innerUnpacked) result.filesWritten = outer.filesWritten;
    ApplyFolderModes(state, c.folder);
    return result;
}

} // namespace

ZipExtractResult RestoreProtected(const fs::path& archive, const fs::path& target, std::string_view password,
                                  const ZipExtractOptions& options)
{
    std::error_code ec;
    RestoreContext context;
    context.archive = archive;
    context.target = target;
    context.password = std::string(TrimBlanks(password));
    context.options = &options;
    context.targetExisted = fs::is_directory(target, ec);
    if (!context.targetExisted) {
        if (!fs::create_directory(target, ec) && ec) return TargetNotMade(target, ec.value());
    }
    int error = 0;
    context.folder =
        OpenFolderHandle(target, error, context.targetExisted ? LastPartLink::AsFound : LastPartLink::Refused);
    if (!context.folder) return Failed({ErrorKind::Io, Utf8FromPath(target), error, "Opening folder"});
    if (context.targetExisted) RemoveStaleRestoreFolders(*context.folder);
    if (std::optional<ZipExtractResult> result = RestoreThroughUnnamedInner(context)) return std::move(*result);
    return RestoreThroughWorkFolder(context);
}

} // namespace velmora
