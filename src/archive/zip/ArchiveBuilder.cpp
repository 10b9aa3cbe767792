// The archive builder of the ZIP writer: small files compressed in batches and large ones
// in pieces by helper threads, written in order with their encryption, descriptors, Zip64
// records and the central directory.
#include "archive/zip/WriterParts.h"

#include "archive/WorkerPool.h"
#include "archive/codecs/DeflateBlocks.h"
#include "archive/crypto/PkwareCipher.h"
#include "archive/crypto/WinZipAes.h"
#include "archive/zip/ZipNames.h"
#include "common/AsciiText.h"
#include "common/Errors.h"
#include "common/Utf8Path.h"
#include "platform/FolderHandle.h"
#include "platform/IFileAttributes.h"
#include "platform/IRandomSource.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <deque>
#include <future>
#include <memory>
#include <optional>

namespace velmora::writer {

using namespace archive;
namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kMax32 = 0xFFFFFFFFull;

// Files up to this size are read and compressed whole, many of them by one task (a
// batch), so that a small file costs no handoff between threads of its own. Larger files
// are cut into pieces that the helper threads compress while earlier ones are written.
constexpr std::size_t kBatchEntryLimit = 256u << 10;
constexpr std::size_t kBatchBytes = 1u << 20;
constexpr std::size_t kBatchEntries = 256;
constexpr std::size_t kPieceSize = 2u << 20;
// A file of a batch that has grown beyond this since it was listed goes the piece way.
constexpr std::size_t kWholeLimit = 4u << 20;
// Input read ahead of the writer: at most this many bytes and tasks wait to be written.
constexpr std::uint64_t kAheadBytes = 32u << 20;
constexpr std::size_t kAheadTasks = 64;
// The input of a large entry is kept up to this size, so that an entry that does not
// shrink is stored from memory instead of being read a second time.
constexpr std::uint64_t kKeptInput = 32u << 20;

// How entries are encrypted: not at all, traditionally (Windows-1252 password bytes) or
// with AES-256 (UTF-8 password bytes).
struct Encryption {
    std::string passwordBytes;
    bool aes = false;
    bool On() const { return !passwordBytes.empty(); }
    // Bytes the encryption adds to an entry's data.
    std::size_t Overhead() const { return !On() ? 0 : aes ? AesOverhead(kAesStrength) : 12; }
    static constexpr std::uint8_t kAesStrength = 3;
};

// The AES entry's salt and verifier; the cipher is ready for the data.
std::string StartAes(const EntryPlan& plan, const Encryption& encryption, std::optional<WinZipAesCipher>& cipher)
{
    const std::size_t saltSize = AesSaltSize(Encryption::kAesStrength);
    unsigned char verifier[kAesVerifierSize];
    cipher.emplace(encryption.passwordBytes, plan.random.data(), Encryption::kAesStrength, verifier);
    std::string head(reinterpret_cast<const char*>(plan.random.data()), saltSize);
    head.append(reinterpret_cast<const char*>(verifier), kAesVerifierSize);
    return head;
}

std::string FinishAes(WinZipAesCipher& cipher)
{
    unsigned char mac[kAesMacSize];
    cipher.Mac(mac);
    return std::string(reinterpret_cast<const char*>(mac), kAesMacSize);
}

// An entry's data made ready by a helper thread (small files).
struct Prepared {
    bool readable = true;
    bool tooLarge = false; // grew beyond the whole-file limit: handled in pieces
    std::string reason;
    std::uint32_t crc = 0;
    std::uint64_t size = 0;
    std::uint16_t method = 0;
    std::string data; // encryption header included when encrypted
};

struct CentralEntry {
    EncodedName name;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint16_t versionNeeded = 10;
    std::uint32_t dosTime = 0;
    std::uint32_t crc = 0;
    std::uint32_t attributes = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t size = 0;
    std::uint64_t offset = 0;
    bool zip64Local = false;
    std::string aesExtra; // the 0x9901 field of an AES entry
};

std::string EncryptionHeader(const EntryPlan& plan)
{
    std::string header(reinterpret_cast<const char*>(plan.random.data()), 11);
    header.push_back(static_cast<char>((plan.dosTime >> 8) & 0xFF)); // high byte of the time field
    return header;
}

Prepared PrepareSmall(const EntryPlan& plan, const Encryption& encryption, int level)
{
    Prepared out;
    StdFile file;
    if (!OpenSource(plan.source, file)) {
        out.readable = false;
        out.reason = SystemErrorText("Opening", Utf8FromPath(plan.source.path), errno);
        return out;
    }
    // Read straight into the buffer: no stdio buffer to fill (and to ask the size for).
    std::setvbuf(file.Handle(), nullptr, _IONBF, 0);
    std::string content;
    content.resize(std::max<std::size_t>(plan.size, 1) + 1);
    std::size_t got = file.Read(content.data(), content.size());
    while (got == content.size() && !file.Error()) {
        if (content.size() > kWholeLimit) {
            out.tooLarge = true;
            return out;
        }
        content.resize(content.size() * 2);
        got += file.Read(content.data() + got, content.size() - got);
    }
    if (file.Error()) {
        out.readable = false;
        out.reason = SystemErrorText("Reading", Utf8FromPath(plan.source.path), errno);
        return out;
    }
    content.resize(got);
    out.size = got;
    out.crc = got ? Crc32(0, content.data(), got) : 0;
    std::string body;
    const auto* bytes = reinterpret_cast<const unsigned char*>(content.data());
    if (got > 0 && DeflateWhole(bytes, got, level, body) && body.size() <= got) {
        out.method = 8;
    } else {
        out.method = 0;
        body = std::move(content);
    }
    if (encryption.aes) {
        std::optional<WinZipAesCipher> cipher;
        std::string data = StartAes(plan, encryption, cipher);
        cipher->Encrypt(reinterpret_cast<unsigned char*>(body.data()), body.size());
        data.append(body);
        data.append(FinishAes(*cipher));
        out.data = std::move(data);
    } else if (encryption.On()) {
        PkwareCipher cipher(encryption.passwordBytes);
        std::string data = EncryptionHeader(plan);
        data.append(body);
        cipher.Encrypt(reinterpret_cast<unsigned char*>(data.data()), data.size());
        out.data = std::move(data);
    } else {
        out.data = std::move(body);
    }
    return out;
}

// One piece of a large entry, compressed by a helper thread.
struct CompressedPiece {
    std::string data;
    std::uint32_t crc = 0; // of the input
};

CompressedPiece CompressPiece(const std::string& input, int level)
{
    CompressedPiece out;
    out.crc = Crc32(0, input.data(), input.size());
    DeflatePiece(reinterpret_cast<const unsigned char*>(input.data()), input.size(), level, out.data);
    return out;
}

class ArchiveBuilder {
public:
    ArchiveBuilder(const ZipWriteOptions& options, StdFile& file, fs::path tempPath)
        : m_options(options), m_file(file),
          m_tempPath(std::move(tempPath)), m_encryption{options.password.empty() ? std::string()
                                                        : options.aes            ? options.password
                                                                                 : PasswordBytes(options.password),
                                                        options.aes},
          m_pool(WorkerPool::DefaultThreads(options.threads))
    {}

