#include "archive/ZipReader.h"

#include "archive/ArchiveIo.h"
#include "archive/EntryDecoder.h"
#include "archive/EntryLayers.h"
#include "archive/PkwareCipher.h"
#include "archive/WinZipAes.h"
#include "archive/WorkerPool.h"
#include "archive/ZipIndex.h"
#include "archive/ZipNames.h"
#include "common/AsciiText.h"
#include "common/Errors.h"

#include <algorithm>
#include <cerrno>
#include <deque>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>

namespace velmora {

using namespace archive;
namespace fs = std::filesystem;

namespace {

// Where one entry's data lies, found from its local header.
struct DataSpan {
    std::uint64_t start = 0;
    bool descriptorFlag = false; // bit 3 of the local header
};

std::string LocateData(SharedArchive& file, const ZipIndex& index, const ZipEntryInfo& e, std::uint64_t nextOffset,
                       DataSpan& span)
{
    unsigned char h[30];
    if (e.localHeaderOffset > index.centralOffset || index.centralOffset - e.localHeaderOffset < 30 ||
        !file.ReadAt(e.localHeaderOffset, h, sizeof h) || Get32(h) != kLocalSig) {
        return "damaged local header";
    }
    span.descriptorFlag = (Get16(h + 6) & 0x0008) != 0;
    span.start = e.localHeaderOffset + 30 + Get16(h + 26) + Get16(h + 28);
    if (span.start > nextOffset || e.compressedSize > nextOffset - span.start) {
        return "entry data overlaps other entries or runs past its end";
    }
    return {};
}

// The offset that bounds each entry's data: the next local header or the central directory.
std::vector<std::uint64_t> NextOffsets(const ZipIndex& index, std::vector<bool>& duplicate)
{
    std::vector<std::uint64_t> offsets;
    offsets.reserve(index.entries.size());
    for (const ZipEntryInfo& e : index.entries) {
        offsets.push_back(e.localHeaderOffset);
    }
    std::vector<std::uint64_t> sorted = offsets;
    std::sort(sorted.begin(), sorted.end());
    std::vector<std::uint64_t> next(offsets.size());
    duplicate.assign(offsets.size(), false);
    std::set<std::uint64_t> seen;
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        auto it = std::upper_bound(sorted.begin(), sorted.end(), offsets[i]);
        next[i] = it == sorted.end() ? index.centralOffset : std::min(*it, index.centralOffset);
        duplicate[i] = !seen.insert(offsets[i]).second;
    }
    return next;
}

struct EntryJob {
    EntryStreamPlan stream;
    bool checkCrc = true; // AE-2 entries store no CRC: their authentication code checks them
    std::uint32_t crc32 = 0;
    std::uint64_t plainSize = 0;
    fs::path output; // empty: only verify
    CheckedSink::CommitRules commit;
    CancelFlag cancel = nullptr;
};

struct JobResult {
    std::optional<ExtractError> error;
    std::uint32_t crc = 0;
    std::uint64_t size = 0;
};

// One entry through its layers into the checked sink.
JobResult RunEntryJob(const EntryJob& job)
{
    JobResult result;
    try {
        std::unique_ptr<ByteSource> source = BuildEntryPipeline(job.stream);
        CheckedSink sink(job.output);
        sink.SetLimit(job.plainSize);
        sink.Pump(*source, job.cancel);
        sink.Check(job.checkCrc ? job.crc32 : sink.Crc(), job.plainSize);
        sink.Commit(job.commit);
        result.crc = sink.Crc();
        result.size = sink.Count();
    } catch (const LayerFailure& failure) {
        result.error = failure.Error();
    } catch (const std::exception& error) {
        result.error = ExtractError{ErrorKind::Io, {}, 0, error.what()};
    }
    return result;
}

// Finds the password bytes that open an AES entry (its UTF-8 bytes first, as the writers
// of AES entries use them, then Windows-1252), asking for another password up to three
// times like the traditional cipher does.
bool MatchAesPassword(SharedArchive& file, const ZipEntryInfo& e, const AesExtraField& aes, std::uint64_t start,
                      const ZipExtractOptions& options, std::string& currentPassword, std::string& passwordBytes)
{
    unsigned char head[16 + kAesVerifierSize];
    const std::size_t headSize = AesSaltSize(aes.strength) + kAesVerifierSize;
    if (e.compressedSize < AesOverhead(aes.strength) || !file.ReadAt(start, head, headSize)) {
        return false;
    }
    for (int attempt = 0; attempt <= 3; ++attempt) {
        if (attempt > 0 && options.needPassword && !options.needPassword(currentPassword)) {
            return false;
        }
        const std::string utf8 = currentPassword;
        const std::string windows1252 = PasswordBytes(currentPassword);
        for (const std::string* bytes : {&utf8, &windows1252}) {
            if (bytes == &windows1252 && windows1252 == utf8) {
                break; // an ASCII password has one form only
            }
            if (AesPasswordMatches(*bytes, head, aes.strength)) {
                passwordBytes = *bytes;
                return true;
            }
        }
    }
    return false;
}

bool IsSymlinkEntry(const ZipEntryInfo& e)
{
    const unsigned host = e.versionMadeBy >> 8;
    return (host == 3 || host == 19) && ((e.externalAttributes >> 16) & 0170000u) == 0120000u;
}

// Creates the folders of relative below target without passing through a link or a file;
// the folders it made are added to created.
std::optional<ExtractError> MakeFolders(const fs::path& target, const fs::path& relative, std::set<fs::path>& created)
{
    fs::path current = target;
    for (const fs::path& part : relative) {
        current /= part;
        std::error_code ec;
        const auto status = fs::symlink_status(current, ec);
        if (fs::is_symlink(status)) {
            return ExtractError{ErrorKind::Link, current.string(), 0, "is a link; nothing is written through it"};
        }
        if (fs::is_directory(status)) {
            continue;
        }
        if (fs::exists(status)) {
            return ExtractError{ErrorKind::Clash, current.string(), 0, "is a file, not a folder"};
        }
        if (!fs::create_directory(current, ec) && ec) {
            return ExtractError{ErrorKind::Io, current.string(), ec.value(), "Creating folder"};
        }
        created.insert(current);
    }
    return std::nullopt;
}

enum class Mode { KeepFolders, Flatten, Verify };

// State that outlives one archive: a protected restore reads two archives into one target
// and the clash rule spans both.
struct RunState {
    std::set<std::string> claimed;     // output paths written (or being written)
    std::set<fs::path> createdFolders; // folders this run made
    std::vector<std::pair<fs::path, unsigned>> folderModes;
};

struct ExtractRequest {
    fs::path archive;
    fs::path target;
    Mode mode = Mode::KeepFolders;
    bool flatVerify = false; // Verify: compare with the paths a flat extraction writes
    const std::string* password = nullptr;
    const ZipExtractOptions* options = nullptr;
    const std::vector<ZipSource>* sources = nullptr;
    RunState* state = nullptr;
    // The file no output may replace; empty: the archive being read. A protected restore
    // reads its inner archive from a work folder and must keep the outer one instead.
    fs::path notOver;
};

// Applies the recorded modes of the folders this run created, deepest first, so a folder
// without write permission is closed only after everything inside it is written.
void ApplyFolderModes(RunState& state)
{
    std::sort(state.folderModes.begin(), state.folderModes.end(),
              [](const auto& a, const auto& b) { return a.first.native().size() > b.first.native().size(); });
    for (const auto& [folder, mode] : state.folderModes) {
        if (!state.createdFolders.count(folder)) continue;
        std::error_code ec;
        fs::permissions(folder, static_cast<fs::perms>(mode & 0777u), ec);
    }
    state.folderModes.clear();
}

ZipExtractResult Extract(const ExtractRequest& request)
{
    ZipExtractResult result;
    const ZipExtractOptions& options = *request.options;
    RunState ownState;
    RunState& state = request.state ? *request.state : ownState;
    const Mode mode = request.mode;
    const auto fail = [&](ExtractError error) {
        if (!result.failure) {
            result.failure = error;
            result.error = DescribeError(error);
        }
        result.failures.push_back(DescribeError(error));
    };
    std::optional<SharedArchive> file;
    try {
        file.emplace(request.archive);
    } catch (const LayerFailure& failure) {
        fail(failure.Error());
        return result;
    }
    ZipIndex index;
    if (std::string error = ReadZipIndex(file->File(), request.archive, index); !error.empty()) {
        result.failure = ExtractError{ErrorKind::NotArchive, {}, 0, error};
        result.error = error;
        return result;
    }
    result.warnings = index.warnings;
    std::vector<bool> duplicate;
    const std::vector<std::uint64_t> next = NextOffsets(index, duplicate);
    std::uint64_t total = 0;
    for (const ZipEntryInfo& e : index.entries) {
        total += e.uncompressedSize;
    }
    std::uint64_t done = 0;

    std::string currentPassword = request.password ? *request.password : std::string();
    WorkerPool pool(WorkerPool::DefaultThreads(0));
    struct Pending {
        std::size_t index;
        std::future<JobResult> future;
        std::string relative;
        bool directory = false;
    };
    std::deque<Pending> pending;
    // Verify: output path -> crc, size (folders with size ~0)
    std::map<std::string, std::pair<std::uint32_t, std::uint64_t>> verified;
    constexpr std::uint64_t kFolderMark = ~std::uint64_t{0};
    const auto finishOne = [&] {
        Pending item = std::move(pending.front());
        pending.pop_front();
        JobResult r = item.future.get();
        const ZipEntryInfo& e = index.entries[item.index];
        if (!r.error) {
            ++result.entriesPassed;
            if (mode == Mode::Verify) {
                verified[item.relative] = {r.crc, r.size};
            } else {
                ++result.filesWritten;
            }
        } else {
            ExtractError error = *r.error;
            if (error.path.empty()) error.path = e.name;
            fail(error);
        }
        done += e.uncompressedSize;
        if (options.progress) {
            options.progress(done, total);
        }
    };
    bool stop = false;
    for (std::size_t i = 0; i < index.entries.size() && !stop; ++i) {
        if (options.cancel && options.cancel->load()) {
            fail({ErrorKind::Cancelled, {}, 0, {}});
            break;
        }
        const ZipEntryInfo& e = index.entries[i];
        bool isDirectory = false;
        const std::optional<std::string> safe = SafeRelativeName(e.name, isDirectory);
        if (!safe || IsSymlinkEntry(e) || duplicate[i]) {
            result.rejected.push_back(e.name);
            fail({!safe          ? ErrorKind::UnsafeName
                  : duplicate[i] ? ErrorKind::Damaged
                                 : ErrorKind::Link,
                  e.name, 0, duplicate[i] ? "shares its data with another entry" : ""});
            continue;
        }
        const bool flat = mode == Mode::Flatten || (mode == Mode::Verify && request.flatVerify);
        if (isDirectory && flat) {
            continue;
        }
        const std::string relative = flat ? fs::path(*safe).filename().string() : *safe;
        const FileMode recorded = RecordedMode(e);
        fs::path output;
        if (mode != Mode::Verify) {
            const fs::path rel(relative);
            if (isDirectory) {
                if (auto error = MakeFolders(request.target, rel, state.createdFolders)) {
                    fail(*error);
                } else if (recorded) {
                    state.folderModes.push_back({request.target / rel, *recorded});
                }
                continue;
            }
            if (!flat) {
                if (auto error = MakeFolders(request.target, rel.parent_path(), state.createdFolders)) {
                    fail(*error);
                    continue;
                }
            }
            output = request.target / rel;
        } else if (isDirectory) {
            if (!verified.emplace(relative, std::make_pair(0u, kFolderMark)).second) {
                fail({ErrorKind::Clash, relative, 0, {}});
            }
            continue;
        }
        // The clash rule: no output path is written twice in one run.
        const std::string claim = mode == Mode::Verify ? relative : output.string();
        if (!state.claimed.insert(claim).second) {
            fail({ErrorKind::Clash, mode == Mode::Verify ? e.name : output.string(), 0, {}});
            continue;
        }
        // An AES entry names its real method in its 0x9901 field.
        std::optional<AesExtraField> aes;
        if (e.method == zipmethod::kAes) {
            aes = FindAesExtra(e.extra);
            if (!aes || !e.encrypted) {
                fail({ErrorKind::Damaged, e.name, 0, "damaged AES extra field"});
                continue;
            }
        }
        if (const std::uint16_t method = aes ? aes->method : e.method; !IsMethodSupported(method)) {
            fail({ErrorKind::Unsupported, e.name, 0, MethodText(method) + " is not supported"});
            continue;
        }
        EntryJob job;
        job.output = output;
        job.crc32 = e.crc32;
        job.plainSize = e.uncompressedSize;
        job.cancel = options.cancel;
        job.commit.time =
            options.restoreTimes ? (e.modified ? e.modified : DosToFileTime(e.dosDateTime)) : std::nullopt;
        job.commit.mode = recorded;
        job.commit.notOver = request.notOver.empty() ? request.archive : request.notOver;
        if (!output.empty()) {
            try {
                CheckOutputSlot(output, job.commit);
            } catch (const LayerFailure& failure) {
                fail(failure.Error());
                continue;
            }
        }
        DataSpan span;
        if (std::string error = LocateData(*file, index, e, next[i], span); !error.empty()) {
            fail({ErrorKind::Damaged, e.name, 0, error});
            continue;
        }
        job.stream.archive = &*file;
        job.stream.dataOffset = span.start;
        job.stream.dataLength = e.compressedSize;
        job.stream.decoder.method = aes ? aes->method : e.method;
        job.stream.decoder.flags = e.flags;
        job.stream.decoder.plainSize = e.uncompressedSize;
        if (e.encrypted && aes && request.password) {
            if (!MatchAesPassword(*file, e, *aes, span.start, options, currentPassword, job.stream.passwordBytes)) {
                fail({ErrorKind::WrongPassword, e.name, 0, {}});
                stop = true;
                continue;
            }
            job.stream.aesStrength = aes->strength;
            job.checkCrc = aes->version == 1;
        } else if (e.encrypted) {
            if (!request.password) {
                fail({ErrorKind::WrongPassword, e.name, 0, "the entry is encrypted"});
                continue;
            }
            unsigned char header[12];
            if (e.compressedSize < 12 || !file->ReadAt(span.start, header, 12)) {
                fail({ErrorKind::Damaged, e.name, 0, "damaged encryption header"});
                continue;
            }
            const unsigned char expected = span.descriptorFlag ? static_cast<unsigned char>((e.dosDateTime >> 8) & 0xFF)
                                                               : static_cast<unsigned char>(e.crc32 >> 24);
            bool matched = false;
            for (int attempt = 0; attempt <= 3 && !matched; ++attempt) {
                if (attempt > 0) {
                    if (options.needPassword && !options.needPassword(currentPassword)) {
                        break;
                    }
                }
                // The password's Windows-1252 bytes first, then its UTF-8 bytes.
                const std::string candidates[2] = {PasswordBytes(currentPassword), currentPassword};
                for (const std::string& bytes : candidates) {
                    if (TraditionalDecipher::KeyMatches(header, bytes, expected)) {
                        matched = true;
                        job.stream.passwordBytes = bytes;
                        break;
                    }
                }
            }
            if (!matched) {
                fail({ErrorKind::WrongPassword, e.name, 0, {}});
                stop = true;
                continue;
            }
            job.stream.encrypted = true;
            job.stream.checkByte = expected;
        }
        pending.push_back({i, pool.Submit([job] { return RunEntryJob(job); }), relative, false});
        while (pending.size() >= pool.Size() * 2) {
            finishOne();
        }
    }
    while (!pending.empty()) {
        finishOne();
    }
    if (mode == Mode::Verify && request.sources) {
        std::size_t expected = 0;
        for (const ZipSource& source : *request.sources) {
            ++expected;
            auto it = verified.find(source.name);
            if (it == verified.end() || (it->second.second == kFolderMark) != source.isDirectory) {
                // The entry does not come back at the path it was written from (a name with
                // "\" or one that decodes differently), or is missing.
                fail({ErrorKind::Damaged, source.name, 0, "does not come back from the archive under its own name"});
                continue;
            }
            if (source.isDirectory) continue;
            StdFile in;
            std::uint32_t crc = 0;
            std::uint64_t size = 0;
            if (!in.Open(source.path, "rb")) {
                fail({ErrorKind::Io, source.path.string(), errno, "Opening"});
                continue;
            }
            std::vector<unsigned char> buffer(1u << 20);
            for (std::size_t n; (n = in.Read(buffer.data(), buffer.size())) > 0;) {
                crc = Crc32(crc, buffer.data(), n);
                size += n;
            }
            if (in.Error() || crc != it->second.first || size != it->second.second) {
                fail({ErrorKind::Damaged, source.name, 0, "differs from its source"});
            }
        }
        if (verified.size() != expected) {
            fail({ErrorKind::Damaged, request.archive.string(), 0, "holds entries that are not in the folder"});
        }
    }
    if (!request.state) {
        ApplyFolderModes(state);
    }
    result.ok = !result.failure;
    return result;
}

} // namespace

