// Protecting a folder: replacing it by a password-protected archive of everything it holds.
#include "protect/ProtectedFolder.h"

#include "archive/zip/WriterParts.h"
#include "archive/zip/ZipNames.h"
#include "archive/zip/ZipReader.h"
#include "archive/zip/ZipWriter.h"
#include "common/AsciiText.h"
#include "common/Errors.h"
#include "common/FolderSafety.h"
#include "common/LanguageText.h"
#include "common/Utf8Path.h"
#include "platform/FolderRemoval.h"
#include "protect/WorkFolders.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <deque>
#include <map>
#include <random>

namespace velmora {

namespace fs = std::filesystem;

namespace {

// An archive that stands for a folder is made no more open than the folder: it takes the
// folder's read and write bits (a private folder gives a private archive), and the
// owner's own read and write. The mode is recorded in the archive that holds it, so the
// restore gives it back, and the restored folder can take its mode from it.
void TakeFolderMode(const fs::path& archive, const fs::path& folder)
{
    std::error_code ec;
    const fs::perms mode = fs::status(folder, ec).permissions();
    if (ec) return;
    fs::permissions(archive, (mode & static_cast<fs::perms>(0666)) | fs::perms::owner_read | fs::perms::owner_write,
                    ec);
}

bool LessIgnoringCase(const std::string& a, const std::string& b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return AsciiLower(x) < AsciiLower(y); });
}

std::string TrimmedSlash(std::string name)
{
    while (!name.empty() && name.back() == '/')
        name.pop_back();
    return name;
}

bool IsFolderItself(const fs::path& path)
{
    std::error_code ec;
    return fs::is_directory(fs::symlink_status(path, ec));
}

// The names of the folder's first-level subfolders, sorted without regard to letter case.
std::vector<std::string> SubfolderNames(const fs::path& folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec)) names.push_back(Utf8FromPath(it->path().filename()));
    }
    std::sort(names.begin(), names.end(), LessIgnoringCase);
    return names;
}

// What the folder held when it was packed: every entry with its kind, size and time, by
// name. The sources of the walk keep the names; the items lie beside them in the walk's
// order, and an order sorted by name finds them. A second walk is compared item by item
// as it goes, so the folder is never held twice.
class Snapshot {
public:
    struct Item {
        bool directory = false;
        std::uintmax_t size = 0;
        fs::file_time_type time{};
        bool operator==(const Item&) const = default;
    };

    explicit Snapshot(const writer::CompactSources& sources) : m_sources(sources) {}

    static Item ItemOf(bool isDirectory, const std::optional<ZipSourceStatus>& status, const fs::path& path)
    {
        Item item;
        item.directory = isDirectory;
        if (status) {
            // What the walk saw: one status call per entry.
            if (!isDirectory) item.size = status->size;
            item.time = status->modified;
        } else {
            std::error_code ec;
            if (!isDirectory) item.size = fs::file_size(path, ec);
            item.time = fs::last_write_time(path, ec);
        }
        return item;
    }
    static Item ItemOf(const ZipSource& source) { return ItemOf(source.isDirectory, source.status, source.path); }
    // Source number index of the walk, just added to the sources. The sources keep the
    // status the walk gave; only where it gave none are the items kept here.
    void Add(const ZipSource& source, std::size_t index)
    {
        if (!source.status && !m_keepItems) {
            for (std::size_t i = 0; i < index; ++i)
                m_items.push_back(ItemAt(i)); // from the status those sources carry
            m_keepItems = true;
        }
        if (m_keepItems) m_items.push_back(ItemOf(source));
    }
    Item ItemAt(std::size_t i) const
    {
        if (m_keepItems) return m_items[i];
        return ItemOf(m_sources.IsDirectory(i), m_sources.Status(i), {});
    }

