#pragma once
// What the parts of the ZIP writer share: an entry's plan, the builder that writes planned
// entries into an archive, and the attribute word of a file. Internal to src/archive.
#include "archive/ArchiveCommon.h"
#include "archive/ArchiveIo.h"
#include "archive/zip/ZipNames.h"
#include "archive/zip/ZipWriter.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::writer {

using archive::EncodedName;
using archive::StdFile;

// What is known about an entry before its data is written.
struct EntryPlan {
    ZipSource source;
    EncodedName name;
    std::uint32_t dosTime = 0;
    std::uint32_t attributes = 0;
    std::uint64_t size = 0;                 // at listing time
    std::array<unsigned char, 16> random{}; // 11 for the traditional header, 16 for an AES salt
};

// The planned entries, kept compactly: per entry what its status gave (size, time,
// attributes) and the place of its source; the source and the encoded name, which
// planning already checked, are made again when the entry is written. A million entries
// then cost some 24 bytes each here instead of a full plan.
class PlanList {
public:
    using SourceAt = std::function<ZipSource(std::size_t)>;
    PlanList(SourceAt source, const ZipWriteOptions& options) : m_source(std::move(source)), m_options(options) {}

    // Adds a plan made by planning source number index.
    void Add(const EntryPlan& plan, std::size_t index);
    void Reserve(std::size_t count) { m_fields.reserve(count); }
    std::size_t Size() const { return m_fields.size(); }
    std::uint64_t SizeOf(std::size_t i) const { return m_fields[i].size; }
    bool IsDirectory(std::size_t i) const { return m_fields[i].isDirectory; }
    EntryPlan Make(std::size_t i) const;

private:
    struct Fields {
        std::uint64_t size = 0;
        std::uint32_t dosTime = 0;
        std::uint32_t attributes = 0;
        std::uint32_t source = 0;
        bool isDirectory = false;
    };
    SourceAt m_source;
    const ZipWriteOptions& m_options;
    std::vector<Fields> m_fields;
    std::vector<std::array<unsigned char, 16>> m_random; // only when encrypting
};

// Texts kept one after another in blocks of 1 MiB that never move: growing costs no copy
// and leaves no freed buffers behind, as a doubling string would. A position is the
// block's number and the offset in it; a text longer than a block gets a block of its own.
template <typename Char> class TextBlocks {
public:
    std::uint64_t Add(std::basic_string_view<Char> text)
    {
        if (m_blocks.empty() || m_used >= kBlock || m_used + text.size() > kBlock) {
            m_blocks.emplace_back();
            m_blocks.back().reserve(std::max(text.size(), kBlock));
            m_used = 0;
        }
        const std::uint64_t position = (static_cast<std::uint64_t>(m_blocks.size() - 1) << kBlockBits) | m_used;
        m_blocks.back().append(text);
        m_used = text.size() > kBlock ? kBlock : m_used + text.size();
        return position;
    }
    std::basic_string_view<Char> At(std::uint64_t position, std::size_t length) const
    {
        return std::basic_string_view<Char>(m_blocks[position >> kBlockBits]).substr(position & (kBlock - 1), length);
    }

private:
    static constexpr unsigned kBlockBits = 20;
    static constexpr std::size_t kBlock = std::size_t{1} << kBlockBits;
    std::vector<std::basic_string<Char>> m_blocks;
    std::size_t m_used = 0;
};

// The sources of a folder walk, kept compactly: for a million files some 80 bytes each
// (the name, the last part of the path, the status the walk gave) instead of a full
// ZipSource with its paths. At makes the full source again, equal to the walk's own.
class CompactSources {
public:
    void Add(const ZipSource& source);
    std::size_t Size() const { return m_records.size(); }
    ZipSource At(std::size_t i) const;
    std::string_view Name(std::size_t i) const { return m_names.At(m_records[i].nameAt, m_records[i].nameLength); }
    bool IsDirectory(std::size_t i) const { return m_records[i].isDirectory; }
    std::optional<ZipSourceStatus> Status(std::size_t i) const;

private:
    struct Record {
        std::uint64_t nameAt = 0;
        std::uint64_t size = 0;
        std::filesystem::file_time_type::duration::rep modified = 0;
        std::uint32_t nameLength = 0;
        std::uint32_t folder = 0; // the folder in m_folders (the whole path with wholePath)
        std::uint32_t attributes = 0;
        std::uint16_t permissions = 0;
        bool isDirectory : 1 = false;
        bool wholePath : 1 = false;
        bool beneath : 1 = false; // read below the walk's root, at the entry name
        bool hasStatus : 1 = false;
        bool hasAttributes : 1 = false;
    };
    std::uint32_t FolderIndex(const std::filesystem::path& folder);

    // A deque: it grows in small blocks, without copies or freed buffers left behind.
    std::deque<Record> m_records;
    TextBlocks<char> m_names;
    std::vector<std::filesystem::path> m_folders;
    std::map<std::filesystem::path::string_type, std::uint32_t> m_folderIndex;
    std::uint32_t m_lastFolder = 0;
    std::shared_ptr<FolderHandle> m_root;
};

// The walk of CollectZipSources, each source handed to add as it is found.
void WalkZipSources(const std::filesystem::path& base, ZipSelection selection, const AttributeReader& attributes,
                    const std::filesystem::path& excludeArchive, std::vector<ZipSkipped>* skipped,
                    const FolderLister& folders, const std::function<void(ZipSource&&)>& add);

// CollectZipSources into the compact form.
CompactSources CollectCompactSources(const std::filesystem::path& base, ZipSelection selection,
                                     const AttributeReader& attributes, const std::filesystem::path& excludeArchive,
                                     std::vector<ZipSkipped>* skipped = nullptr, const FolderLister& folders = {});

// The entry name of source as the writer stores it, or nullopt with reason set.
std::optional<EncodedName> PlannedName(const ZipSource& source, const ZipWriteOptions& options, Error& reason);

// Writes count sources, source i made by sourceAt, into archive (WriteZipEntries).
ZipWriteResult WriteSourceList(std::size_t count, const PlanList::SourceAt& sourceAt,
                               const std::filesystem::path& archive, const ZipWriteOptions& options);

// Writes the planned entries and the central directory into file, named tempPath in
// messages; an entry that cannot be read is left out and added to skipped. Returns the
// number of entries written; throws when the archive cannot be written.
std::uint64_t BuildArchive(const ZipWriteOptions& options, StdFile& file, const std::filesystem::path& tempPath,
                           const PlanList& plans, std::vector<ZipSkipped>& skipped);

// The engine's own attribute word where none is known: the name decides hidden, a mode
// without any write bit read-only.
std::uint32_t FallbackAttributes(const std::filesystem::path& path, bool isDirectory, std::filesystem::perms perms);

// The attribute word of path: the reader's, or where it knows none the engine's own rule.
std::uint32_t AttributesOf(const AttributeReader& reader, const std::filesystem::path& path, bool isDirectory);

} // namespace velmora::writer