FileMode RecordedMode(const ZipEntryInfo& e)
{
    const unsigned host = e.versionMadeBy >> 8;
    const unsigned high = e.externalAttributes >> 16;
    if (high == 0) return std::nullopt;
    const unsigned type = high & 0170000u;
    const unsigned expected = e.isDirectory ? 0040000u : 0100000u;
    // Archives made on Unix or macOS store the mode there; from other hosts it counts only
    // in the form that names the entry's own kind (as this writer and Info-ZIP's store it).
    if ((host == 3 || host == 19) ? (type != 0 && type != expected) : type != expected) return std::nullopt;
    return high & 0777u;
}

ZipListing ListZipArchive(const fs::path& archive)
{
    ZipListing listing;
    StdFile file;
    if (!file.Open(archive, "rb")) {
        listing.error = SystemErrorText("Opening archive", archive.string(), errno);
        return listing;
    }
    ZipIndex index;
    listing.error = ReadZipIndex(file, archive, index);
    listing.ok = listing.error.empty();
    listing.entries = std::move(index.entries);
    listing.zip64 = index.zip64;
    listing.warnings = std::move(index.warnings);
    return listing;
}

ZipExtractResult UnZipFile(const fs::path& archive, const fs::path& target, const ZipExtractOptions& options)
{
    std::error_code ec;
    if (!fs::is_directory(target, ec)) {
        fs::create_directories(target, ec);
        if (ec) {
            ZipExtractResult result;
            result.failure = ExtractError{ErrorKind::Io, target.string(), ec.value(), "Creating folder"};
            result.error = DescribeError(*result.failure);
            return result;
        }
    }
    std::optional<std::string> password;
    if (options.password) password = std::string(TrimBlanks(*options.password));
    ExtractRequest request;
    request.archive = archive;
    request.target = target;
    request.mode = Mode::KeepFolders;
    request.password = password ? &*password : nullptr;
    request.options = &options;
    return Extract(request);
}