    // Starts a comparison with a second walk over the same folder.
    void StartCompare()
    {
        m_seen.assign(m_sources.Size(), false);
        m_cursor = 0;
        m_same = true;
    }
    // One source of the second walk: its name must be known with the same item. A walk
    // gives each name once, and mostly in the order of the one before: the next source
    // of the first walk is tried first, the names sorted only when the orders differ.
    void Compare(const ZipSource& source)
    {
        std::size_t k = m_cursor;
        if (k < m_sources.Size() && m_sources.Name(k) == source.name) {
            ++m_cursor;
        } else {
            if (m_order.empty()) SortNames();
            const auto end =
                std::upper_bound(m_order.begin(), m_order.end(), std::string_view(source.name),
                                 [&](std::string_view name, std::uint32_t i) { return name < m_sources.Name(i); });
            if (end == m_order.begin() || m_sources.Name(*(end - 1)) != source.name) {
                m_same = false;
                return;
            }
            // Of equal names (which a walk does not give) the last one counts, and all are seen.
            k = *(end - 1);
            for (auto it = end; it != m_order.begin() && m_sources.Name(*(it - 1)) == source.name; --it)
                m_seen[*(it - 1)] = true;
        }
        if (!(ItemAt(k) == ItemOf(source))) m_same = false;
        m_seen[k] = true;
    }
    // True when the second walk gave every name of the first and nothing else.
    bool Same() const { return m_same && std::find(m_seen.begin(), m_seen.end(), false) == m_seen.end(); }

private:
    void SortNames()
    {
        m_order.resize(m_sources.Size());
        for (std::size_t i = 0; i < m_order.size(); ++i)
            m_order[i] = static_cast<std::uint32_t>(i);
        std::stable_sort(m_order.begin(), m_order.end(),
                         [&](std::uint32_t a, std::uint32_t b) { return m_sources.Name(a) < m_sources.Name(b); });
    }

    const writer::CompactSources& m_sources;
    bool m_keepItems = false;
    std::deque<Item> m_items; // in the walk's order, when kept
    std::vector<std::uint32_t> m_order;
    std::vector<bool> m_seen; // by source
    std::size_t m_cursor = 0;
    bool m_same = true;
};

// Sums the progress of the steps into one count that only grows.
class ProgressSum {
public:
    ProgressSum(const ProgressCallback& sink, std::uint64_t total)
        : m_sink(sink), m_total(std::max<std::uint64_t>(total, 1))
    {}
    ProgressCallback Step()
    {
        m_base = m_reported;
        return [this](std::uint64_t done, std::uint64_t) { Report(m_base + done); };
    }
    void Finish() { Report(m_total); }

private:
    void Report(std::uint64_t value)
    {
        value = std::min(value, m_total);
        if (value < m_reported) return;
        m_reported = value;
        if (m_sink) m_sink(m_reported, m_total);
    }
    const ProgressCallback& m_sink;
    std::uint64_t m_total;
    std::uint64_t m_base = 0;
    std::uint64_t m_reported = 0;
};

