#pragma once
// The entry jobs of an extraction run: where an entry's data lies, one entry decoded and
// checked through its layers, and the batches of small entries whose files a writer
// thread makes. Internal to src/archive.
#include "archive/EntryLayers.h"
#include "archive/zip/Extraction.h"
#include "archive/zip/ZipIndex.h"

#include <cstdint>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velmora::extraction {

using namespace archive;

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
                       DataSpan& span);

// The offset that bounds each entry's data: the next local header or the central directory.
std::vector<std::uint64_t> NextOffsets(const ZipIndex& index, std::vector<bool>& duplicate);

struct EntryJob {
    EntryStreamPlan stream;
    bool checkCrc = true; // AE-2 entries store no CRC: their authentication code checks them
    std::uint32_t crc32 = 0;
    std::uint64_t plainSize = 0;
    OutputSlot output;        // no folder: only verify
    bool keepUnnamed = false; // the checked data stays in an unnamed file in the output's folder
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
void DecodeAndCheck(const EntryJob& job, CheckedSink& sink, JobResult& result);

// One entry through its layers into the checked sink.
JobResult RunEntryJob(const EntryJob& job);

// Small entries, handed to a writer thread in batches: it decodes and checks each one and
// makes its file. Creating a file is the dearest part of a small entry and happens mostly
// in the kernel; several writers let those creations overlap, and the decoding of one
// batch with the creations of another, on every core.
struct WriteBatch {
    std::vector<EntryJob> jobs;
    std::vector<JobResult> results;
    std::uint64_t bytes = 0; // packed and plain sizes of its entries
    bool submitted = false;
    std::future<void> done;
};

// Runs the jobs of a batch in order; each failure stays with its own entry, and an entry
// that fails its checks leaves no file. Once the run is cancelled no further entry is run.
void RunBatch(WriteBatch& batch, const CancelFlag& cancel);

} // namespace velmora::extraction
