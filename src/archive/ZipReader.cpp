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
#include "common/Utf8Path.h"
#include "platform/UnnamedFile.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <future>
#include <map>
#include <memory>
#include <mutex>
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
    // The local header's own CRC-32 and sizes, when it holds them (no bit 3, no Zip64).
    bool localSizes = false;
    std::uint32_t localCrc = 0;
    std::uint64_t localPacked = 0;
    std::uint64_t localPlain = 0;
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
    span.localCrc = Get32(h + 14);
    span.localPacked = Get32(h + 18);
    span.localPlain = Get32(h + 22);
    span.localSizes = !span.descriptorFlag && span.localPacked != 0xFFFFFFFFu && span.localPlain != 0xFFFFFFFFu;
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
    fs::path output;          // empty: only verify
    bool keepUnnamed = false; // the checked data stays in an unnamed file in output's folder
    CheckedSink::CommitRules commit;
    CancelFlag cancel = nullptr;
};

struct JobResult {
    std::optional<ExtractError> error;
    std::uint32_t crc = 0;
    std::uint64_t size = 0;
    std::unique_ptr<UnnamedFile> unnamed; // EntryJob::keepUnnamed
};

// Runs step and turns what it throws into result.error.
template <typename Step> void Guarded(JobResult& result, Step&& step)
{
    try {
        step();
    } catch (const LayerFailure& failure) {
        result.error = failure.Error();
    } catch (const std::exception& error) {
        result.error = ExtractError{ErrorKind::Io, {}, 0, error.what()};
    }
}

// Decodes entry data into sink and checks its size and CRC-32.
void DecodeAndCheck(const EntryJob& job, CheckedSink& sink, JobResult& result)
{
    try {
        std::unique_ptr<ByteSource> source = BuildEntryPipeline(job.stream);
        sink.SetLimit(job.plainSize);
        sink.Pump(*source, job.cancel);
        sink.Check(job.checkCrc ? job.crc32 : sink.Crc(), job.plainSize);
    } catch (const LayerFailure& failure) {
        // Traditional encryption checks the password against one byte only, so one wrong
        // password in 256 gets through that check and the data then fails to decode or
        // to match its CRC. Told as damage, the user would think the archive broken.
        const ErrorKind kind = failure.Error().kind;
        if (!job.stream.encrypted || (kind != ErrorKind::Damaged && kind != ErrorKind::TooLarge)) throw;
        ExtractError error = failure.Error();
        error.kind = ErrorKind::WrongPassword;
        error.detail = "wrong password, or damaged data";
        throw LayerFailure(std::move(error));
    }
    result.crc = sink.Crc();
    result.size = sink.Count();
}

// One entry through its layers into the checked sink.
JobResult RunEntryJob(const EntryJob& job)
{
    JobResult result;
    Guarded(result, [&] {
        CheckedSink sink(job.output, job.keepUnnamed ? CheckedSink::Keep::Unnamed : CheckedSink::Keep::Named);
        DecodeAndCheck(job, sink, result);
        if (job.keepUnnamed) {
            result.unnamed = sink.TakeUnnamed();
        } else {
            sink.Commit(job.commit);
        }
    });
    if (result.error) result.crc = result.size = 0;
    return result;
}

// Small entries decoded and checked on the reading thread, whose files a writer thread
// makes. Creating a file is the dearest part of a small entry and happens mostly in the
// kernel; several writers let those creations overlap.
struct WriteBatch {
    std::vector<std::unique_ptr<CheckedSink>> sinks; // checked data, no file yet
    std::vector<CheckedSink::CommitRules> rules;
    std::vector<JobResult> results;
    std::uint64_t bytes = 0;
    bool submitted = false;
    std::future<void> done;
};

// Makes the files of a batch in order; each failure stays with its own entry. Once the
// run is cancelled no further file is made.
void CommitBatch(WriteBatch& batch, const CancelFlag& cancel)
{
    for (std::size_t i = 0; i < batch.sinks.size(); ++i) {
        Guarded(batch.results[i], [&] {
            if (cancel && cancel->load()) throw LayerFailure(ErrorKind::Cancelled, {});
            batch.sinks[i]->Commit(batch.rules[i]);
        });
        batch.sinks[i].reset(); // closes the file (or removes what a failure left) here
    }
}

// Keys derived ahead of time for one AES entry, with the password bytes they came from.
struct ReadyAesKeys {
    std::string passwordBytes;
    std::shared_ptr<const AesKeys> keys;
};

// Finds the password bytes that open an AES entry (its UTF-8 bytes first, as the writers
// of AES entries use them, then Windows-1252), asking for another password up to three
// times like the traditional cipher does. keys receives the keys that open it; keys made
// ahead for the same password bytes are used instead of deriving them again.
bool MatchAesPassword(SharedArchive& file, const ZipEntryInfo& e, const AesExtraField& aes, std::uint64_t start,
                      const ZipExtractOptions& options, std::string& currentPassword, std::string& passwordBytes,
                      const std::optional<ReadyAesKeys>& ready, std::shared_ptr<const AesKeys>& keys)
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
            std::shared_ptr<const AesKeys> candidate;
            if (ready && ready->keys && ready->passwordBytes == *bytes && ready->keys->strength == aes.strength) {
                candidate = ready->keys;
            } else {
                candidate = std::make_shared<const AesKeys>(DeriveAesKeys(*bytes, head, aes.strength));
            }
            if (candidate->Open(head)) {
                passwordBytes = *bytes;
                keys = std::move(candidate);
                return true;
            }
        }
    }
    return false;
}