// The work folder beside the zip path: our own (private, marked), removed with everything
// in it at the end.
class WorkFolder {
public:
    explicit WorkFolder(const fs::path& zipPath) : m_created(CreateWorkFolder(zipPath))
    {
        if (m_created) m_path = *m_created;
    }
    ~WorkFolder()
    {
        if (m_path.empty()) return;
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;
    bool ok() const { return !m_path.empty(); }
    const Error& error() const { return m_created.error(); }
    fs::path Make(const std::string& sub)
    {
        std::error_code ec;
        fs::create_directory(m_path / PathFromUtf8(sub), ec);
        return m_path / PathFromUtf8(sub);
    }

private:
    Result<fs::path> m_created;
    fs::path m_path;
};

ProtectResult Fail(ProtectStatus status, Error error)
{
    return {status, std::move(error), {}};
}

// A failure told by its text alone.
ProtectResult Fail(ProtectStatus status, Error::Kind kind, std::string text)
{
    return Fail(status, Error{kind, {}, 0, std::move(text)});
}

// What the folder holds that an archive cannot keep: the first source left out and why.
Error Skipped(const std::vector<ZipSkipped>& skipped)
{
    const ZipSkipped& first = skipped.front();
    std::string text = "'" + Utf8FromPath(first.path) + "': " + ErrorText(first.reason, kEnglish);
    if (skipped.size() > 1) text += " (and " + std::to_string(skipped.size() - 1) + " more)";
    return Error{Error::Kind::Unsupported, {}, 0, std::move(text)};
}

// The first source whose name would not come back unchanged, or whose subfolder archive
// name would be longer than a file name may be.
std::optional<ZipSource> FirstUnstorableName(const writer::CompactSources& sources)
{
    constexpr std::size_t kNameMax = 255;
    for (std::size_t i = 0; i < sources.Size(); ++i) {
        const ZipSource source = sources.At(i);
        // Checked as stored in the inner archive and, below a first-level subfolder, as
        // stored in that subfolder's own archive (where "x:y" would read as a drive letter).
        const std::optional<std::string> back = RoundTripName(source.name, source.isDirectory);
        if (!back || *back != source.name) return source;
        const std::size_t slash = source.name.find('/');
        if (slash != std::string::npos) {
            const std::string nested = source.name.substr(slash + 1);
            const std::optional<std::string> nestedBack = RoundTripName(nested, source.isDirectory);
            if (!nestedBack || *nestedBack != nested) return source;
        }
        const bool firstLevelFolder = source.isDirectory && source.name.find('/') == std::string::npos;
        if (firstLevelFolder && source.name.size() + 4 > kNameMax) return source;
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> RoundTripName(const std::string& name, bool isDirectory)
{
    const std::optional<archive::EncodedName> encoded = archive::EncodeEntryName(isDirectory ? name + "/" : name);
    if (!encoded || name.empty()) return std::nullopt;
    const std::string decoded =
        archive::DecodeEntryName(encoded->bytes, encoded->utf8, encoded->unicodeExtra, encoded->host);
    bool directory = false;
    std::optional<std::string> safe = archive::SafeRelativeName(decoded, directory);
    if (safe && directory != isDirectory) return std::nullopt;
    return safe;
}

ProtectCheck CheckProtectFolder(const fs::path& folder, const fs::path& zipPath, const std::vector<fs::path>& guarded)
{
    ProtectCheck check;
    if (folder.empty() || zipPath.empty() || !IsFolderItself(folder) || IsSameOrInside(zipPath, folder) ||
        IsFolderItself(zipPath)) {
        check.status = ProtectStatus::InvalidInput;
        return check;
    }
    if (IsGuardedFolder(folder, guarded)) {
        check.status = ProtectStatus::Refused;
        check.error = Error{Error::Kind::InvalidInput,
                            {},
                            0,
                            "'" + Utf8FromPath(folder) + "' is the root or holds the program or the home folder"};
        return check;
    }
    std::error_code ec;
    if (fs::exists(fs::symlink_status(zipPath, ec))) check.replaced.push_back(zipPath);
    for (const std::string& name : SubfolderNames(folder)) {
        const fs::path clash = folder / PathFromUtf8(name + ".zip");
        if (fs::exists(fs::symlink_status(clash, ec)) && !IsFolderItself(clash)) check.replaced.push_back(clash);
    }
    return check;
}

namespace {

// Everything up to the checked archive at the zip path. The folder's sources, which hold
// the folder open while they exist, are gone when this returns, so the folder can be
// removed afterwards (Windows refuses to remove a folder that is held).
ProtectResult PackIntoPlace(const fs::path& folder, const fs::path& zipPath, const ProtectOptions& options)
{
    if (!IsFolderItself(folder) || zipPath.empty() || IsSameOrInside(zipPath, folder)) {
        return Fail(ProtectStatus::InvalidInput, Error::Kind::InvalidInput, {});
    }
    if (!IsZipArchiveName(zipPath)) {
        return Fail(ProtectStatus::ArchiveFailed, Error::Kind::InvalidInput,
                    "'" + Utf8FromPath(zipPath) + "' is no .zip or .jar name");
    }

    // One listing of everything the folder holds; whatever an archive cannot keep stops
    // the command before anything is written.
    // The sources are kept compactly and a subfolder's sources are made in full only while
    // its archive is written: a folder of a million files costs some hundred bytes each.
    std::vector<ZipSkipped> skipped;
    writer::CompactSources all;
    Snapshot before(all);
    try {
        writer::WalkZipSources(folder, ZipSelection::WholeTree, options.attributes, zipPath, &skipped, options.folders,
                               [&](ZipSource&& source) {
                                   all.Add(source);
                                   before.Add(source, all.Size() - 1);
                               });
    } catch (const std::exception& caught) {
        return Fail(ProtectStatus::Refused, CaughtError(caught));
    }
    if (!skipped.empty()) return Fail(ProtectStatus::Refused, Skipped(skipped));
    // Every name must come back as the same path; nothing is written otherwise.
    if (const std::optional<ZipSource> bad = FirstUnstorableName(all)) {
        return Fail(ProtectStatus::NameNotStorable, Error{Error::Kind::InvalidInput, Utf8FromPath(bad->path), 0, {}});
    }
    before.StartCompare();

    // Split into the folder's own files and the trees of its first-level subfolders (the
    // places of their sources in the walk).
    std::vector<ZipSource> ownFiles;
    std::map<std::string, std::vector<std::uint32_t>> trees;
    std::uint64_t totalBytes = 0;
    for (std::size_t i = 0; i < all.Size(); ++i) {
        const std::string name = TrimmedSlash(std::string(all.Name(i)));
        const std::size_t slash = name.find('/');
        if (!all.IsDirectory(i)) totalBytes += before.ItemAt(i).size;
        if (slash == std::string::npos) {
            if (all.IsDirectory(i)) {
                trees[name];
            } else {
                ownFiles.push_back(all.At(i));
            }
            continue;
        }
        trees[name.substr(0, slash)].push_back(static_cast<std::uint32_t>(i));
    }
    // The sources of one subfolder's archive, named below the subfolder.
    const auto treeSources = [&](const std::vector<std::uint32_t>& indices) {
        std::vector<ZipSource> sources;
        sources.reserve(indices.size());
        for (const std::uint32_t i : indices) {
            ZipSource inner = all.At(i);
            inner.name = inner.name.substr(inner.name.find('/') + 1);
            sources.push_back(std::move(inner));
        }
        return sources;
    };
    std::vector<std::string> subfolders;
    for (const auto& [name, sources] : trees)
        subfolders.push_back(name);
    std::sort(subfolders.begin(), subfolders.end(), LessIgnoringCase);

    WorkFolder work(zipPath);
    if (!work.ok()) return Fail(ProtectStatus::ArchiveFailed, work.error());
    const fs::path nestedFolder = work.Make("nested");
    const fs::path innerFolder = work.Make("inner");
    const fs::path outerFolder = work.Make("outer");

    // Written, read back and checked: the subfolder archives, then the inner archive,
    // then the encrypted outer one. Each step's sources were checked before they are used.
    ProgressSum progress(options.progress, totalBytes * 3);
    ZipWriteOptions plain;
    plain.attributes = options.attributes;
    // Read back as the restore will read it: the subfolder archives keep their folders, the
    // inner and the outer archive are extracted flat. Every source, empty folders included,
    // must come back at its own path with its own content.
    const auto writeChecked = [&](const std::vector<ZipSource>& sources, const fs::path& archive,
                                  ZipWriteOptions writeOptions, std::string_view password,
                                  bool flattened) -> ProtectResult {
        writeOptions.progress = progress.Step();
        const ZipWriteResult written = WriteZipEntries(sources, archive, writeOptions);
        if (!written.outcome) return Fail(ProtectStatus::ArchiveFailed, written.outcome.error());
        if (!written.skipped.empty()) return Fail(ProtectStatus::Refused, Skipped(written.skipped));
        const ZipExtractResult verified = VerifyZipArchive(archive, password, &sources, flattened);
        if (!verified.outcome) return Fail(ProtectStatus::VerifyFailed, verified.outcome.error());
        return {};
    };

    std::vector<ZipSource> innerSources;
    std::vector<std::string> nestedNames;
    for (const std::string& name : subfolders)
        nestedNames.push_back(name + ".zip");
    // A file of the folder named like a subfolder archive gives way to it (the user agreed).
    for (const ZipSource& file : ownFiles) {
        if (std::find(nestedNames.begin(), nestedNames.end(), file.name) == nestedNames.end()) {
            innerSources.push_back(file);
        }
    }
    for (const std::string& name : subfolders) {
        const fs::path nested = nestedFolder / PathFromUtf8(name + ".zip");
        if (ProtectResult r = writeChecked(treeSources(trees[name]), nested, plain, {}, false);
            r.status != ProtectStatus::Ok)
            return r;
        TakeFolderMode(nested, folder / PathFromUtf8(name));
        innerSources.push_back({nested, name + ".zip", false});
    }
    const fs::path inner = innerFolder / u8"folder.zip";
    if (ProtectResult r = writeChecked(innerSources, inner, plain, {}, true); r.status != ProtectStatus::Ok) return r;
    TakeFolderMode(inner, folder);

    ZipWriteOptions encrypted = plain;
    encrypted.password = options.password;
    encrypted.random = options.random;
    const fs::path outer = outerFolder / zipPath.filename();
    if (ProtectResult r = writeChecked({{inner, "folder.zip", false}}, outer, encrypted, options.password, true);
        r.status != ProtectStatus::Ok) {
        return r;
    }

    // The folder must still be what was packed.
    {
        std::vector<ZipSkipped> skippedNow;
        try {
            writer::WalkZipSources(folder, ZipSelection::WholeTree, options.attributes, zipPath, &skippedNow,
                                   options.folders, [&](ZipSource&& source) { before.Compare(source); });
        } catch (const std::exception& caught) {
            return Fail(ProtectStatus::VerifyFailed, CaughtError(caught));
        }
        if (!skippedNow.empty() || !before.Same()) {
            return Fail(ProtectStatus::VerifyFailed, Error::Kind::InUse,
                        "'" + Utf8FromPath(folder) + "' changed while it was packed");
        }
    }

    // The finished archive takes the zip path in one step; only then is the folder removed.
    const fs::path zipFolder = zipPath.parent_path().empty() ? PathFromUtf8(".") : zipPath.parent_path();
    if (options.flushToDisk && !options.flushToDisk(outer)) {
        return Fail(ProtectStatus::ArchiveFailed, Error::Kind::Io,
                    "Flushing '" + Utf8FromPath(outer) + "' to the disk failed");
    }
    std::error_code ec;
    if (options.moveReplacing) {
        errno = 0;
        if (!options.moveReplacing(outer, zipPath)) ec.assign(errno ? errno : EIO, std::generic_category());
    } else {
        fs::rename(outer, zipPath, ec);
    }
    if (ec)
        return Fail(ProtectStatus::ReplaceFailed,
                    ErrorFromErrno(ec.value(), Utf8FromPath(zipPath), "Moving the archive to"));
    if (options.flushToDisk && !options.flushToDisk(zipFolder)) {
        return Fail(ProtectStatus::FolderNotRemoved, Error::Kind::Io,
                    "the archive is in place, but '" + Utf8FromPath(zipFolder) +
                        "' could not be flushed to the disk, so the folder was kept");
    }
    progress.Finish();
    return {};
}

// Packs, then removes the folder.
ProtectResult ProtectWithWorkFolder(const fs::path& folder, const fs::path& zipPath, const ProtectOptions& options)
{
    if (ProtectResult packed = PackIntoPlace(folder, zipPath, options); packed.status != ProtectStatus::Ok) {
        return packed;
    }
    if (const Result<void> deleted = DeleteFolderPermanently(folder); !deleted) {
        return Fail(ProtectStatus::FolderNotRemoved, deleted.error());
    }
    return {};
}

} // namespace

ProtectResult ProtectFolderToArchive(const fs::path& folder, const fs::path& zipPath, const ProtectOptions& options)
{
    // Work folders of killed runs beside the zip path hold unencrypted copies: removed
    // where provably stale, reported otherwise.
    std::vector<std::string> leftovers = RemoveStaleWorkFolders(zipPath.parent_path());
    ProtectResult result = ProtectWithWorkFolder(folder, zipPath, options);
    result.leftovers = std::move(leftovers);
    return result;
}

UnprotectResult UnprotectArchive(const fs::path& archive, const fs::path& target, const std::string& password,
                                 const ProgressCallback& progress)
{
    std::vector<std::string> leftovers = RemoveStaleWorkFolders(archive.parent_path());
    ZipExtractOptions options;
    options.progress = progress;
    ZipExtractResult result = RestoreProtected(archive, target, password, options);
    return {std::move(result.outcome), result.targetNotMade, std::move(leftovers)};
}

} // namespace velmora
