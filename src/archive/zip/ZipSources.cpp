// The folder walk of the ZIP writer: the files and folders below a base folder, in the
// order they are packed, without the archive being written and, where asked, hidden items.
#include "archive/zip/ZipWriter.h"

#include "archive/WorkerPool.h"
#include "archive/codecs/DeflateBlocks.h"
#include "archive/crypto/PkwareCipher.h"
#include "archive/crypto/WinZipAes.h"
#include "archive/zip/WriterParts.h"
#include "archive/zip/ZipNames.h"
#include "common/AsciiText.h"
#include "common/Errors.h"
#include "common/Utf8Path.h"
#include "platform/FolderHandle.h"
#include "platform/IFileAttributes.h"
#include "platform/IRandomSource.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <deque>
#include <future>
#include <memory>
#include <optional>

namespace velmora {

using namespace archive;
using writer::AttributesOf;
using writer::FallbackAttributes;
namespace fs = std::filesystem;

namespace {

bool SameFile(const fs::path& a, const fs::path& b)
{
    std::error_code ec;
    if (fs::equivalent(a, b, ec) && !ec) {
        return true;
    }
    return fs::weakly_canonical(a, ec) == fs::weakly_canonical(b, ec);
}

// The archive being written, when it exists already (an archive written over): it is
// never packed into itself. Only a file of its size can be it, so the others cost nothing.
class ArchiveIdentity {
public:
    explicit ArchiveIdentity(const fs::path& archive)
    {
        std::error_code ec;
        if (archive.empty() || !fs::is_regular_file(fs::status(archive, ec))) return;
        m_size = fs::file_size(archive, ec);
        if (!ec) m_archive = archive;
    }
    bool Is(const fs::path& path, std::uint64_t size) const
    {
        return !m_archive.empty() && size == m_size && SameFile(path, m_archive);
    }

private:
    fs::path m_archive;
    std::uint64_t m_size = 0;
};

ZipSourceStatus StatusOf(const FolderEntry& entry)
{
    return {entry.size, entry.modified, entry.permissions, entry.attributes};
}

// The walk over the platform's folder listings: one listing per folder, whose status and
// attribute words the writer uses as they are.
template <typename Add, typename Skip>
void WalkListed(const FolderLister& folders, const fs::path& base, ZipSelection selection,
                const ArchiveIdentity& archive, const std::shared_ptr<FolderHandle>& root, Add& add, Skip& skip)
{
    std::vector<FolderEntry> entries;
    const auto list = [&](const fs::path& folder, bool followLinks) {
        int error = 0;
        entries.clear();
        if (!folders(folder, followLinks, entries, error)) {
            throw ArchiveFailure(ErrorFromErrno(error ? error : EIO, Utf8FromPath(folder), "Reading folder"));
        }
    };
    if (selection == ZipSelection::OwnVisibleFiles) {
        list(base, true); // links are followed to their target
        for (const FolderEntry& entry : entries) {
            const fs::path path = base / PathFromUtf8(entry.name);
            if (entry.kind == FolderEntry::Kind::Folder) {
                continue;
            }
            if (entry.kind != FolderEntry::Kind::File) {
                skip(path, Error::Kind::AccessDenied, "Not a readable regular file");
                continue;
            }
            const std::uint32_t word =
                entry.attributes ? *entry.attributes : FallbackAttributes(path, false, entry.permissions);
            if ((word & (kAttrHidden | kAttrSystem)) || archive.Is(path, entry.size)) {
                continue;
            }
            add({path, entry.name, false, StatusOf(entry)});
        }
        return;
    }
    // Depth first, every folder before its contents, in the listing order of each folder.
    struct Level {
        fs::path folder;
        std::string prefix; // relative name with a trailing "/", empty for the base
        std::vector<FolderEntry> entries;
        std::size_t next = 0;
    };
    std::vector<Level> stack;
    list(base, false);
    stack.push_back({base, {}, std::move(entries), 0});
    while (!stack.empty()) {
        Level& level = stack.back();
        if (level.next == level.entries.size()) {
            stack.pop_back();
            continue;
        }
        const FolderEntry& entry = level.entries[level.next++];
        const fs::path path = level.folder / PathFromUtf8(entry.name);
        const std::string name = level.prefix + entry.name;
        switch (entry.kind) {
        case FolderEntry::Kind::Link:
            skip(path, Error::Kind::Unsupported, "Symbolic links are not archived");
            break;
        case FolderEntry::Kind::Folder: {
            add({path, name, true, StatusOf(entry), root, PathFromUtf8(name)});
            list(path, false);
            // The reference into the stack ends here: push_back may move the levels.
            stack.push_back({path, name + "/", std::move(entries), 0});
            break;
        }
        case FolderEntry::Kind::File:
            if (!archive.Is(path, entry.size)) {
                add({path, name, false, StatusOf(entry), root, PathFromUtf8(name)});
            }
            break;
        default:
            skip(path, Error::Kind::Unsupported, "Not a regular file");
            break;
        }
    }
}

// The walk behind CollectZipSources and CollectCompactSources: each source is handed to add.
template <typename Add>
void WalkSources(const fs::path& base, ZipSelection selection, const AttributeReader& attributes,
                 const fs::path& excludeArchive, std::vector<ZipSkipped>* skipped, const FolderLister& folders,
                 Add&& add)
{
    std::error_code ec;
    if (!fs::is_directory(base, ec)) {
        throw ArchiveFailure(ErrorFromErrno(ec ? ec.value() : ENOTDIR, Utf8FromPath(base), "Reading folder"));
    }
    const auto skip = [&](const fs::path& path, Error::Kind kind, std::string reason) {
        if (skipped) {
            skipped->push_back({path, Error{kind, {}, 0, std::move(reason)}});
        }
    };
    // A whole tree is read through the folder held open here: what is read must lie below
    // it, whatever is renamed or replaced by a link in the meantime.
    std::shared_ptr<FolderHandle> root;
    if (selection == ZipSelection::WholeTree) {
        int error = 0;
        root = OpenFolderHandle(base, error);
        if (!root) throw ArchiveFailure(ErrorFromErrno(error, Utf8FromPath(base), "Reading folder"));
    }
    if (folders) {
        WalkListed(folders, base, selection, ArchiveIdentity(excludeArchive), root, add, skip);
        return;
    }
    const auto isArchive = [&](const fs::path& path) {
        return !excludeArchive.empty() && SameFile(path, excludeArchive);
    };

    if (selection == ZipSelection::OwnVisibleFiles) {
        fs::directory_iterator it(base, ec);
        if (ec) {
            throw ArchiveFailure(ErrorFromErrno(ec.value(), Utf8FromPath(base), "Reading folder"));
        }
        for (; it != fs::directory_iterator(); it.increment(ec)) {
            const fs::path path = it->path();
            std::error_code statError;
            const auto status = fs::status(path, statError); // links are followed to their target
            if (fs::is_directory(status)) {
                continue;
            }
            if (statError || !fs::is_regular_file(status)) {
                skip(path, Error::Kind::AccessDenied, "Not a readable regular file");
                continue;
            }
            if ((AttributesOf(attributes, path, false) & (kAttrHidden | kAttrSystem)) || isArchive(path)) {
                continue;
            }
            add({path, Utf8FromPath(path.filename()), false});
        }
        if (ec) {
            throw ArchiveFailure(ErrorFromErrno(ec.value(), Utf8FromPath(base), "Reading folder"));
        }
        return;
    }

    fs::recursive_directory_iterator it(base, fs::directory_options::none, ec);
    if (ec) {
        throw ArchiveFailure(ErrorFromErrno(ec.value(), Utf8FromPath(base), "Reading folder"));
    }
    for (; it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const fs::path path = it->path();
        const std::string name = GenericUtf8FromPath(fs::relative(path, base, ec));
        if (ec) {
            throw ArchiveFailure(ErrorFromErrno(ec.value(), Utf8FromPath(path), "Reading folder"));
        }
        std::error_code statError;
        const auto status = fs::symlink_status(path, statError);
        if (fs::is_symlink(status)) {
            skip(path, Error::Kind::Unsupported, "Symbolic links are not archived");
        } else if (fs::is_directory(status)) {
            add({path, name, true, std::nullopt, root, PathFromUtf8(name)});
        } else if (fs::is_regular_file(status)) {
            if (!isArchive(path)) {
                add({path, name, false, std::nullopt, root, PathFromUtf8(name)});
            }
        } else {
            skip(path, Error::Kind::Unsupported, "Not a regular file");
        }
    }
    if (ec) {
        throw ArchiveFailure(ErrorFromErrno(ec.value(), Utf8FromPath(base), "Reading folder"));
    }
}

} // namespace

Result<std::vector<ZipSource>> CollectZipSources(const fs::path& base, ZipSelection selection,
                                                 const AttributeReader& attributes, const fs::path& excludeArchive,
                                                 std::vector<ZipSkipped>* skipped, const FolderLister& folders)
{
    std::vector<ZipSource> sources;
    try {
        WalkSources(base, selection, attributes, excludeArchive, skipped, folders,
                    [&](ZipSource&& source) { sources.push_back(std::move(source)); });
    } catch (const std::exception& caught) {
        return Fail(CaughtError(caught));
    }
    return sources;
}

namespace writer {

void WalkZipSources(const fs::path& base, ZipSelection selection, const AttributeReader& attributes,
                    const fs::path& excludeArchive, std::vector<ZipSkipped>* skipped, const FolderLister& folders,
                    const std::function<void(ZipSource&&)>& add)
{
    WalkSources(base, selection, attributes, excludeArchive, skipped, folders, add);
}

CompactSources CollectCompactSources(const fs::path& base, ZipSelection selection, const AttributeReader& attributes,
                                     const fs::path& excludeArchive, std::vector<ZipSkipped>* skipped,
                                     const FolderLister& folders)
{
    CompactSources sources;
    WalkSources(base, selection, attributes, excludeArchive, skipped, folders,
                [&](ZipSource&& source) { sources.Add(source); });
    return sources;
}

// The last part of an entry name as a path.
static fs::path LastPart(const std::string& name)
{
    const std::size_t slash = name.rfind('/');
    return PathFromUtf8(slash == std::string::npos ? name : name.substr(slash + 1));
}

void CompactSources::Add(const ZipSource& source)
{
    Record r;
    r.nameAt = m_names.Add(source.name);
    r.nameLength = static_cast<std::uint32_t>(source.name.size());
    r.isDirectory = source.isDirectory;
    // The path is kept as its folder (shared with its neighbours); its last part is the
    // entry name's last part, as the walks make it. Where it is not, the whole path is kept.
    const fs::path folder = source.path.parent_path();
    if ((folder / LastPart(source.name)).native() == source.path.native()) {
        r.folder = FolderIndex(folder);
    } else {
        r.folder = FolderIndex(source.path);
        r.wholePath = true;
    }
    if (source.root) {
        if (!m_root) m_root = source.root;
        // One walk holds one root; the part below it is the entry name.
        r.beneath = source.root == m_root && source.beneath == PathFromUtf8(source.name);
        if (!r.beneath)
            throw ArchiveFailure(
                Error{Error::Kind::InvalidInput, {}, 0, "Sources of different walks cannot be kept together"});
    }
    if (source.status) {
        r.hasStatus = true;
        r.size = source.status->size;
        r.modified = source.status->modified.time_since_epoch().count();
        r.permissions = static_cast<std::uint16_t>(source.status->permissions);
        r.hasAttributes = source.status->attributes.has_value();
        r.attributes = source.status->attributes.value_or(0);
    }
    m_records.push_back(r);
}

std::uint32_t CompactSources::FolderIndex(const fs::path& folder)
{
    if (!m_folders.empty() && m_folders[m_lastFolder].native() == folder.native()) return m_lastFolder;
    auto [it, added] = m_folderIndex.emplace(folder.native(), static_cast<std::uint32_t>(m_folders.size()));
    if (added) m_folders.push_back(folder);
    m_lastFolder = it->second;
    return it->second;
}

std::optional<ZipSourceStatus> CompactSources::Status(std::size_t i) const
{
    const Record& r = m_records[i];
    if (!r.hasStatus) return std::nullopt;
    ZipSourceStatus status;
    status.size = r.size;
    status.modified = fs::file_time_type(fs::file_time_type::duration(r.modified));
    status.permissions = static_cast<fs::perms>(r.permissions);
    if (r.hasAttributes) status.attributes = r.attributes;
    return status;
}

ZipSource CompactSources::At(std::size_t i) const
{
    const Record& r = m_records[i];
    ZipSource source;
    source.name = std::string(Name(i));
    source.path = r.wholePath ? m_folders[r.folder] : m_folders[r.folder] / LastPart(source.name);
    source.isDirectory = r.isDirectory;
    source.status = Status(i);
    if (r.beneath) {
        source.root = m_root;
        source.beneath = PathFromUtf8(source.name);
    }
    return source;
}

} // namespace writer

} // namespace velmora