// The key derivation of one AES entry, queued for a helper thread; whichever thread comes
// to it first does it.
class AesKeyTask {
public:
    AesKeyTask(std::string passwordBytes, const unsigned char* head, std::uint8_t strength)
        : m_passwordBytes(std::move(passwordBytes)), m_strength(strength)
    {
        std::memcpy(m_salt, head, AesSaltSize(strength));
    }
    // Derives the keys unless another thread has started on them or they were cancelled.
    void Run()
    {
        {
            std::lock_guard lock(m_mutex);
            if (m_state != State::Waiting) return;
            m_state = State::Deriving;
        }
        std::shared_ptr<const AesKeys> keys;
        try {
            keys = std::make_shared<const AesKeys>(DeriveAesKeys(m_passwordBytes, m_salt, m_strength));
        } catch (const std::exception&) {
            // left to the ordinary check, which reports the failure for its entry
        }
        std::lock_guard lock(m_mutex);
        m_keys = std::move(keys);
        m_state = State::Done;
        m_done.notify_all();
    }
    void Cancel()
    {
        std::lock_guard lock(m_mutex);
        if (m_state == State::Waiting) m_state = State::Done;
    }
    // The keys, derived here when no helper has started on them yet.
    ReadyAesKeys Take()
    {
        Run();
        std::unique_lock lock(m_mutex);
        m_done.wait(lock, [this] { return m_state == State::Done; });
        return {m_passwordBytes, m_keys};
    }

private:
    enum class State { Waiting, Deriving, Done };
    const std::string m_passwordBytes;
    unsigned char m_salt[16] = {};
    const std::uint8_t m_strength;
    std::mutex m_mutex;
    std::condition_variable m_done;
    State m_state = State::Waiting;
    std::shared_ptr<const AesKeys> m_keys;
};