    void Run(std::vector<EntryPlan>& plans, std::vector<ZipSkipped>& skipped);
    void Finish();
    std::uint64_t Entries() const { return m_central.size(); }

private:
    // One step of the ordered work: what the writer takes next. Batches and pieces are
    // compressed by the helper threads; the writer waits for them in this order.
    struct Task {
        enum class Kind { Directory, Batch, Begin, Piece, End, Skip } kind = Kind::Directory;
        std::size_t plan = 0;                       // every kind but Batch
        std::vector<std::size_t> plans = {};        // Batch
        std::future<std::vector<Prepared>> batch{}; // Batch
        std::shared_ptr<const std::string> input{}; // Piece
        std::future<CompressedPiece> piece{};       // Piece
        std::uint64_t inputBytes = 0;               // Batch, Piece
        std::string failure = {};                   // Skip; End after a failed read
    };
    // The large entry whose pieces are being written.
    struct OpenEntry {
        // Provided rather than defaulted: clang decides whether std::optional can make an
        // OpenEntry before it has read the member initializers of the enclosing class.
        OpenEntry() {}
        std::size_t plan = 0;
        std::uint64_t start = 0;
        std::uint64_t doneBefore = 0;
        bool zip64 = false;
        CentralEntry entry;
        std::optional<PkwareCipher> cipher;
        std::optional<WinZipAesCipher> aes;
        std::uint32_t crc = 0;
        std::uint64_t size = 0;
        std::vector<std::shared_ptr<const std::string>> kept; // the input, while it all fits
        std::uint64_t keptBytes = 0;
        bool keptAll = true;
    };