ZipExtractResult ExtractProtected(const fs::path& target, const fs::path& archive, std::string_view password,
                                  const ZipExtractOptions& options)
{
    std::error_code ec;
    if (!fs::is_directory(target, ec)) {
        if (!fs::create_directory(target, ec) && ec) {
            throw VelmoraError(SystemErrorText("Creating folder", target.string(), ec.value()));
        }
    }
    const std::string trimmed(TrimBlanks(password));
    ExtractRequest request;
    request.archive = archive;
    request.target = target;
    request.mode = Mode::Flatten;
    request.password = &trimmed;
    request.options = &options;
    return Extract(request);
}

ZipExtractResult RestoreProtected(const fs::path& archive, const fs::path& target, std::string_view password,
                                  const ZipExtractOptions& options)
{
    std::error_code ec;
    const bool targetExisted = fs::is_directory(target, ec);
    if (!targetExisted) {
        if (!fs::create_directory(target, ec) && ec) {
            throw VelmoraError(SystemErrorText("Creating folder", target.string(), ec.value()));
        }
    }
    const auto dropTargetIfNew = [&] {
        std::error_code ignored;
        if (!targetExisted && fs::is_empty(target, ignored)) fs::remove(target, ignored);
    };
    // The outer archive goes into a folder of our own inside the target first: nothing of
    // the target changes before the password has proved right and the data checked.
    fs::path staging;
    {
        std::mt19937_64 generator{std::random_device{}()};
        for (int attempt = 0; attempt < 50 && staging.empty(); ++attempt) {
            const fs::path candidate = target / (".velmora-restore-" + std::to_string(generator() % 1000000007u));
            if (fs::create_directory(candidate, ec)) staging = candidate;
        }
    }
    if (staging.empty()) {
        dropTargetIfNew();
        ZipExtractResult result;
        result.failure = ExtractError{ErrorKind::Io, target.string(), ec.value(), "Creating a work folder in"};
        result.error = DescribeError(*result.failure);
        return result;
    }
    struct StagingGuard {
        fs::path path;
        ~StagingGuard()
        {
            std::error_code ignored;
            fs::remove_all(path, ignored);
        }
    } guard{staging};

    const std::string trimmed(TrimBlanks(password));
    ZipExtractOptions half = options;
    if (options.progress) {
        half.progress = [&options](std::uint64_t done, std::uint64_t total) { options.progress(done, total * 2); };
    }
    RunState outerState;
    ExtractRequest outerRequest;
    outerRequest.archive = archive;
    outerRequest.target = staging;
    outerRequest.mode = Mode::Flatten;
    outerRequest.password = &trimmed;
    outerRequest.options = &half;
    outerRequest.state = &outerState;
    ZipExtractResult outer = Extract(outerRequest);
    // What failed is named by the path it would have taken in the target, not in the work
    // folder, which is gone when the user reads the message.
    const auto inTarget = [&](std::string& text) {
        const std::string from = staging.string();
        const std::string to = target.string();
        for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
            text.replace(at, from.size(), to);
    };
    if (outer.failure) inTarget(outer.failure->path);
    inTarget(outer.error);
    for (std::string& text : outer.failures)
        inTarget(text);
    if (!outer.ok && outer.failure && outer.failure->kind == ErrorKind::WrongPassword) {
        fs::remove_all(staging, ec);
        guard.path.clear();
        dropTargetIfNew();
        return outer;
    }

    RunState state;
    ZipExtractResult result = outer;
    const fs::path inner = staging / "folder.zip";
    bool innerUnpacked = false;
    const fs::file_status innerStatus = fs::symlink_status(inner, ec);
    if (!targetExisted && outer.ok && fs::is_regular_file(innerStatus)) {
        // A target made here gets the protected folder's mode, which the inner archive
        // carries as its read and write bits; each read bit also gives the search bit.
        const unsigned bits = static_cast<unsigned>(innerStatus.permissions()) & 0666u;
        state.folderModes.push_back({target, bits | ((bits & 0444u) >> 2)});
        state.createdFolders.insert(target);
    }
    if (outer.ok && fs::is_regular_file(innerStatus)) {
        // Written by this run from the archive and checked: the plain archive is unpacked
        // into the target and then removed.
        ZipExtractOptions second = options;
        if (options.progress) {
            second.progress = [&options](std::uint64_t done, std::uint64_t total) {
                options.progress(total + done, total * 2);
            };
        }
        ExtractRequest innerRequest;
        innerRequest.archive = inner;
        innerRequest.notOver = archive; // the inner archive lies in the work folder, out of reach
        innerRequest.target = target;
        innerRequest.mode = Mode::Flatten;
        innerRequest.password = &trimmed;
        innerRequest.options = &second;
        innerRequest.state = &state;
        result = Extract(innerRequest);
        result.filesWritten += outer.filesWritten - 1;
        innerUnpacked = true;
        if (!result.ok) {
            ApplyFolderModes(state);
            return result;
        }
    }
    // The outer archive's other files (all of them when it held no inner archive) move into
    // the target under the same clash rule.
    std::vector<fs::path> staged;
    for (fs::directory_iterator it(staging, ec), end; !ec && it != end; it.increment(ec)) {
        if (innerUnpacked && it->path() == inner) continue;
        staged.push_back(it->path());
    }
    std::sort(staged.begin(), staged.end());
    for (const fs::path& from : staged) {
        const fs::path to = target / from.filename();
        try {
            if (!state.claimed.insert(to.string()).second) {
                throw LayerFailure(ErrorKind::Clash, {}, to.string());
            }
            CheckedSink::CommitRules rules;
            rules.notOver = archive;
            CheckOutputSlot(to, rules);
            std::error_code moveError;
            fs::rename(from, to, moveError);
            if (moveError) throw LayerFailure(ErrorKind::Io, "Writing", to.string(), moveError.value());
        } catch (const LayerFailure& failure) {
            if (!result.failure) {
                result.failure = failure.Error();
                result.error = DescribeError(failure.Error());
                result.ok = false;
            }
        }
    }
    if (!innerUnpacked) result.filesWritten = outer.filesWritten;
    ApplyFolderModes(state);
    return result;
}

ZipExtractResult VerifyZipArchive(const fs::path& archive, std::string_view password,
                                  const std::vector<ZipSource>* sources, bool flattened)
{
    const std::string copy(password);
    ZipExtractOptions options;
    options.restoreTimes = false;
    ExtractRequest request;
    request.archive = archive;
    request.mode = Mode::Verify;
    request.flatVerify = flattened;
    request.password = &copy;
    request.options = &options;
    request.sources = sources;
    return Extract(request);
}

} // namespace velmora
