// The archive builder's entries: local headers, descriptors, small prepared entries,
// folders, and large entries streamed in pieces.
#include "archive/zip/ArchiveBuilder.h"

namespace velmora::writer {

CentralEntry ArchiveBuilder::StartEntry(const EntryPlan& plan, std::uint16_t method, bool zip64Local)
{
    CentralEntry entry;
    entry.name = plan.name;
    entry.method = method;
    entry.dosTime = plan.dosTime;
    entry.attributes = plan.attributes;
    entry.offset = m_offset;
    entry.zip64Local = zip64Local;
    if (Encrypting() && !plan.source.isDirectory) {
        entry.flags |= 0x0001 | 0x0008;
    }
    if (plan.name.utf8) {
        entry.flags |= 0x0800;
    }
    const bool zip64 = zip64Local || entry.offset >= kMax32;
    entry.versionNeeded = zip64 ? 45 : ((method == 8 || (entry.flags & 1)) ? 20 : 10);
    if (m_encryption.aes && !plan.source.isDirectory) {
        // The real method moves into the AES field; AE-2 stores no CRC.
        entry.aesExtra = MakeAesExtra({2, Encryption::kAesStrength, method});
        entry.method = zipmethod::kAes;
        entry.versionNeeded = 51;
    }
    return entry;
}

std::string ArchiveBuilder::LocalHeader(const CentralEntry& entry) const
{
    std::string h;
    Put32(h, kLocalSig);
    Put16(h, entry.versionNeeded);
    Put16(h, entry.flags);
    Put16(h, entry.method);
    Put16(h, static_cast<std::uint16_t>(entry.dosTime & 0xFFFF));
    Put16(h, static_cast<std::uint16_t>(entry.dosTime >> 16));
    Put32(h, entry.aesExtra.empty() ? entry.crc : 0);
    Put32(h, entry.zip64Local ? 0xFFFFFFFFu : static_cast<std::uint32_t>(entry.compressedSize));
    Put32(h, entry.zip64Local ? 0xFFFFFFFFu : static_cast<std::uint32_t>(entry.size));
    Put16(h, static_cast<std::uint16_t>(entry.name.bytes.size()));
    const std::size_t extraLength =
        (entry.zip64Local ? 20 : 0) + entry.name.unicodeExtra.size() + entry.aesExtra.size();
    Put16(h, static_cast<std::uint16_t>(extraLength));
    h.append(entry.name.bytes);
    if (entry.zip64Local) {
        Put16(h, 0x0001);
        Put16(h, 16);
        Put64(h, entry.size);
        Put64(h, entry.compressedSize);
    }
    h.append(entry.name.unicodeExtra);
    h.append(entry.aesExtra);
    return h;
}

void ArchiveBuilder::WriteDescriptor(const CentralEntry& entry)
{
    if (!(entry.flags & 0x0008)) {
        return;
    }
    std::string d;
    Put32(d, kDescriptorSig);
    Put32(d, entry.aesExtra.empty() ? entry.crc : 0);
    if (entry.zip64Local) {
        Put64(d, entry.compressedSize);
        Put64(d, entry.size);
    } else {
        Put32(d, static_cast<std::uint32_t>(entry.compressedSize));
        Put32(d, static_cast<std::uint32_t>(entry.size));
    }
    WriteBytes(d);
}

void ArchiveBuilder::WritePrepared(const EntryPlan& plan, Prepared& prepared)
{
    CentralEntry entry = StartEntry(plan, prepared.method, false);
    entry.crc = prepared.crc;
    entry.size = prepared.size;
    entry.compressedSize = prepared.data.size();
    WriteBytes(LocalHeader(entry));
    WriteBytes(prepared.data);
    WriteDescriptor(entry);
    m_central.push_back(std::move(entry));
    Report(prepared.size);
}

void ArchiveBuilder::WriteDirectory(const EntryPlan& plan)
{
    CentralEntry entry = StartEntry(plan, 0, false);
    WriteBytes(LocalHeader(entry));
    m_central.push_back(std::move(entry));
}

bool ArchiveBuilder::StreamLarge(const EntryPlan& plan, CentralEntry& entry, bool stored, Error& failure)
{
    StdFile input;
    if (!OpenSource(plan.source, input)) {
        failure = ErrorFromErrno(errno, Utf8FromPath(plan.source.path), "Opening");
        return false;
    }
    std::optional<PkwareCipher> cipher;
    std::optional<WinZipAesCipher> aes;
    if (m_encryption.aes) {
        const std::string head = StartAes(plan, m_encryption, aes);
        WriteBytes(head);
        entry.compressedSize += head.size();
    } else if (Encrypting()) {
        cipher.emplace(m_encryption.passwordBytes);
        std::string header = EncryptionHeader(plan);
        cipher->Encrypt(reinterpret_cast<unsigned char*>(header.data()), header.size());
        WriteBytes(header);
        entry.compressedSize += header.size();
    }
    const auto emit = [&](std::string& data) {
        if (cipher) {
            cipher->Encrypt(reinterpret_cast<unsigned char*>(data.data()), data.size());
        }
        if (aes) {
            aes->Encrypt(reinterpret_cast<unsigned char*>(data.data()), data.size());
        }
        WriteBytes(data);
        entry.compressedSize += data.size();
    };
    const std::size_t depth = m_pool.Size() * 2 + 1;
    std::deque<std::future<std::string>> pending;
    const auto popOne = [&] {
        std::string piece = pending.front().get();
        pending.pop_front();
        emit(piece);
    };
    std::uint32_t crc = 0;
    std::uint64_t size = 0;
    for (;;) {
        CheckCancel();
        auto buffer = std::make_shared<std::string>(kPieceSize, '\0');
        const std::size_t got = input.Read(buffer->data(), buffer->size());
        if (input.Error()) {
            failure = ErrorFromErrno(errno, Utf8FromPath(plan.source.path), "Reading");
            while (!pending.empty()) {
                pending.front().wait();
                pending.pop_front();
            }
            return false;
        }
        if (got == 0) {
            break;
        }
        buffer->resize(got);
        crc = Crc32(crc, buffer->data(), got);
        size += got;
        if (stored) {
            emit(*buffer);
        } else {
            const int level = m_options.level;
            pending.push_back(m_pool.Submit([buffer, level] {
                std::string out;
                DeflatePiece(reinterpret_cast<const unsigned char*>(buffer->data()), buffer->size(), level, out);
                return out;
            }));
            while (pending.size() >= depth) {
                popOne();
            }
        }
        Report(got);
    }
    while (!pending.empty()) {
        popOne();
    }
    if (!stored) {
        std::string end(reinterpret_cast<const char*>(kDeflateEnd), sizeof kDeflateEnd);
        emit(end);
    }
    if (aes) {
        const std::string mac = FinishAes(*aes);
        WriteBytes(mac);
        entry.compressedSize += mac.size();
    }
    entry.crc = crc;
    entry.size = size;
    return true;
}

bool ArchiveBuilder::WriteLarge(const EntryPlan& plan, std::vector<ZipSkipped>& skipped)
{
    return WriteLarge(plan, skipped, false, plan.size + m_encryption.Overhead() >= kMax32);
}

bool ArchiveBuilder::WriteLarge(const EntryPlan& plan, std::vector<ZipSkipped>& skipped, bool stored, bool zip64)
{
    const std::uint64_t start = m_offset;
    const std::uint64_t doneBefore = m_done;
    for (int attempt = 0; attempt < 4; ++attempt) {
        CentralEntry entry = StartEntry(plan, stored ? 0 : 8, zip64);
        WriteBytes(LocalHeader(entry));
        Error failure;
        if (!StreamLarge(plan, entry, stored, failure)) {
            TruncateTo(start);
            m_done = doneBefore;
            skipped.push_back({plan.source.path, failure});
            return false;
        }
        const std::uint64_t dataSize = entry.compressedSize - m_encryption.Overhead();
        const bool redo64 = !zip64 && (entry.size >= kMax32 || entry.compressedSize >= kMax32);
        const bool redoStored = !stored && dataSize > entry.size;
        if (redo64 || redoStored) {
            zip64 = zip64 || redo64;
            stored = stored || redoStored;
            TruncateTo(start);
            m_done = doneBefore;
            continue;
        }
        const std::uint64_t end = m_offset;
        // The local header gets the real CRC and sizes now that they are known.
        SeekTo(start);
        WriteBytes(LocalHeader(entry));
        SeekTo(end);
        WriteDescriptor(entry);
        m_central.push_back(std::move(entry));
        return true;
    }
    TruncateTo(start);
    m_done = doneBefore;
    skipped.push_back({plan.source.path, Error{Error::Kind::InUse, {}, 0, "The file kept changing while it was read"}});
    return false;
}

void ArchiveBuilder::BeginData(OpenEntry& open, const EntryPlan& plan, std::uint16_t method)
{
    open.entry = StartEntry(plan, method, open.zip64);
    open.cipher.reset();
    open.aes.reset();
    WriteBytes(LocalHeader(open.entry));
    if (m_encryption.aes) {
        const std::string head = StartAes(plan, m_encryption, open.aes);
        WriteBytes(head);
        open.entry.compressedSize += head.size();
    } else if (Encrypting()) {
        open.cipher.emplace(m_encryption.passwordBytes);
        std::string header = EncryptionHeader(plan);
        open.cipher->Encrypt(reinterpret_cast<unsigned char*>(header.data()), header.size());
        WriteBytes(header);
        open.entry.compressedSize += header.size();
    }
}

void ArchiveBuilder::EmitData(OpenEntry& open, std::string& data)
{
    if (open.cipher) {
        open.cipher->Encrypt(reinterpret_cast<unsigned char*>(data.data()), data.size());
    }
    if (open.aes) {
        open.aes->Encrypt(reinterpret_cast<unsigned char*>(data.data()), data.size());
    }
    WriteBytes(data);
    open.entry.compressedSize += data.size();
}

void ArchiveBuilder::CloseData(OpenEntry& open)
{
    if (open.aes) {
        const std::string mac = FinishAes(*open.aes);
        WriteBytes(mac);
        open.entry.compressedSize += mac.size();
    }
    open.entry.crc = open.crc;
    open.entry.size = open.size;
    const std::uint64_t end = m_offset;
    // The local header gets the real CRC and sizes now that they are known.
    SeekTo(open.start);
    WriteBytes(LocalHeader(open.entry));
    SeekTo(end);
    WriteDescriptor(open.entry);
    m_central.push_back(std::move(open.entry));
}

void ArchiveBuilder::EndLarge(const EntryPlan& plan, const std::optional<Error>& failure,
                              std::vector<ZipSkipped>& skipped)
{
    OpenEntry& open = *m_open;
    if (failure) {
        TruncateTo(open.start);
        m_done = open.doneBefore;
        skipped.push_back({plan.source.path, *failure});
        m_open.reset();
        return;
    }
    std::string end(reinterpret_cast<const char*>(kDeflateEnd), sizeof kDeflateEnd);
    EmitData(open, end);
    // The AES code is written last, but counts among the entry's bytes.
    const std::uint64_t packed = open.entry.compressedSize + (open.aes ? kAesMacSize : 0);
    const std::uint64_t dataSize = packed - m_encryption.Overhead();
    const bool redo64 = !open.zip64 && (open.size >= kMax32 || packed >= kMax32);
    const bool redoStored = dataSize > open.size;
    if (!redo64 && !redoStored) {
        CloseData(open);
        m_open.reset();
        return;
    }
    // Written again: stored, because deflate did not shrink it, or with Zip64 sizes.
    TruncateTo(open.start);
    m_done = open.doneBefore;
    if (!redo64 && open.keptAll) {
        // The input is still at hand: stored from memory, as it was read.
        std::vector<std::shared_ptr<const std::string>> kept = std::move(open.kept);
        BeginData(open, plan, 0);
        for (const auto& input : kept) {
            std::string data = *input;
            EmitData(open, data);
            Report(data.size());
        }
        CloseData(open);
    } else {
        WriteLarge(plan, skipped, redoStored, open.zip64 || redo64);
    }
    m_open.reset();
}

std::uint64_t BuildArchive(const ZipWriteOptions& options, StdFile& file, const fs::path& tempPath,
                           const PlanList& plans, std::vector<ZipSkipped>& skipped)
{
    ArchiveBuilder builder(options, file, tempPath);
    builder.Run(plans, skipped);
    builder.Finish();
    return builder.Entries();
}

} // namespace velmora::writer
