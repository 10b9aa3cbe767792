// The writer's entry points: planning each entry and writing the archive through a temporary file.
#include "archive/zip/ZipWriter.h"

#include "archive/ArchiveIo.h"
#include "archive/WorkerPool.h"
#include "archive/codecs/DeflateBlocks.h"
#include "archive/crypto/PkwareCipher.h"
#include "archive/crypto/WinZipAes.h"
#include "archive/zip/WriterParts.h"
#include "archive/zip/ZipNames.h"
#include "common/AsciiText.h"
#include "common/Errors.h"
#include "common/LanguageText.h"
#include "common/Utf8Path.h"
#include "platform/FolderHandle.h"
#include "platform/IFileAttributes.h"
#include "platform/IRandomSource.h"
#include "platform/WritePiece.h"

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
namespace fs = std::filesystem;
using namespace writer;

namespace writer {

// The engine's own rule where no attribute word is known: the name decides hidden, a
// mode without any write bit read-only.
std::uint32_t FallbackAttributes(const fs::path& path, bool isDirectory, fs::perms perms)
{
    std::uint32_t attributes = DefaultAttributes(path, isDirectory);
    if (perms != fs::perms::unknown &&
        (perms & (fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write)) == fs::perms::none) {
        attributes |= kAttrReadOnly;
    }
    return attributes;
}

std::uint32_t AttributesOf(const AttributeReader& reader, const fs::path& path, bool isDirectory)
{
    if (reader) {
        if (auto value = reader(path)) {
            return *value;
        }
    }
    std::error_code ec;
    const auto perms = fs::status(path, ec).permissions();
    return FallbackAttributes(path, isDirectory, ec ? fs::perms::unknown : perms);
}

} // namespace writer

namespace {

// The Unix file type and permission bits (0777 at most) for the high half of the external
// attributes, with the host byte left as the name rule sets it: Unix readers restore them
// (Info-ZIP's unzip all but the execute bits from an MS-DOS host, 7-Zip when 0x8000 marks
// the high half as a Unix mode); Windows readers look at the low attribute bits only.
constexpr std::uint32_t kUnixExtension = 0x8000;
std::uint32_t UnixModeWord(fs::perms perms, bool isDirectory)
{
    if (perms == fs::perms::unknown) return 0;
    return (isDirectory ? 0040000u : 0100000u) | (static_cast<std::uint32_t>(perms) & 0777u);
}

} // namespace

namespace writer {

std::optional<EncodedName> PlannedName(const ZipSource& source, const ZipWriteOptions& options, Error& reason)
{
    auto name = EncodeEntryName(source.isDirectory ? source.name + "/" : source.name);
    if (!name || source.name.empty()) {
        reason = Error{Error::Kind::InvalidInput, {}, 0, "The name is not valid UTF-8"};
        return std::nullopt;
    }
    if (name->bytes.size() > 0xFFFF - 64) {
        reason = Error{Error::Kind::InvalidInput, {}, 0, "The name is too long for an archive entry"};
        return std::nullopt;
    }
    if (!options.password.empty() && !source.isDirectory && !name->unicodeExtra.empty()) {
        // Encrypted entries carry a data descriptor. Debian's unzip 6.0 takes any entry
        // with a Unicode Path field for a Zip64 entry and then skips 8 bytes too many
        // after the descriptor, which it reports as overlapping entries (a zip bomb).
        // Such names are stored in UTF-8 instead, which every reader takes from bit 11.
        *name = Utf8EntryName(source.name);
    }
    return name;
}

void PlanList::Add(const EntryPlan& plan, std::size_t index)
{
    m_fields.push_back(
        {plan.size, plan.dosTime, plan.attributes, static_cast<std::uint32_t>(index), plan.source.isDirectory});
    if (!m_options.password.empty()) m_random.push_back(plan.random);
}

EntryPlan PlanList::Make(std::size_t i) const
{
    const Fields& fields = m_fields[i];
    EntryPlan plan;
    plan.source = m_source(fields.source);
    Error reason;
    // Planning encoded this name before: it encodes the same way again.
    plan.name = std::move(*PlannedName(plan.source, m_options, reason));
    plan.dosTime = fields.dosTime;
    plan.attributes = fields.attributes;
    plan.size = fields.size;
    if (!m_random.empty()) plan.random = m_random[i];
    return plan;
}

} // namespace writer

