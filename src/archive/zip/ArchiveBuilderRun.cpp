// The archive builder's run: the plans handed out as tasks to the helper threads and
// written in order, and the central directory and end records at the finish.
#include "archive/zip/ArchiveBuilder.h"

namespace velmora::writer {

void ArchiveBuilder::WriteTask(Task& task, std::vector<ZipSkipped>& skipped)
{
    switch (task.kind) {
    case Task::Kind::Directory:
        WriteDirectory(*task.plan);
        return;
    case Task::Kind::Skip:
        skipped.push_back({task.plan->source.path, task.failure.value_or(Error{})});
        return;
    case Task::Kind::Batch: {
        std::vector<Prepared> prepared = task.batch.get();
        for (std::size_t i = 0; i < prepared.size(); ++i) {
            const EntryPlan& plan = (*task.plans)[i];
            if (prepared[i].tooLarge) {
                WriteLarge(plan, skipped);
            } else if (!prepared[i].readable) {
                skipped.push_back({plan.source.path, prepared[i].reason});
            } else {
                WritePrepared(plan, prepared[i]);
            }
        }
        return;
    }
    case Task::Kind::Begin: {
        const EntryPlan& plan = *task.plan;
        m_open.emplace();
        m_open->start = m_offset;
        m_open->doneBefore = m_done;
        m_open->zip64 = plan.size + m_encryption.Overhead() >= kMax32;
        BeginData(*m_open, plan, 8);
        return;
    }
    case Task::Kind::Piece: {
        OpenEntry& open = *m_open;
        CompressedPiece piece = task.piece.get();
        const std::uint64_t length = task.input->size();
        open.crc = static_cast<std::uint32_t>(crc32_combine(open.crc, piece.crc, static_cast<z_off_t>(length)));
        open.size += length;
        if (open.keptAll && open.keptBytes + length <= kKeptInput) {
            open.kept.push_back(std::move(task.input));
            open.keptBytes += length;
        } else {
            open.keptAll = false;
            open.kept.clear();
        }
        EmitData(open, piece.data);
        Report(length);
        return;
    }
    case Task::Kind::End:
        EndLarge(*task.plan, task.failure, skipped);
        return;
    }
}

void ArchiveBuilder::Run(const PlanList& plans, std::vector<ZipSkipped>& skipped)
{
    for (std::size_t i = 0; i < plans.Size(); ++i) {
        m_total += plans.SizeOf(i);
    }
    // The reading side runs ahead of the writing side by a bounded amount: it forms the
    // batches of small files, reads the pieces of large ones and hands both to the helper
    // threads; the writer takes the results in order.
    std::deque<Task> tasks;
    std::uint64_t aheadBytes = 0;
    std::size_t next = 0;
    Task batch{Task::Kind::Batch};
    StdFile reading; // the large file being read
    std::shared_ptr<const EntryPlan> readingPlan;
    const Encryption& encryption = m_encryption;
    const int level = m_options.level;

    const auto submitBatch = [&] {
        if (!batch.plans) return;
        batch.batch = m_pool.Submit([group = batch.plans, &encryption, level] {
            std::vector<Prepared> prepared;
            prepared.reserve(group->size());
            for (const EntryPlan& plan : *group) {
                prepared.push_back(PrepareSmall(plan, encryption, level));
            }
            return prepared;
        });
        aheadBytes += batch.inputBytes;
        tasks.push_back(std::move(batch));
        batch = Task{Task::Kind::Batch};
    };
    const auto readPiece = [&] {
        auto input = std::make_shared<std::string>();
        input->resize(kPieceSize);
        const std::size_t got = reading.Read(input->data(), input->size());
        if (reading.Error() || got == 0) {
            Task end{Task::Kind::End, readingPlan};
            if (reading.Error()) {
                end.failure = ErrorFromErrno(errno, Utf8FromPath(readingPlan->source.path), "Reading");
            }
            tasks.push_back(std::move(end));
            reading.Close();
            return;
        }
        input->resize(got);
        Task task{Task::Kind::Piece, readingPlan};
        task.inputBytes = got;
        task.piece = m_pool.Submit([input, level] { return CompressPiece(*input, level); });
        task.input = std::move(input);
        aheadBytes += got;
        tasks.push_back(std::move(task));
    };
    const auto fill = [&] {
        while (aheadBytes < kAheadBytes && tasks.size() < kAheadTasks) {
            if (reading.IsOpen()) {
                readPiece();
                continue;
            }
            if (next == plans.Size()) {
                submitBatch();
                return;
            }
            const std::size_t index = next++;
            if (!plans.IsDirectory(index) && plans.SizeOf(index) <= kBatchEntryLimit) {
                if (!batch.plans) batch.plans = std::make_shared<std::vector<EntryPlan>>();
                batch.plans->push_back(plans.Make(index));
                batch.inputBytes += plans.SizeOf(index);
                if (batch.plans->size() >= kBatchEntries || batch.inputBytes >= kBatchBytes) {
                    submitBatch();
                }
                continue;
            }
            submitBatch();
            auto plan = std::make_shared<const EntryPlan>(plans.Make(index));
            if (plan->source.isDirectory) {
                tasks.push_back(Task{Task::Kind::Directory, std::move(plan)});
            } else if (!OpenSource(plan->source, reading)) {
                Task skip{Task::Kind::Skip, plan};
                skip.failure = ErrorFromErrno(errno, Utf8FromPath(plan->source.path), "Opening");
                tasks.push_back(std::move(skip));
            } else {
                std::setvbuf(reading.Handle(), nullptr, _IONBF, 0);
                readingPlan = plan;
                tasks.push_back(Task{Task::Kind::Begin, std::move(plan)});
            }
        }
    };

    for (;;) {
        CheckCancel();
        fill();
        if (tasks.empty()) {
            break;
        }
        Task task = std::move(tasks.front());
        tasks.pop_front();
        aheadBytes -= task.inputBytes;
        WriteTask(task, skipped);
    }
}

CentralRecords::~CentralRecords()
{
    if (m_spill) std::fclose(m_spill);
}

void CentralRecords::Spill()
{
    if (!m_spill && !m_noSpill) {
        m_spill = std::tmpfile();
        m_noSpill = !m_spill;
    }
    if (!m_spill) return;
    std::uint64_t written = 0;
    for (const std::string& piece : m_pieces) {
        if (std::fwrite(piece.data(), 1, piece.size(), m_spill) != piece.size()) {
            // Writing aside failed (a full disk, say): what earlier rounds set aside comes
            // back into memory, and everything stays there from now on.
            std::string back(static_cast<std::size_t>(m_spilled), '\0');
            std::rewind(m_spill);
            const bool readBack = std::fread(back.data(), 1, back.size(), m_spill) == back.size();
            std::fclose(m_spill);
            m_spill = nullptr;
            m_noSpill = true;
            if (!readBack) throw ArchiveFailure(ErrorFromErrno(EIO, "the central directory set aside", "Reading"));
            m_pieces.insert(m_pieces.begin(), std::move(back));
            m_spilled = 0;
            return;
        }
        written += piece.size();
    }
    m_spilled += written;
    m_pieces.clear();
}

void CentralRecords::WriteAll(const std::function<void(const std::string&)>& write)
{
    if (m_spill) {
        std::rewind(m_spill);
        std::string chunk(kPiece, '\0');
        std::uint64_t got = 0;
        for (std::size_t n; (n = std::fread(chunk.data(), 1, chunk.size(), m_spill)) > 0;) {
            chunk.resize(n);
            write(chunk);
            got += n;
            chunk.resize(kPiece);
        }
        if (std::ferror(m_spill) || got != m_spilled) {
            throw ArchiveFailure(ErrorFromErrno(EIO, "the central directory set aside", "Reading"));
        }
    }
    for (const std::string& piece : m_pieces)
        write(piece);
}

void CentralRecords::push_back(const CentralEntry& e)
{
    if (m_pieces.empty() || m_pieces.back().size() >= kPiece) {
        if (m_pieces.size() >= kPiecesKept) Spill();
        m_pieces.emplace_back();
        m_pieces.back().reserve(kPiece + 1024);
    }
    std::string& cd = m_pieces.back();
    const bool bigSize = e.zip64Local || e.size >= kMax32;
    const bool bigCompressed = e.zip64Local || e.compressedSize >= kMax32;
    const bool bigOffset = e.offset >= kMax32;
    std::string zip64;
    if (bigSize || bigCompressed || bigOffset) {
        std::string values;
        if (bigSize) Put64(values, e.size);
        if (bigCompressed) Put64(values, e.compressedSize);
        if (bigOffset) Put64(values, e.offset);
        Put16(zip64, 0x0001);
        Put16(zip64, static_cast<std::uint16_t>(values.size()));
        zip64.append(values);
    }
    const std::uint16_t needed = zip64.empty() ? e.versionNeeded : std::max<std::uint16_t>(e.versionNeeded, 45);
    Put32(cd, kCentralSig);
    Put16(cd, static_cast<std::uint16_t>((e.name.host << 8) | std::max<std::uint16_t>(needed, 20)));
    Put16(cd, needed);
    Put16(cd, e.flags);
    Put16(cd, e.method);
    Put16(cd, static_cast<std::uint16_t>(e.dosTime & 0xFFFF));
    Put16(cd, static_cast<std::uint16_t>(e.dosTime >> 16));
    Put32(cd, e.aesExtra.empty() ? e.crc : 0);
    Put32(cd, bigCompressed ? 0xFFFFFFFFu : static_cast<std::uint32_t>(e.compressedSize));
    Put32(cd, bigSize ? 0xFFFFFFFFu : static_cast<std::uint32_t>(e.size));
    Put16(cd, static_cast<std::uint16_t>(e.name.bytes.size()));
    Put16(cd, static_cast<std::uint16_t>(zip64.size() + e.name.unicodeExtra.size() + e.aesExtra.size()));
    Put16(cd, 0); // comment
    Put16(cd, 0); // disk
    Put16(cd, 0); // internal attributes
    Put32(cd, e.attributes);
    Put32(cd, bigOffset ? 0xFFFFFFFFu : static_cast<std::uint32_t>(e.offset));
    cd.append(e.name.bytes);
    cd.append(zip64);
    cd.append(e.name.unicodeExtra);
    cd.append(e.aesExtra);
    ++m_count;
}

void ArchiveBuilder::Finish()
{
    const std::uint64_t cdOffset = m_offset;
    m_central.WriteAll([this](const std::string& piece) { WriteBytes(piece); });
    const std::uint64_t cdSize = m_offset - cdOffset;
    const std::uint64_t count = m_central.size();
    std::string end;
    const bool needs64 = count >= 0xFFFF || cdSize >= kMax32 || cdOffset >= kMax32;
    if (needs64) {
        const std::uint64_t end64Offset = m_offset;
        Put32(end, kEnd64Sig);
        Put64(end, 44);
        Put16(end, 45);
        Put16(end, 45);
        Put32(end, 0);
        Put32(end, 0);
        Put64(end, count);
        Put64(end, count);
        Put64(end, cdSize);
        Put64(end, cdOffset);
        Put32(end, kLocator64Sig);
        Put32(end, 0);
        Put64(end, end64Offset);
        Put32(end, 1);
    }
    Put32(end, kEndSig);
    Put16(end, 0);
    Put16(end, 0);
    const std::uint16_t count16 = count >= 0xFFFF ? 0xFFFF : static_cast<std::uint16_t>(count);
    Put16(end, count16);
    Put16(end, count16);
    Put32(end, cdSize >= kMax32 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(cdSize));
    Put32(end, cdOffset >= kMax32 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(cdOffset));
    Put16(end, 0);
    WriteBytes(end);
}

} // namespace velmora::writer