    bool Encrypting() const { return m_encryption.On(); }
    void CheckCancel() const
    {
        if (m_options.cancel && m_options.cancel->load()) {
            throw VelmoraError("Archive creation cancelled");
        }
    }
    void Report(std::uint64_t bytes)
    {
        m_done += bytes;
        // A file written again (stored after all, or with Zip64) does not move progress back.
        if (m_options.progress && m_done > m_reported) {
            m_reported = m_done;
            m_options.progress(m_done, m_total);
        }
    }
    void WriteBytes(const void* data, std::size_t size)
    {
        if (!m_file.Write(data, size)) {
            throw VelmoraError(SystemErrorText("Writing", Utf8FromPath(m_tempPath), errno));
        }
        m_offset += size;
    }
    void WriteBytes(const std::string& data) { WriteBytes(data.data(), data.size()); }
    void SeekTo(std::uint64_t offset)
    {
        if (std::fflush(m_file.Handle()) != 0 || !m_file.Seek(offset)) {
            throw VelmoraError(SystemErrorText("Writing", Utf8FromPath(m_tempPath), errno));
        }
        m_offset = offset;
    }
    void TruncateTo(std::uint64_t offset)
    {
        if (std::fflush(m_file.Handle()) != 0) {
            throw VelmoraError(SystemErrorText("Writing", Utf8FromPath(m_tempPath), errno));
        }
        std::error_code ec;
        fs::resize_file(m_tempPath, offset, ec);
        if (ec) {
            throw VelmoraError(SystemErrorText("Writing", Utf8FromPath(m_tempPath), ec.value()));
        }
        SeekTo(offset);
    }

    CentralEntry StartEntry(const EntryPlan& plan, std::uint16_t method, bool zip64Local);
    std::string LocalHeader(const CentralEntry& entry) const;
    void WriteDescriptor(const CentralEntry& entry);
    void WritePrepared(const EntryPlan& plan, Prepared& prepared);
    void WriteDirectory(const EntryPlan& plan);
    // Streams a large file; returns false when it could not be read (entry dropped).
    bool WriteLarge(const EntryPlan& plan, std::vector<ZipSkipped>& skipped);
    bool WriteLarge(const EntryPlan& plan, std::vector<ZipSkipped>& skipped, bool stored, bool zip64);
    bool StreamLarge(const EntryPlan& plan, CentralEntry& entry, bool stored, std::string& failure);
    // Writes the local header and the encryption header of a large entry.
    void BeginData(OpenEntry& open, const EntryPlan& plan, std::uint16_t method);
    // Encrypts (when encrypting) and writes data of the open entry.
    void EmitData(OpenEntry& open, std::string& data);
    // Completes the open entry: the final header, the descriptor, the central record.
    void CloseData(OpenEntry& open);
    void WriteTask(Task& task, std::vector<EntryPlan>& plans, std::vector<ZipSkipped>& skipped);
    void EndLarge(const EntryPlan& plan, const std::string& failure, std::vector<ZipSkipped>& skipped);

