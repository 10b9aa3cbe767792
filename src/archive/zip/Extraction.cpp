// The extraction of a ZIP archive: the run over the central directory, each entry checked
// and planned, and its job handed to the reading thread, a helper or a writer batch.
#include "archive/zip/Extraction.h"

#include "archive/zip/EntryJobs.h"
#include "archive/zip/PasswordMatch.h"

#include "archive/EntryLayers.h"
#include "archive/WorkerPool.h"
#include "archive/codecs/EntryDecoder.h"
#include "archive/crypto/PkwareCipher.h"
#include "archive/crypto/WinZipAes.h"
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

namespace velmora::extraction {

using namespace archive;

bool IsSymlinkEntry(const ZipEntryInfo& e)
{
    const unsigned host = e.versionMadeBy >> 8;
    return (host == 3 || host == 19) && ((e.externalAttributes >> 16) & 0170000u) == 0120000u;
}

namespace {

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
        if (!OpenTarget() || !OpenArchive()) return std::move(m_result);
        for (std::size_t i = 0; i < m_index.entries.size() && !m_stop; ++i) {
            if (m_options.cancel && m_options.cancel->load()) {
                Fail({ErrorKind::Cancelled, {}, 0, {}});
                break;
            }
            if (m_options.beforeEntry) m_options.beforeEntry(i);
            ExtractEntry(i);
        }
        while (!m_pending.empty())
            FinishOne();
        if (m_request.mode == Mode::Verify && m_request.sources) CompareWithSources();
        if (!m_request.state) ApplyFolderModes(m_state, m_root);
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

    // The target is held open for the whole run: everything is made below it through the
    // open folder.
    bool OpenTarget()
    {
        if (m_request.mode == Mode::Verify) return true;
        m_root = m_request.targetFolder;
        if (m_root) return true;
        int error = 0;
        m_root = OpenFolderHandle(m_request.target, error,
                                  m_request.targetMadeHere ? LastPartLink::Refused : LastPartLink::AsFound);
        if (!m_root) Fail({ErrorKind::Io, Utf8FromPath(m_request.target), error, "Opening folder"});
        return m_root != nullptr;
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
        OutputSlot output;
        if (!ClaimOutput(i, relative, output)) return;
        EntryJob job;
        if (!PlanJob(i, output, job)) return;
        if (IsSymlinkEntry(m_index.entries[i]) && output.folder) {
            MakeLinkEntry(i, job, relative);
            return;
        }
        job.keepUnnamed = m_request.kept && relative == m_request.keptName;
        Dispatch(i, std::move(job), std::move(relative));
    }

    // The name rules, the folders and the clash rule: false when the entry is done with
    // (refused, a folder, or a clash); else the path it is compared under and, unless
    // only verifying, the path it is written to.
    bool ClaimOutput(std::size_t i, std::string& relative, OutputSlot& output)
    {
        const ZipEntryInfo& e = m_index.entries[i];
        const Mode mode = m_request.mode;
        bool isDirectory = false;
        const std::optional<std::string> safe = SafeRelativeName(e.name, isDirectory);
        const bool flat = mode == Mode::Flatten || (mode == Mode::Verify && m_request.flatVerify);
        // Links are made only where folders are kept; a verification reads them as data.
        const bool refusedLink = IsSymlinkEntry(e) && mode == Mode::Flatten;
        if (!safe || refusedLink || m_duplicate[i]) {
            m_result.rejected.push_back(e.name);
            Fail({!safe            ? ErrorKind::UnsafeName
                  : m_duplicate[i] ? ErrorKind::Damaged
                                   : ErrorKind::Link,
                  e.name, 0, m_duplicate[i] ? "shares its data with another entry" : ""});
            return false;
        }
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
        std::optional<ExtractError> error;
        if (isDirectory) {
            if (!MakeFolders(m_root, m_request.target, rel, m_state, error)) {
                Fail(*error);
            } else if (const FileMode recorded = RecordedMode(e)) {
                m_state.folderModes.push_back({m_request.target / rel, rel, *recorded});
            }
            return false;
        }
        std::shared_ptr<FolderHandle> folder =
            flat ? m_root : MakeFolders(m_root, m_request.target, rel.parent_path(), m_state, error);
        if (!folder) {
            Fail(*error);
            return false;
        }
        output = OutputSlot{std::move(folder), rel.filename(), m_request.target / rel};
        // The clash rule: no output path is written twice in one run.
        if (!m_state.claimed.insert(Utf8FromPath(output.path)).second) {
            Fail({ErrorKind::Clash, Utf8FromPath(output.path), 0, {}});
            return false;
        }
        return true;
    }

