#pragma once
// One extraction run over one archive, the class behind Extract: its steps are in
// Extraction.cpp (the run, claiming outputs, dispatching and finishing entries) and
// EntryPlanning.cpp (an entry's method, records, cipher and links). Internal to src/archive.
#include "archive/WorkerPool.h"
#include "archive/zip/EntryJobs.h"
#include "archive/zip/Extraction.h"
#include "archive/zip/PasswordMatch.h"
#include "archive/zip/ZipIndex.h"

#include <cstdint>
#include <deque>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velmora::extraction {

// Entries whose packed and plain data together stay below this go to the writer threads
// in batches: for one of them alone a handoff costs more than the work. Bigger ones are
// shared out to the helper threads, one entry per task.
constexpr std::uint64_t kInlineLimit = 1u << 20;
// Small entries are decoded, checked and made into files by this many writer threads, in
// batches of up to kBatchEntries entries or kBatchBytes of data. Decoding them there, not
// on the reading thread, keeps both cores busy through a run of small entries (the helper
// threads have nothing to do then). A file without a name is made without holding its
// folder's lock, so the creations overlap; only the naming is one at a time. Four writers
// did better than two on two cores.
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

    ZipExtractResult Run();

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
    void Fail(const ExtractError& error);

    void Record(const ExtractError& error);

    // The target is held open for the whole run: everything is made below it through the
    // open folder.
    bool OpenTarget();

    bool OpenArchive();

    void ExtractEntry(std::size_t i);

    // The name rules, the folders and the clash rule: false when the entry is done with
    // (refused, a folder, or a clash); else the path it is compared under and, unless
    // only verifying, the path it is written to.
    bool ClaimOutput(std::size_t i, std::string& relative, OutputSlot& output);

    // A link entry: its target is its data, decoded and checked like a file's, and it
    // becomes a link as the policy allows; the others are told as warnings. Entries
    // before it that are still being written go first, so the order of failures holds.
    void MakeLinkEntry(std::size_t i, const EntryJob& job, const std::string& relative);

    // Why a link at relative (below the target) to target may not be made under the policy;
    // empty when it may. Inside: the target is relative, climbs ("..") only at its start and
    // no higher than the target folder, and passes through no link but those this run made
    // (whose own targets kept to the same rule), so it resolves inside the target folder.
    std::string LinkRefusal(const std::string& relative, const std::string& target);

    // The method, the data's place and the cipher of entry i; false when the entry fails.
    bool PlanJob(std::size_t i, const OutputSlot& output, EntryJob& job);

    // The central and local records of entry i disagree on its CRC-32 or sizes. The entry
    // is read by whichever record the data bears out (its stream ends within that
    // record's size and gives that size and CRC-32), never reaching past the next entry's
    // data, with a warning naming the fields; when neither does, it fails. Encrypted
    // entries keep the central record: their data cannot be tried without the password.
    bool ReconcileRecords(std::size_t i, const DataSpan& span, bool centralFits, EntryJob& job);

    // Checks the password against the entry's header; a wrong one stops the run.
    bool PlanCipher(std::size_t i, const DataSpan& span, const std::optional<AesExtraField>& aes, EntryJob& job);

    // Deriving an AES entry's keys costs more than decoding a small entry, so once a
    // password has opened one, the keys of the next few AES entries are derived with the
    // same password bytes on the helper threads. The password check stays here, in entry
    // order: keys that do not open their entry are simply not used.
    void DeriveKeysAhead(std::size_t i, const std::string& passwordBytes);

    // The keys derived ahead for entry i, if any; tasks for entries before it are dropped.
    std::optional<ReadyAesKeys> TakeKeysAhead(std::size_t i);

    void CancelKeysAhead();

    // Small entries go to the writer threads in batches, big ones to a helper thread each.
    // At most two entries per helper and two batches per writer wait, so memory stays
    // bounded.
    void Dispatch(std::size_t i, EntryJob job, std::string relative);

    // Adds a small entry to the open batch, which is handed over once full.
    void Stage(EntryJob job, Pending& item);

    void SubmitBatch();

    bool FrontReady() const;

    bool MustWait() const;

    void FinishOne();

    // Every source must come back at its own path with its own content, and the archive
    // must hold nothing else.
    void CompareWithSources();

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
    ZipEntryInfo m_entry; // the entry being claimed and planned, in full
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

} // namespace velmora::extraction