    const ZipWriteOptions& m_options;
    StdFile& m_file;
    fs::path m_tempPath;
    Encryption m_encryption;
    WorkerPool m_pool;
    std::vector<CentralEntry> m_central;
    std::uint64_t m_offset = 0;
    std::uint64_t m_done = 0;
    std::uint64_t m_reported = 0;
    std::uint64_t m_total = 0;
    std::optional<OpenEntry> m_open;
};

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

bool ArchiveBuilder::StreamLarge(const EntryPlan& plan, CentralEntry& entry, bool stored, std::string& failure)
{
    StdFile input;
    if (!OpenSource(plan.source, input)) {
        failure = SystemErrorText("Opening", Utf8FromPath(plan.source.path), errno);
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
            failure = SystemErrorText("Reading", Utf8FromPath(plan.source.path), errno);
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
        std::string failure;
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
    skipped.push_back({plan.source.path, "The file kept changing while it was read"});
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

void ArchiveBuilder::EndLarge(const EntryPlan& plan, const std::string& failure, std::vector<ZipSkipped>& skipped)
{
    OpenEntry& open = *m_open;
    if (!failure.empty()) {
        TruncateTo(open.start);
        m_done = open.doneBefore;
        skipped.push_back({plan.source.path, failure});
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

void ArchiveBuilder::WriteTask(Task& task, std::vector<EntryPlan>& plans, std::vector<ZipSkipped>& skipped)
{
    switch (task.kind) {
    case Task::Kind::Directory:
        WriteDirectory(plans[task.plan]);
        return;
    case Task::Kind::Skip:
        skipped.push_back({plans[task.plan].source.path, task.failure});
        return;
    case Task::Kind::Batch: {
        std::vector<Prepared> prepared = task.batch.get();
        for (std::size_t i = 0; i < prepared.size(); ++i) {
            const EntryPlan& plan = plans[task.plans[i]];
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
        const EntryPlan& plan = plans[task.plan];
        m_open.emplace();
        m_open->plan = task.plan;
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
        EndLarge(plans[task.plan], task.failure, skipped);
        return;
    }
}

void ArchiveBuilder::Run(std::vector<EntryPlan>& plans, std::vector<ZipSkipped>& skipped)
{
    for (const EntryPlan& plan : plans) {
        m_total += plan.size;
    }
    // The reading side runs ahead of the writing side by a bounded amount: it forms the
    // batches of small files, reads the pieces of large ones and hands both to the helper
    // threads; the writer takes the results in order.
    std::deque<Task> tasks;
    std::uint64_t aheadBytes = 0;
    std::size_t next = 0;
    Task batch{Task::Kind::Batch};
    StdFile reading; // the large file being read
    std::size_t readingPlan = 0;
    const Encryption& encryption = m_encryption;
    const int level = m_options.level;

    const auto submitBatch = [&] {
        if (batch.plans.empty()) return;
        const std::vector<std::size_t> indices = batch.plans;
        batch.batch = m_pool.Submit([&plans, indices, &encryption, level] {
            std::vector<Prepared> prepared;
            prepared.reserve(indices.size());
            for (const std::size_t index : indices) {
                prepared.push_back(PrepareSmall(plans[index], encryption, level));
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
                end.failure = SystemErrorText("Reading", Utf8FromPath(plans[readingPlan].source.path), errno);
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
            if (next == plans.size()) {
                submitBatch();
                return;
            }
            const std::size_t index = next++;
            const EntryPlan& plan = plans[index];
            if (!plan.source.isDirectory && plan.size <= kBatchEntryLimit) {
                batch.plans.push_back(index);
                batch.inputBytes += plan.size;
                if (batch.plans.size() >= kBatchEntries || batch.inputBytes >= kBatchBytes) {
                    submitBatch();
                }
                continue;
            }
            submitBatch();
            if (plan.source.isDirectory) {
                tasks.push_back(Task{Task::Kind::Directory, index});
            } else if (!OpenSource(plan.source, reading)) {
                Task skip{Task::Kind::Skip, index};
                skip.failure = SystemErrorText("Opening", Utf8FromPath(plan.source.path), errno);
                tasks.push_back(std::move(skip));
            } else {
                std::setvbuf(reading.Handle(), nullptr, _IONBF, 0);
                readingPlan = index;
                tasks.push_back(Task{Task::Kind::Begin, index});
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
        WriteTask(task, plans, skipped);
    }
}

void ArchiveBuilder::Finish()
{
    const std::uint64_t cdOffset = m_offset;
    std::string cd;
    for (const CentralEntry& e : m_central) {
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
        if (cd.size() >= (1u << 20)) {
            WriteBytes(cd);
            cd.clear();
        }
    }
    WriteBytes(cd);
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

} // namespace

std::uint64_t BuildArchive(const ZipWriteOptions& options, StdFile& file, const fs::path& tempPath,
                           std::vector<EntryPlan>& plans, std::vector<ZipSkipped>& skipped)
{
    ArchiveBuilder builder(options, file, tempPath);
    builder.Run(plans, skipped);
    builder.Finish();
    return builder.Entries();
}

} // namespace velmora::writer