    // A link entry: its target is its data, decoded and checked like a file's, and it
    // becomes a link as the policy allows; the others are told as warnings. Entries
    // before it that are still being written go first, so the order of failures holds.
    void MakeLinkEntry(std::size_t i, const EntryJob& job, const std::string& relative)
    {
        const ZipEntryInfo& e = m_index.entries[i];
        const fs::path path = m_request.target / PathFromUtf8(relative);
        constexpr std::uint64_t kLongestTarget = 4095;
        std::string target;
        JobResult result;
        Guarded(result, [&] {
            if (job.plainSize > kLongestTarget) throw LayerFailure(ErrorKind::Damaged, "the link's target is too long");
            std::unique_ptr<ByteSource> source = BuildEntryPipeline(job.stream);
            target.resize(static_cast<std::size_t>(job.plainSize) + 1);
            std::size_t got = 0;
            for (std::size_t n;
                 got < target.size() &&
                 (n = source->Read(reinterpret_cast<unsigned char*>(target.data()) + got, target.size() - got)) > 0;) {
                got += n;
            }
            if (got != job.plainSize) throw LayerFailure(ErrorKind::Damaged, "the link's target has the wrong size");
            source->Finish();
            target.resize(got);
            if (job.checkCrc && Crc32(0, target.data(), target.size()) != job.crc32) {
                throw LayerFailure(ErrorKind::Damaged, "CRC-32 mismatch");
            }
        });
        if (result.error) {
            if (result.error->path.empty()) result.error->path = e.name;
            Fail(*result.error);
            return;
        }
        const std::string shown = "'" + Utf8FromPath(path) + "' -> '" + target + "'";
        if (const std::string refusal = LinkRefusal(relative, target); !refusal.empty()) {
            m_result.warnings.push_back(shown + ": link not made, " + refusal);
            return;
        }
        const fs::path name = job.output.name;
        FolderHandle& folder = *job.output.folder;
        int error = folder.MakeLink(name, target);
        if (error == EEXIST) {
            // Something is there already: replaced under the rules that files follow, in one step.
            try {
                CheckedSink::CommitRules rules;
                rules.notOver = m_request.notOver.empty() ? m_request.archive : m_request.notOver;
                CheckOutputSlot(job.output, rules);
            } catch (const LayerFailure& failure) {
                Fail(failure.Error());
                return;
            }
            const fs::path temp = PathFromUtf8(".velmora-link-" + std::to_string(i));
            folder.RemoveTree(temp);
            error = folder.MakeLink(temp, target);
            if (error == 0) error = folder.Move(temp, folder, name);
            if (error != 0) folder.RemoveTree(temp);
        }
        if (error == ENOSYS) {
            m_result.warnings.push_back(shown + ": link not made, links are not made on this system");
            return;
        }
        if (error != 0) {
            Fail({ErrorKind::Io, Utf8FromPath(path), error, "Making the link"});
            return;
        }
        m_state.madeLinks.insert(path);
        ++m_result.filesWritten;
        ++m_result.entriesPassed;
    }

    // Why a link at relative (below the target) to target may not be made under the policy;
    // empty when it may. Inside: the target is relative, climbs ("..") only at its start and
    // no higher than the target folder, and passes through no link but those this run made
    // (whose own targets kept to the same rule), so it resolves inside the target folder.
    std::string LinkRefusal(const std::string& relative, const std::string& target)
    {
        if (m_options.links == LinkPolicy::Skip) return "links are skipped";
        if (target.empty() || target.find('\0') != std::string::npos) return "its target is empty or not a name";
        if (m_options.links == LinkPolicy::All) return {};
        if (target.front() == '/') return "it points outside the folder";
        std::vector<std::string> parts;
        for (std::size_t at = 0; at <= target.size();) {
            const std::size_t slash = std::min(target.find('/', at), target.size());
            parts.push_back(target.substr(at, slash - at));
            at = slash + 1;
        }
        std::vector<fs::path> folder;
        for (const fs::path& part : PathFromUtf8(relative).parent_path())
            folder.push_back(part);
        std::size_t k = 0;
        for (; k < parts.size() && (parts[k] == ".." || parts[k] == "." || parts[k].empty()); ++k) {
            if (parts[k] != "..") continue;
            if (folder.empty()) return "it points outside the folder";
            folder.pop_back();
        }
        fs::path at;
        for (const fs::path& part : folder)
            at /= part;
        int error = 0;
        std::shared_ptr<FolderHandle> walk = OpenFolderBeneath(m_root, at, error);
        for (; k < parts.size(); ++k) {
            if (parts[k] == "..") return "its target climbs back up after going down";
            if (parts[k] == "." || parts[k].empty()) continue;
            const fs::path part = PathFromUtf8(parts[k]);
            at /= part;
            if (!walk) continue; // missing on the way: nothing to pass through yet
            FolderItem item;
            if (walk->Look(part, item) != 0 || item.kind == FolderItem::Kind::Missing) {
                walk.reset();
            } else if (item.kind == FolderItem::Kind::Link) {
                if (!m_state.madeLinks.count(m_request.target / at))
                    return "it passes through a link that was there already";
                walk.reset(); // a link of this run: its target kept to the rule
            } else if (item.kind == FolderItem::Kind::Folder) {
                walk = walk->Child(part, FolderHandle::ChildMode::Open, nullptr, error);
            } else {
                walk.reset();
            }
        }
        return {};
    }

    // The method, the data's place and the cipher of entry i; false when the entry fails.
    bool PlanJob(std::size_t i, const OutputSlot& output, EntryJob& job)
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
        if (!job.commit.mode && output.folder) {
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
            trial.output = OutputSlot{};
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
        } else if (!job.output.folder || job.keepUnnamed) {
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
            if (!OpenSource(source, in)) {
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
    std::shared_ptr<FolderHandle> m_root; // the target, held open (none when verifying)
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

} // namespace

ZipExtractResult Extract(const ExtractRequest& request)
{
    return Extraction(request).Run();
}

ZipExtractResult Failed(ExtractError error)
{
    ZipExtractResult result;
    result.error = DescribeError(error);
    result.failures.push_back(result.error);
    result.failure = std::move(error);
    return result;
}

} // namespace velmora::extraction