// Finds the password bytes whose key decrypts the traditional encryption header to the
// expected check byte (the password's Windows-1252 bytes first, then its UTF-8 bytes),
// asking for another password up to three times.
bool MatchTraditionalPassword(const unsigned char* header, unsigned char expected, const ZipExtractOptions& options,
                              std::string& currentPassword, std::string& passwordBytes)
{
    for (int attempt = 0; attempt <= 3; ++attempt) {
        if (attempt > 0 && options.needPassword && !options.needPassword(currentPassword)) {
            return false;
        }
        const std::string candidates[2] = {PasswordBytes(currentPassword), currentPassword};
        for (const std::string& bytes : candidates) {
            if (TraditionalDecipher::KeyMatches(header, bytes, expected)) {
                passwordBytes = bytes;
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

enum class Mode { KeepFolders, Flatten, Verify };

// State that outlives one archive: a protected restore reads two archives into one target
// and the clash rule spans both.
struct RunState {
    std::set<std::string> claimed;     // output paths written (or being written)
    std::set<fs::path> createdFolders; // folders this run made
    std::set<fs::path> checkedFolders; // folders seen to be real folders (not links) in this run
    std::vector<std::pair<fs::path, unsigned>> folderModes;
};

// Creates the folders of relative below target without passing through a link or a file;
// the folders it made are added to state.createdFolders. A folder is looked at once per run.
std::optional<ExtractError> MakeFolders(const fs::path& target, const fs::path& relative, RunState& state)
{
    fs::path current = target;
    for (const fs::path& part : relative) {
        current /= part;
        if (state.checkedFolders.count(current)) continue;
        // A file this run writes there may not have its name yet.
        if (state.claimed.count(Utf8FromPath(current))) {
            return ExtractError{ErrorKind::Clash, Utf8FromPath(current), 0, "is a file, not a folder"};
        }
        std::error_code ec;
        const auto status = fs::symlink_status(current, ec);
        if (fs::is_symlink(status)) {
            return ExtractError{ErrorKind::Link, Utf8FromPath(current), 0, "is a link; nothing is written through it"};
        }
        if (fs::exists(status) && !fs::is_directory(status)) {
            return ExtractError{ErrorKind::Clash, Utf8FromPath(current), 0, "is a file, not a folder"};
        }
        if (!fs::exists(status)) {
            if (!fs::create_directory(current, ec) && ec) {
                return ExtractError{ErrorKind::Io, Utf8FromPath(current), ec.value(), "Creating folder"};
            }
            state.createdFolders.insert(current);
        }
        state.checkedFolders.insert(current);
    }
    return std::nullopt;
}

struct ExtractRequest {
    fs::path archive;
    SharedArchive* opened = nullptr; // read through this handle instead of opening archive
    fs::path notOver;                // never written over (default: archive)
    fs::path target;
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

// Entries whose packed and plain data together stay below this are decoded on the reading
// thread: for them a handoff to a helper thread costs more than the work. Bigger ones are
// shared out to the helper threads.
constexpr std::uint64_t kInlineLimit = 1u << 20;
// The files of small entries are made by this many writer threads, in batches of up to
// kBatchEntries entries or kBatchBytes of data. A file without a name is made without
// holding its folder's lock, so the creations overlap; only the naming is one at a time.
// Four writers did better than two on two cores, the pending data stays at a few MiB.
constexpr unsigned kWriterThreads = 4;
constexpr std::size_t kBatchEntries = 32;
constexpr std::uint64_t kBatchBytes = 1u << 20;

// One run over one archive: the central directory is walked in order, each entry is
// checked (name, clash, method, password) and planned, and its data is decoded into the
// checked sink; results are taken in entry order, so failures and progress keep it.
class Extraction {
public:
    explicit Extraction(const ExtractRequest& request)
        : m_request(request), m_options(*request.options), m_state(request.state ? *request.state : m_ownState),
          m_password(request.password ? *request.password : std::string())
    {}
    ~Extraction() { CancelKeysAhead(); }
    Extraction(const Extraction&) = delete;
    Extraction& operator=(const Extraction&) = delete;

    ZipExtractResult Run()
    {
        if (!OpenArchive()) return std::move(m_result);
        for (std::size_t i = 0; i < m_index.entries.size() && !m_stop; ++i) {
            if (m_options.cancel && m_options.cancel->load()) {
                Fail({ErrorKind::Cancelled, {}, 0, {}});
                break;
            }
            ExtractEntry(i);
        }
        while (!m_pending.empty())
            FinishOne();
        if (m_request.mode == Mode::Verify && m_request.sources) CompareWithSources();
        if (!m_request.state) ApplyFolderModes(m_state);
        m_result.ok = !m_result.failure;
        return std::move(m_result);
    }

private:
    struct Pending {
        std::size_t index;
        std::optional<JobResult> done;     // decoded on the reading thread
        std::future<JobResult> future;     // or still on a helper thread
        std::shared_ptr<WriteBatch> batch; // or checked, its file made by a writer thread
        std::size_t slot = 0;              // its place in batch
        std::string relative;
        std::optional<ExtractError> failure; // instead: a failure found on the reading thread
    };
    static constexpr std::uint64_t kFolderMark = ~std::uint64_t{0};

    // Failures are reported in entry order: one found while earlier entries are still
    // under way waits for them.
    void Fail(const ExtractError& error)
    {
        if (m_pending.empty()) {
            Record(error);
        } else {
            Pending item{0, std::nullopt, {}, nullptr, 0, {}, error};
            m_pending.push_back(std::move(item));
        }
    }

    void Record(const ExtractError& error)
    {
        // Entries still under way when the run is cancelled all fail so; it is said once.
        if (error.kind == ErrorKind::Cancelled && m_result.failure && m_result.failure->kind == ErrorKind::Cancelled) {
            return;
        }
        if (!m_result.failure) {
            m_result.failure = error;
            m_result.error = DescribeError(error);
        }
        m_result.failures.push_back(DescribeError(error));
    }

    bool OpenArchive()
    {
        if (m_request.opened) {
            m_archive = m_request.opened;
        } else {
            try {
                m_ownArchive.emplace(m_request.archive);
            } catch (const LayerFailure& failure) {
                Fail(failure.Error());
                return false;
            }
            m_archive = &*m_ownArchive;
        }
        if (std::string error = ReadZipIndex(m_archive->File(), m_request.archive, m_index); !error.empty()) {
            m_result.failure = ExtractError{ErrorKind::NotArchive, {}, 0, error};
            m_result.error = error;
            return false;
        }
        m_result.warnings = m_index.warnings;
        m_next = NextOffsets(m_index, m_duplicate);
        for (const ZipEntryInfo& e : m_index.entries)
            m_total += e.uncompressedSize;
        return true;
    }

    void ExtractEntry(std::size_t i)
    {
        std::string relative;
        fs::path output;
        if (!ClaimOutput(i, relative, output)) return;
        EntryJob job;
        if (!PlanJob(i, output, job)) return;
        job.keepUnnamed = m_request.kept && relative == m_request.keptName;
        Dispatch(i, std::move(job), std::move(relative));
    }

    // The name rules, the folders and the clash rule: false when the entry is done with
    // (refused, a folder, or a clash); else the path it is compared under and, unless
    // only verifying, the path it is written to.
    bool ClaimOutput(std::size_t i, std::string& relative, fs::path& output)
    {
        const ZipEntryInfo& e = m_index.entries[i];
        const Mode mode = m_request.mode;
        bool isDirectory = false;
        const std::optional<std::string> safe = SafeRelativeName(e.name, isDirectory);
        if (!safe || IsSymlinkEntry(e) || m_duplicate[i]) {
            m_result.rejected.push_back(e.name);
            Fail({!safe            ? ErrorKind::UnsafeName
                  : m_duplicate[i] ? ErrorKind::Damaged
                                   : ErrorKind::Link,
                  e.name, 0, m_duplicate[i] ? "shares its data with another entry" : ""});
            return false;
        }
        const bool flat = mode == Mode::Flatten || (mode == Mode::Verify && m_request.flatVerify);
        if (isDirectory && flat) return false;
        relative = flat ? Utf8FromPath(PathFromUtf8(*safe).filename()) : *safe;
        if (mode == Mode::Verify) {
            if (isDirectory) {
                if (!m_verified.emplace(relative, std::make_pair(0u, kFolderMark)).second) {
                    Fail({ErrorKind::Clash, relative, 0, {}});
                }
                return false;
            }
            if (!m_state.claimed.insert(relative).second) {
                Fail({ErrorKind::Clash, e.name, 0, {}});
                return false;
            }
            return true;
        }
        const fs::path rel = PathFromUtf8(relative);
        if (isDirectory) {
            if (auto error = MakeFolders(m_request.target, rel, m_state)) {
                Fail(*error);
            } else if (const FileMode recorded = RecordedMode(e)) {
                m_state.folderModes.push_back({m_request.target / rel, *recorded});
            }
            return false;
        }
        if (!flat) {
            if (auto error = MakeFolders(m_request.target, rel.parent_path(), m_state)) {
                Fail(*error);
                return false;
            }
        }
        output = m_request.target / rel;
        // The clash rule: no output path is written twice in one run.
        if (!m_state.claimed.insert(Utf8FromPath(output)).second) {
            Fail({ErrorKind::Clash, Utf8FromPath(output), 0, {}});
            return false;
        }
        return true;
    }

    // The method, the data's place and the cipher of entry i; false when the entry fails.
    bool PlanJob(std::size_t i, const fs::path& output, EntryJob& job)
    {
        const ZipEntryInfo& e = m_index.entries[i];
        // An AES entry names its real method in its 0x9901 field.
        std::optional<AesExtraField> aes;
        if (e.method == zipmethod::kAes) {
            aes = FindAesExtra(e.extra);
            if (!aes || !e.encrypted) {
                Fail({ErrorKind::Damaged, e.name, 0, "damaged AES extra field"});
                return false;
            }
        }
        if (const std::uint16_t method = aes ? aes->method : e.method; !IsMethodSupported(method)) {
            Fail({ErrorKind::Unsupported, e.name, 0, MethodText(method) + " is not supported"});
            return false;
        }
        job.output = output;
        job.crc32 = e.crc32;
        job.plainSize = e.uncompressedSize;
        job.cancel = m_options.cancel;
        job.commit.time =
            m_options.restoreTimes ? (e.modified ? e.modified : DosToFileTime(e.dosDateTime)) : std::nullopt;
        job.commit.mode = RecordedMode(e);
        if (!job.commit.mode && !output.empty()) {
            if (!m_newFileMode) m_newFileMode = NewFileMode();
            job.commit.newFileMode = m_newFileMode;
        }
        job.commit.notOver = m_request.notOver.empty() ? m_request.archive : m_request.notOver;
        DataSpan span;
        const std::string error = LocateData(*m_archive, m_index, e, m_next[i], span);
        const bool disagree = span.localSizes && (span.localCrc != e.crc32 || span.localPacked != e.compressedSize ||
                                                  span.localPlain != e.uncompressedSize);
        if (!error.empty() && !(disagree && span.start <= m_next[i])) {
            Fail({ErrorKind::Damaged, e.name, 0, error});
            return false;
        }
        job.stream.archive = m_archive;
        job.stream.dataOffset = span.start;
        job.stream.dataLength = e.compressedSize;
        job.stream.decoder.method = aes ? aes->method : e.method;
        job.stream.decoder.flags = e.flags;
        job.stream.decoder.plainSize = e.uncompressedSize;
        if (disagree && !ReconcileRecords(i, span, error.empty(), job)) return false;
        if (e.encrypted) return PlanCipher(i, span, aes, job);
        return true;
    }

    // The central and local records of entry i disagree on its CRC-32 or sizes. The entry
    // is read by whichever record the data bears out (its stream ends within that
    // record's size and gives that size and CRC-32), never reaching past the next entry's
    // data, with a warning naming the fields; when neither does, it fails. Encrypted
    // entries keep the central record: their data cannot be tried without the password.
    bool ReconcileRecords(std::size_t i, const DataSpan& span, bool centralFits, EntryJob& job)
    {
        const ZipEntryInfo& e = m_index.entries[i];
        std::string fields;
        const auto field = [&](bool differs, const char* name) {
            if (differs) fields += (fields.empty() ? "" : ", ") + std::string(name);
        };
        field(span.localPacked != e.compressedSize, "compressed size");
        field(span.localPlain != e.uncompressedSize, "size");
        field(span.localCrc != e.crc32, "CRC-32");
        const bool localFits = span.localPacked <= m_next[i] - span.start;
        const auto bornOut = [&](std::uint64_t packed, std::uint64_t plain, std::uint32_t crc) {
            EntryJob trial = job;
            trial.output.clear();
            trial.keepUnnamed = false;
            trial.stream.dataLength = packed;
            trial.stream.decoder.plainSize = plain;
            trial.plainSize = plain;
            trial.crc32 = crc;
            return !RunEntryJob(trial).error;
        };
        const std::string disagreement = "the central and local records disagree on the " + fields;
        if (!e.encrypted && centralFits && bornOut(e.compressedSize, e.uncompressedSize, e.crc32)) {
            m_result.warnings.push_back("'" + e.name + "': " + disagreement + "; the central record matches the data");
            return true;
        }
        if (!e.encrypted && localFits && bornOut(span.localPacked, span.localPlain, span.localCrc)) {
            m_result.warnings.push_back("'" + e.name + "': " + disagreement + "; the local record matches the data");
            job.stream.dataLength = span.localPacked;
            job.stream.decoder.plainSize = span.localPlain;
            job.plainSize = span.localPlain;
            job.crc32 = span.localCrc;
            return true;
        }
        if (e.encrypted && centralFits) return true; // checked as before
        Fail({ErrorKind::Damaged, e.name, 0, disagreement + ", and the data matches neither"});
        return false;
    }

    // Checks the password against the entry's header; a wrong one stops the run.
    bool PlanCipher(std::size_t i, const DataSpan& span, const std::optional<AesExtraField>& aes, EntryJob& job)
    {
        const ZipEntryInfo& e = m_index.entries[i];
        if (!m_request.password) {
            Fail({ErrorKind::WrongPassword, e.name, 0, "the entry is encrypted"});
            return false;
        }
        if (aes) {
            if (!MatchAesPassword(*m_archive, e, *aes, span.start, m_options, m_password, job.stream.passwordBytes,
                                  TakeKeysAhead(i), job.stream.aesKeys)) {
                Fail({ErrorKind::WrongPassword, e.name, 0, {}});
                m_stop = true;
                return false;
            }
            job.stream.aesStrength = aes->strength;
            job.checkCrc = aes->version == 1;
            DeriveKeysAhead(i, job.stream.passwordBytes);
            return true;
        }
        unsigned char header[12];
        if (e.compressedSize < 12 || !m_archive->ReadAt(span.start, header, 12)) {
            Fail({ErrorKind::Damaged, e.name, 0, "damaged encryption header"});
            return false;
        }
        const unsigned char expected = span.descriptorFlag ? static_cast<unsigned char>((e.dosDateTime >> 8) & 0xFF)
                                                           : static_cast<unsigned char>(e.crc32 >> 24);
        if (!MatchTraditionalPassword(header, expected, m_options, m_password, job.stream.passwordBytes)) {
            Fail({ErrorKind::WrongPassword, e.name, 0, {}});
            m_stop = true;
            return false;
        }
        job.stream.encrypted = true;
        job.stream.checkByte = expected;
        return true;
    }

    // Deriving an AES entry's keys costs more than decoding a small entry, so once a
    // password has opened one, the keys of the next few AES entries are derived with the
    // same password bytes on the helper threads. The password check stays here, in entry
    // order: keys that do not open their entry are simply not used.
    void DeriveKeysAhead(std::size_t i, const std::string& passwordBytes)
    {
        if (!m_pool) m_pool.emplace(WorkerPool::DefaultThreads(0));
        const std::size_t last = std::min(m_index.entries.size() - 1, i + 4 * std::size_t{m_pool->Size()});
        for (m_keysAheadFrom = std::max(m_keysAheadFrom, i + 1); m_keysAheadFrom <= last; ++m_keysAheadFrom) {
            const std::size_t j = m_keysAheadFrom;
            const ZipEntryInfo& e = m_index.entries[j];
            if (e.method != zipmethod::kAes || !e.encrypted) continue;
            const std::optional<AesExtraField> aes = FindAesExtra(e.extra);
            DataSpan span;
            unsigned char head[16 + kAesVerifierSize];
            if (!aes || e.compressedSize < AesOverhead(aes->strength) ||
                !LocateData(*m_archive, m_index, e, m_next[j], span).empty() ||
                !m_archive->ReadAt(span.start, head, AesSaltSize(aes->strength) + kAesVerifierSize)) {
                continue; // the entry's own check reports it
            }
            auto task = std::make_shared<AesKeyTask>(passwordBytes, head, aes->strength);
            m_keyTasks.emplace(j, task);
            m_pool->Submit([task] { task->Run(); });
        }
    }

    // The keys derived ahead for entry i, if any; tasks for entries before it are dropped.
    std::optional<ReadyAesKeys> TakeKeysAhead(std::size_t i)
    {
        std::optional<ReadyAesKeys> ready;
        while (!m_keyTasks.empty() && m_keyTasks.begin()->first <= i) {
            const auto first = m_keyTasks.begin();
            if (first->first == i) {
                ready = first->second->Take();
            } else {
                first->second->Cancel();
            }
            m_keyTasks.erase(first);
        }
        return ready;
    }

    void CancelKeysAhead()
    {
        for (auto& [index, task] : m_keyTasks)
            task->Cancel();
        m_keyTasks.clear();
    }

    // Small entries are decoded and checked here and now, and their files made by writer
    // threads in batches; big ones go to a helper thread. At most two entries per helper
    // and two batches per writer wait, so memory stays bounded.
    void Dispatch(std::size_t i, EntryJob job, std::string relative)
    {
        const ZipEntryInfo& e = m_index.entries[i];
        Pending item{i, std::nullopt, {}, nullptr, 0, std::move(relative), std::nullopt};
        if (e.compressedSize + e.uncompressedSize >= kInlineLimit) {
            if (!m_pool) m_pool.emplace(WorkerPool::DefaultThreads(0));
            item.future = m_pool->Submit([job = std::move(job)] { return RunEntryJob(job); });
            ++m_bigInFlight;
        } else if (job.output.empty() || job.keepUnnamed) {
            item.done = RunEntryJob(job);
        } else {
            Stage(job, item);
        }
        m_pending.push_back(std::move(item));
        while (!m_pending.empty() && (FrontReady() || MustWait()))
            FinishOne();
    }

    // Decodes and checks a small entry and adds it to the open batch; one that fails its
    // checks is done with at once, without a file ever made for it.
    void Stage(const EntryJob& job, Pending& item)
    {
        JobResult result;
        auto sink = std::make_unique<CheckedSink>(job.output);
        Guarded(result, [&] { DecodeAndCheck(job, *sink, result); });
        if (result.error) {
            item.done = std::move(result);
            return;
        }
        if (!m_batch) m_batch = std::make_shared<WriteBatch>();
        m_batch->bytes += result.size;
        m_batch->sinks.push_back(std::move(sink));
        m_batch->rules.push_back(job.commit);
        m_batch->results.push_back(std::move(result));
        item.batch = m_batch;
        item.slot = m_batch->sinks.size() - 1;
        if (m_batch->sinks.size() >= kBatchEntries || m_batch->bytes >= kBatchBytes) SubmitBatch();
    }

    void SubmitBatch()
    {
        if (!m_batch) return;
        if (!m_writers) m_writers.emplace(kWriterThreads);
        m_batch->submitted = true;
        m_batch->done =
            m_writers->Submit([batch = m_batch, cancel = m_options.cancel] { CommitBatch(*batch, cancel); });
        ++m_batchesInFlight;
        m_batch.reset();
    }

    bool FrontReady() const
    {
        const Pending& front = m_pending.front();
        if (front.done || front.failure) return true;
        if (front.batch) {
            return front.batch->submitted &&
                   front.batch->done.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
        }
        return front.future.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    }

    bool MustWait() const
    {
        return (m_bigInFlight > 0 && m_bigInFlight >= m_pool->Size() * 2) || m_batchesInFlight >= kWriterThreads * 2;
    }

    void FinishOne()
    {
        Pending item = std::move(m_pending.front());
        m_pending.pop_front();
        if (item.failure) {
            Record(*item.failure);
            return;
        }
        JobResult r;
        if (item.done) {
            r = std::move(*item.done);
        } else if (item.batch) {
            if (!item.batch->submitted) SubmitBatch();
            item.batch->done.wait();
            r = std::move(item.batch->results[item.slot]);
            if (item.slot + 1 == item.batch->results.size()) {
                --m_batchesInFlight;
                // The finished task, kept by the batch's future, holds the batch in turn:
                // letting go of the future frees both.
                item.batch->done = std::future<void>();
            }
        } else {
            r = item.future.get();
            --m_bigInFlight;
        }
        const ZipEntryInfo& e = m_index.entries[item.index];
        if (!r.error) {
            ++m_result.entriesPassed;
            if (r.unnamed) {
                *m_request.kept = std::move(r.unnamed);
            } else if (m_request.mode == Mode::Verify) {
                m_verified[item.relative] = {r.crc, r.size};
            } else {
                ++m_result.filesWritten;
            }
        } else {
            ExtractError error = *r.error;
            if (error.path.empty()) error.path = e.name;
            Record(error);
        }
        m_done += e.uncompressedSize;
        if (m_options.progress) m_options.progress(m_done, m_total);
    }

    // Every source must come back at its own path with its own content, and the archive
    // must hold nothing else.
    void CompareWithSources()
    {
        std::size_t expected = 0;
        for (const ZipSource& source : *m_request.sources) {
            ++expected;
            auto it = m_verified.find(source.name);
            if (it == m_verified.end() || (it->second.second == kFolderMark) != source.isDirectory) {
                // The entry does not come back at the path it was written from (a name with
                // "\" or one that decodes differently), or is missing.
                Fail({ErrorKind::Damaged, source.name, 0, "does not come back from the archive under its own name"});
                continue;
            }
            if (source.isDirectory) continue;
            StdFile in;
            std::uint32_t crc = 0;
            std::uint64_t size = 0;
            if (!in.Open(source.path, "rb")) {
                Fail({ErrorKind::Io, Utf8FromPath(source.path), errno, "Opening"});
                continue;
            }
            thread_local std::vector<unsigned char> buffer;
            buffer.resize(1u << 20);
            for (std::size_t n; (n = in.Read(buffer.data(), buffer.size())) > 0;) {
                crc = Crc32(crc, buffer.data(), n);
                size += n;
            }
            if (in.Error() || crc != it->second.first || size != it->second.second) {
                Fail({ErrorKind::Damaged, source.name, 0, "differs from its source"});
            }
        }
        if (m_verified.size() != expected) {
            Fail({ErrorKind::Damaged, Utf8FromPath(m_request.archive), 0, "holds entries that are not in the folder"});
        }
    }

    const ExtractRequest& m_request;
    const ZipExtractOptions& m_options;
    RunState m_ownState;
    RunState& m_state;
    std::string m_password; // the one asked for last
    ZipExtractResult m_result;
    std::optional<SharedArchive> m_ownArchive;
    SharedArchive* m_archive = nullptr;
    ZipIndex m_index;
    std::vector<bool> m_duplicate;
    std::vector<std::uint64_t> m_next;
    std::uint64_t m_total = 0;
    std::uint64_t m_done = 0;
    bool m_stop = false;
    FileMode m_newFileMode; // read once per run, when an entry records no mode
    std::optional<WorkerPool> m_pool;
    std::size_t m_bigInFlight = 0;
    std::optional<WorkerPool> m_writers;
    std::shared_ptr<WriteBatch> m_batch; // the batch being filled
    std::size_t m_batchesInFlight = 0;
    std::deque<Pending> m_pending;
    std::map<std::size_t, std::shared_ptr<AesKeyTask>> m_keyTasks; // entry -> keys being derived ahead
    std::size_t m_keysAheadFrom = 0;                               // the first entry not yet looked ahead at
    // Verify: output path -> CRC-32 and size (folders: kFolderMark)
    std::map<std::string, std::pair<std::uint32_t, std::uint64_t>> m_verified;
};

ZipExtractResult Extract(const ExtractRequest& request)
{
    return Extraction(request).Run();
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
        listing.error = SystemErrorText("Opening archive", Utf8FromPath(archive), errno);
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
            result.failure = ExtractError{ErrorKind::Io, Utf8FromPath(target), ec.value(), "Creating folder"};
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
            throw VelmoraError(SystemErrorText("Creating folder", Utf8FromPath(target), ec.value()));
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

namespace {

constexpr const char* kInnerName = "folder.zip";
constexpr const char* kRestorePrefix = ".velmora-restore-";
// Inside a restore's work folder: the marker that says the folder is ours, and the folder
// the outer archive's files are extracted into.
constexpr const char* kRestoreMarker = "owner";
constexpr const char* kRestoreFiles = "files";
constexpr const char* kRestoreMarkerText = "work folder of a protected-folder restore\n";

bool IsRealFolder(const fs::path& path)
{
    std::error_code ec;
    return fs::is_directory(fs::symlink_status(path, ec));
}

bool IsRealFile(const fs::path& path)
{
    std::error_code ec;
    return fs::is_regular_file(fs::symlink_status(path, ec));
}

// A work folder left by a restore that was killed part way: named by us, and either empty
// (killed before the marker was written) or holding the marker with its text and nothing
// but the flat files a restore extracts.
bool IsStaleRestoreFolder(const fs::path& folder)
{
    const std::string name = Utf8FromPath(folder.filename());
    const std::string prefix = kRestorePrefix;
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return false;
    if (!std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                     [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    if (!IsRealFolder(folder)) return false;
    std::error_code ec;
    bool marked = false;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string part = Utf8FromPath(it->path().filename());
        if (part == kRestoreMarker && IsRealFile(it->path())) {
            StdFile marker;
            char text[64] = {};
            marked = marker.Open(it->path(), "rb") && marker.Read(text, sizeof text - 1) > 0 &&
                     std::string(text) == kRestoreMarkerText;
            if (!marked) return false;
        } else if (part == kRestoreFiles && IsRealFolder(it->path())) {
            for (fs::directory_iterator file(it->path(), ec); !ec && file != end; file.increment(ec)) {
                if (!IsRealFile(file->path())) return false;
            }
        } else {
            return false;
        }
    }
    if (ec) return false;
    return marked || fs::is_empty(folder, ec);
}

void RemoveStaleRestoreFolders(const fs::path& target)
{
    std::error_code ec;
    std::vector<fs::path> stale;
    for (fs::directory_iterator it(target, ec), end; !ec && it != end; it.increment(ec)) {
        if (IsStaleRestoreFolder(it->path())) stale.push_back(it->path());
    }
    for (const fs::path& folder : stale)
        fs::remove_all(folder, ec);
}

// What both ways of restoring share.
struct RestoreContext {
    fs::path archive;
    fs::path target;
    std::string password;
    const ZipExtractOptions* options = nullptr;
    bool targetExisted = true;

    void DropTargetIfNew() const
    {
        std::error_code ignored;
        if (!targetExisted && fs::is_empty(target, ignored)) fs::remove(target, ignored);
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
};

ZipExtractResult Failed(ExtractError error)
{
    ZipExtractResult result;
    result.error = DescribeError(error);
    result.failures.push_back(result.error);
    result.failure = std::move(error);
    return result;
}

// True when the archive has the protected form: one file, which extracts to folder.zip;
// innerMode is the mode that file records.
bool HoldsOnlyTheInnerArchive(const ZipIndex& index, FileMode& innerMode)
{
    int files = 0;
    bool inner = false;
    for (const ZipEntryInfo& e : index.entries) {
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
std::optional<ZipExtractResult> RestoreThroughUnnamedInner(const RestoreContext& c)
{
    std::optional<SharedArchive> outerFile;
    try {
        outerFile.emplace(c.archive);
    } catch (const LayerFailure&) {
        return std::nullopt; // reported by the general way
    }
    ZipIndex index;
    FileMode innerMode;
    if (!ReadZipIndex(outerFile->File(), c.archive, index).empty() || !HoldsOnlyTheInnerArchive(index, innerMode)) {
        return std::nullopt;
    }
    if (!CreateUnnamedFile(c.target)) return std::nullopt;

    std::unique_ptr<UnnamedFile> inner;
    const ZipExtractOptions first = c.FirstHalf();
    RunState outerState;
    ExtractRequest outerRequest;
    outerRequest.archive = c.archive;
    outerRequest.opened = &*outerFile;
    outerRequest.target = c.target;
    outerRequest.mode = Mode::Flatten;
    outerRequest.password = &c.password;
    outerRequest.options = &first;
    outerRequest.state = &outerState;
    outerRequest.kept = &inner;
    outerRequest.keptName = kInnerName;
    ZipExtractResult outer = Extract(outerRequest);
    if (!outer.ok) {
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
    if (!c.targetExisted) {
        // A target made here gets the protected folder's mode, which the inner archive
        // carries as its read and write bits; each read bit also gives the search bit.
        const unsigned bits = (innerMode ? *innerMode : NewFileMode()) & 0666u;
        state.folderModes.push_back({c.target, bits | ((bits & 0444u) >> 2)});
        state.createdFolders.insert(c.target);
    }
    ExtractRequest innerRequest;
    innerRequest.archive = innerPath;
    innerRequest.opened = &innerArchive;
    innerRequest.notOver = c.archive;
    innerRequest.target = c.target;
    innerRequest.mode = Mode::Flatten;
    innerRequest.password = &c.password;
    innerRequest.options = &second;
    innerRequest.state = &state;
    ZipExtractResult result = Extract(innerRequest);
    ApplyFolderModes(state);
    return result;
}

// Any other form, or a file system without unnamed files: the outer archive goes into a
// work folder of our own inside the target first, so nothing of the target changes
// before the password has proved right and the data is checked.
ZipExtractResult RestoreThroughWorkFolder(const RestoreContext& c)
{
    std::error_code ec;
    fs::path work;
    {
        std::mt19937_64 generator{std::random_device{}()};
        for (int attempt = 0; attempt < 50 && work.empty(); ++attempt) {
            const fs::path candidate =
                c.target / PathFromUtf8(kRestorePrefix + std::to_string(generator() % 1000000007u));
            if (fs::create_directory(candidate, ec)) work = candidate;
        }
    }
    if (work.empty()) {
        c.DropTargetIfNew();
        return Failed({ErrorKind::Io, Utf8FromPath(c.target), ec.value(), "Creating a work folder in"});
    }
    struct WorkGuard {
        fs::path path;
        ~WorkGuard()
        {
            std::error_code ignored;
            fs::remove_all(path, ignored);
        }
    } guard{work};
    // The marker lets a later restore remove the folder when this one is killed.
    const fs::path staging = work / PathFromUtf8(kRestoreFiles);
    {
        StdFile marker;
        const std::string text = kRestoreMarkerText;
        if (!marker.Open(work / PathFromUtf8(kRestoreMarker), "wb") || !marker.Write(text.data(), text.size()) ||
            !marker.Close() || !fs::create_directory(staging, ec)) {
            const int error = ec ? ec.value() : errno;
            fs::remove_all(work, ec);
            guard.path.clear();
            c.DropTargetIfNew();
            return Failed({ErrorKind::Io, Utf8FromPath(c.target), error, "Creating a work folder in"});
        }
    }

    const ZipExtractOptions first = c.FirstHalf();
    RunState outerState;
    ExtractRequest outerRequest;
    outerRequest.archive = c.archive;
    outerRequest.target = staging;
    outerRequest.mode = Mode::Flatten;
    outerRequest.password = &c.password;
    outerRequest.options = &first;
    outerRequest.state = &outerState;
    ZipExtractResult outer = Extract(outerRequest);
    // What failed is named by the path it would have taken in the target, not in the work
    // folder, which is gone when the user reads the message.
    const auto inTarget = [&](std::string& text) {
        const std::string from = Utf8FromPath(staging);
        const std::string to = Utf8FromPath(c.target);
        for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
            text.replace(at, from.size(), to);
    };
    if (outer.failure) inTarget(outer.failure->path);
    inTarget(outer.error);
    for (std::string& text : outer.failures)
        inTarget(text);
    if (!outer.ok && outer.failure && outer.failure->kind == ErrorKind::WrongPassword) {
        fs::remove_all(work, ec);
        guard.path.clear();
        c.DropTargetIfNew();
        return outer;
    }

    RunState state;
    ZipExtractResult result = outer;
    const fs::path inner = staging / PathFromUtf8(kInnerName);
    bool innerUnpacked = false;
    const fs::file_status innerStatus = fs::symlink_status(inner, ec);
    if (!c.targetExisted && outer.ok && fs::is_regular_file(innerStatus)) {
        // A target made here gets the protected folder's mode, which the inner archive
        // carries as its read and write bits; each read bit also gives the search bit.
        const unsigned bits = static_cast<unsigned>(innerStatus.permissions()) & 0666u;
        state.folderModes.push_back({c.target, bits | ((bits & 0444u) >> 2)});
        state.createdFolders.insert(c.target);
    }
    if (outer.ok && fs::is_regular_file(innerStatus)) {
        // Written by this run from the archive and checked: the plain archive is unpacked
        // into the target and then removed.
        const ZipExtractOptions second = c.SecondHalf();
        ExtractRequest innerRequest;
        innerRequest.archive = inner;
        innerRequest.notOver = c.archive; // the inner archive lies in the work folder, out of reach
        innerRequest.target = c.target;
        innerRequest.mode = Mode::Flatten;
        innerRequest.password = &c.password;
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
        const fs::path to = c.target / from.filename();
        try {
            if (!state.claimed.insert(Utf8FromPath(to)).second) {
                throw LayerFailure(ErrorKind::Clash, {}, Utf8FromPath(to));
            }
            CheckedSink::CommitRules rules;
            rules.notOver = c.archive;
            CheckOutputSlot(to, rules);
            std::error_code moveError;
            fs::rename(from, to, moveError);
            if (moveError) throw LayerFailure(ErrorKind::Io, "Writing", Utf8FromPath(to), moveError.value());
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
        if (!fs::create_directory(target, ec) && ec) {
            throw VelmoraError(SystemErrorText("Creating folder", Utf8FromPath(target), ec.value()));
        }
    } else {
        RemoveStaleRestoreFolders(target);
    }
    if (std::optional<ZipExtractResult> result = RestoreThroughUnnamedInner(context)) return std::move(*result);
    return RestoreThroughWorkFolder(context);
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
