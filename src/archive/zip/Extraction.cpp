// The extraction of a ZIP archive: the run over the central directory, each entry checked
// and planned, and its job handed to the reading thread, a helper or a writer batch.
#include "archive/zip/Extraction.h"

#include "archive/zip/ExtractionRun.h"

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

ZipExtractResult Extraction::Run()
{
    if (!OpenTarget() || !OpenArchive()) return std::move(m_result);
    for (std::size_t i = 0; i < m_index.size() && !m_stop; ++i) {
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
    return std::move(m_result);
}

void Extraction::Fail(const ExtractError& error)
{
    if (m_pending.empty()) {
        Record(error);
    } else {
        Pending item{0, std::nullopt, {}, nullptr, 0, {}, error};
        m_pending.push_back(std::move(item));
    }
}

void Extraction::Record(const ExtractError& error)
{
    // Entries still under way when the run is cancelled all fail so; it is said once.
    if (error.kind == ErrorKind::Cancelled && !m_result.outcome &&
        m_result.outcome.error().kind == velmora::Error::Kind::Cancelled) {
        return;
    }
    m_result.failures.push_back(ErrorOf(error));
    if (m_result.outcome) m_result.outcome = velmora::Fail(m_result.failures.back());
}

bool Extraction::OpenTarget()
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

bool Extraction::OpenArchive()
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
    if (Result<void> read = ReadZipIndex(m_archive->File(), m_request.archive, m_index); !read) {
        m_result.outcome = std::move(read);
        return false;
    }
    m_result.warnings = m_index.warnings;
    m_next = NextOffsets(m_index, m_duplicate);
    for (std::size_t i = 0; i < m_index.size(); ++i)
        m_total += m_index[i].uncompressedSize;
    return true;
}

void Extraction::ExtractEntry(std::size_t i)
{
    m_entry = m_index.Entry(i);
    std::string relative;
    OutputSlot output;
    if (!ClaimOutput(i, relative, output)) return;
    EntryJob job;
    if (!PlanJob(i, output, job)) return;
    if (IsSymlinkEntry(m_entry) && output.folder) {
        MakeLinkEntry(i, job, relative);
        return;
    }
    job.keepUnnamed = m_request.kept && relative == m_request.keptName;
    Dispatch(i, std::move(job), std::move(relative));
}

bool Extraction::ClaimOutput(std::size_t i, std::string& relative, OutputSlot& output)
{
    const ZipEntryInfo& e = m_entry;
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
        if (!m_state.claimed.Insert(ClashKey(relative))) {
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
    // The clash rule: no output path is written twice in one run (in any letter case where
    // the system's names ignore it).
    if (!m_state.claimed.Insert(ClashKey(Utf8FromPath(output.path)))) {
        Fail({ErrorKind::Clash, Utf8FromPath(output.path), 0, {}});
        return false;
    }
    return true;
}

void Extraction::Dispatch(std::size_t i, EntryJob job, std::string relative)
{
    const ZipIndex::Record& e = m_index[i];
    Pending item{i, std::nullopt, {}, nullptr, 0, std::move(relative), std::nullopt};
    if (e.compressedSize + e.uncompressedSize >= kInlineLimit) {
        if (!m_pool) m_pool.emplace(WorkerPool::DefaultThreads(0));
        item.future = m_pool->Submit([job = std::move(job)] { return RunEntryJob(job); });
        ++m_bigInFlight;
    } else if (!job.output.folder || job.keepUnnamed) {
        item.done = RunEntryJob(job);
    } else {
        Stage(std::move(job), item);
    }
    m_pending.push_back(std::move(item));
    while (!m_pending.empty() && (FrontReady() || MustWait()))
        FinishOne();
}

void Extraction::Stage(EntryJob job, Pending& item)
{
    const ZipIndex::Record& e = m_index[item.index];
    if (!m_batch) m_batch = std::make_shared<WriteBatch>();
    m_batch->bytes += e.compressedSize + e.uncompressedSize;
    m_batch->jobs.push_back(std::move(job));
    item.batch = m_batch;
    item.slot = m_batch->jobs.size() - 1;
    if (m_batch->jobs.size() >= kBatchEntries || m_batch->bytes >= kBatchBytes) SubmitBatch();
}

void Extraction::SubmitBatch()
{
    if (!m_batch) return;
    if (!m_writers) m_writers.emplace(kWriterThreads);
    m_batch->submitted = true;
    m_batch->done = m_writers->Submit([batch = m_batch, cancel = m_options.cancel] { RunBatch(*batch, cancel); });
    ++m_batchesInFlight;
    m_batch.reset();
}

bool Extraction::FrontReady() const
{
    const Pending& front = m_pending.front();
    if (front.done || front.failure) return true;
    if (front.batch) {
        return front.batch->submitted &&
               front.batch->done.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    }
    return front.future.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

bool Extraction::MustWait() const
{
    return (m_bigInFlight > 0 && m_bigInFlight >= m_pool->Size() * 2) || m_batchesInFlight >= kWriterThreads * 2;
}

void Extraction::FinishOne()
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
        if (error.path.empty()) error.path = m_index.Name(item.index);
        Record(error);
    }
    m_done += m_index[item.index].uncompressedSize;
    if (m_options.progress) m_options.progress(m_done, m_total);
}

void Extraction::CompareWithSources()
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

ZipExtractResult Extract(const ExtractRequest& request)
{
    return Extraction(request).Run();
}

ZipExtractResult Failed(const ExtractError& error)
{
    return Failed(ErrorOf(error));
}

ZipExtractResult Failed(Error error)
{
    ZipExtractResult result;
    result.failures.push_back(error);
    result.outcome = Fail(std::move(error));
    return result;
}

ZipExtractResult TargetNotMade(const fs::path& target, int err)
{
    ZipExtractResult result = Failed(ErrorFromErrno(err, Utf8FromPath(target), "Creating folder"));
    result.targetNotMade = true;
    return result;
}

} // namespace velmora::extraction