namespace {

EntryPlan PlanFor(const ZipSource& source, const ZipWriteOptions& options, bool& ok, Error& reason)
{
    EntryPlan plan;
    plan.source = source;
    ok = false;
    auto name = PlannedName(source, options, reason);
    if (!name) {
        return plan;
    }
    plan.name = std::move(*name);
    fs::perms permissions = fs::perms::unknown;
    if (source.status) {
        // The walk has just asked: its status holds.
        const ZipSourceStatus& status = *source.status;
        permissions = status.permissions;
        plan.size = source.isDirectory ? 0 : status.size;
        plan.dosTime = FileTimeToDos(status.modified);
        plan.attributes = (status.attributes ? *status.attributes
                                             : FallbackAttributes(source.path, source.isDirectory, permissions)) &
                          0xFFFFu;
    } else {
        std::error_code ec;
        const auto status = fs::status(source.path, ec);
        if (ec || (source.isDirectory ? !fs::is_directory(status) : !fs::is_regular_file(status))) {
            reason = ec ? ErrorFromErrno(ec.value(), Utf8FromPath(source.path), "Reading")
                        : Error{Error::Kind::Unsupported, {}, 0, "Not a regular file"};
            return plan;
        }
        permissions = status.permissions();
        plan.size = source.isDirectory ? 0 : fs::file_size(source.path, ec);
        const auto time = fs::last_write_time(source.path, ec);
        plan.dosTime = ec ? 0x00210000u : FileTimeToDos(time);
        plan.attributes = AttributesOf(options.attributes, source.path, source.isDirectory) & 0xFFFFu;
    }
    if (const std::uint32_t mode = UnixModeWord(permissions, source.isDirectory)) {
        plan.attributes |= (mode << 16) | kUnixExtension;
    }
    ok = true;
    return plan;
}

} // namespace

bool IsZipArchiveName(const fs::path& archive)
{
    const std::string ext = AsciiLower(Utf8FromPath(archive.extension()));
    return ext == ".zip" || ext == ".jar";
}

namespace {
// The refusal of an archive name the writer does not take.
Error NotZipName(const fs::path& archive)
{
    return Error{Error::Kind::InvalidInput, {}, 0, "Not a ZIP archive name (.zip or .jar): " + Utf8FromPath(archive)};
}
} // namespace

namespace writer {

ZipWriteResult WriteSourceList(std::size_t count, const PlanList::SourceAt& sourceAt, const fs::path& archive,
                               const ZipWriteOptions& options)
{
    ZipWriteResult result;
    if (!IsZipArchiveName(archive)) {
        result.outcome = Fail(NotZipName(archive));
        return result;
    }
    if (!options.password.empty() && !options.random) {
        result.outcome = Fail(Error{Error::Kind::InvalidInput, {}, 0, "No random source for the encryption header"});
        return result;
    }
    fs::path tempPath;
    StdFile file;
    try {
        PlanList plans(sourceAt, options);
        plans.Reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            const ZipSource source = sourceAt(i);
            bool ok = false;
            Error reason;
            EntryPlan plan = PlanFor(source, options, ok, reason);
            if (!ok) {
                result.skipped.push_back({source.path, reason});
                continue;
            }
            if (!options.password.empty() && !source.isDirectory) {
                const Result<void> filled =
                    options.random->Fill(std::span<std::uint8_t>(plan.random.data(), options.aes ? 16 : 11));
                if (!filled) throw ArchiveFailure(filled.error());
            }
            plans.Add(plan, i);
        }
        tempPath = CreateTempBeside(archive, file);
        std::setvbuf(file.Handle(), nullptr, _IOFBF, kWritePiece);
        result.entries = BuildArchive(options, file, tempPath, plans, result.skipped);
        if (!file.Close()) {
            throw ArchiveFailure(ErrorFromErrno(errno, Utf8FromPath(tempPath), "Writing"));
        }
        std::error_code ec;
        fs::rename(tempPath, archive, ec);
        if (ec) {
            throw ArchiveFailure(ErrorFromErrno(ec.value(), Utf8FromPath(archive), "Creating archive"));
        }
    } catch (const std::exception& caught) {
        file.Close();
        if (!tempPath.empty()) {
            std::error_code ec;
            fs::remove(tempPath, ec);
        }
        result.outcome = Fail(CaughtError(caught));
        result.entries = 0;
    }
    return result;
}

} // namespace writer

ZipWriteResult WriteZipEntries(const std::vector<ZipSource>& sources, const fs::path& archive,
                               const ZipWriteOptions& options)
{
    return WriteSourceList(
        sources.size(), [&sources](std::size_t i) { return sources[i]; }, archive, options);
}

ZipWriteResult WriteZipArchive(const fs::path& base, const fs::path& archive, const ZipWriteOptions& options,
                               ZipSelection selection)
{
    ZipWriteResult result;
    if (!IsZipArchiveName(archive)) {
        result.outcome = Fail(NotZipName(archive));
        return result;
    }
    std::vector<ZipSkipped> skipped;
    CompactSources sources;
    try {
        sources = CollectCompactSources(base, selection, options.attributes, archive, &skipped, options.folders);
    } catch (const std::exception& caught) {
        result.outcome = Fail(CaughtError(caught));
        return result;
    }
    result = WriteSourceList(
        sources.Size(), [&sources](std::size_t i) { return sources.At(i); }, archive, options);
    result.skipped.insert(result.skipped.begin(), skipped.begin(), skipped.end());
    return result;
}

} // namespace velmora
