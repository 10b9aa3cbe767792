#include "archive/zip/EntryJobs.h"

#include "archive/codecs/EntryDecoder.h"

#include <algorithm>

namespace velmora::extraction {

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

std::vector<std::uint64_t> NextOffsets(const ZipIndex& index, std::vector<bool>& duplicate)
{
    // The entries in the order of their local headers (entry order among equal offsets):
    // each entry's bound is the next greater offset, and of entries that share an offset
    // all but the first are duplicates.
    const std::size_t n = index.size();
    std::vector<std::uint32_t> order(n);
    for (std::size_t i = 0; i < n; ++i)
        order[i] = static_cast<std::uint32_t>(i);
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        const std::uint64_t x = index[a].localHeaderOffset;
        const std::uint64_t y = index[b].localHeaderOffset;
        return x != y ? x < y : a < b;
    });
    std::vector<std::uint64_t> next(n);
    duplicate.assign(n, false);
    for (std::size_t k = 0; k < n;) {
        const std::uint64_t offset = index[order[k]].localHeaderOffset;
        std::size_t end = k + 1;
        while (end < n && index[order[end]].localHeaderOffset == offset)
            ++end;
        const std::uint64_t bound =
            end == n ? index.centralOffset : std::min(index[order[end]].localHeaderOffset, index.centralOffset);
        for (std::size_t j = k; j < end; ++j) {
            next[order[j]] = bound;
            duplicate[order[j]] = j > k;
        }
        k = end;
    }
    return next;
}

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

void RunBatch(WriteBatch& batch, const CancelFlag& cancel)
{
    batch.results.resize(batch.jobs.size());
    for (std::size_t i = 0; i < batch.jobs.size(); ++i) {
        if (cancel && cancel->load()) {
            batch.results[i].error = ExtractError{ErrorKind::Cancelled, {}, 0, {}};
        } else {
            batch.results[i] = RunEntryJob(batch.jobs[i]);
        }
        batch.jobs[i] = EntryJob(); // lets go of its folder and archive references here
    }
}

} // namespace velmora::extraction
