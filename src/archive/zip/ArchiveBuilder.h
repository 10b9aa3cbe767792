#pragma once
// The archive builder of the ZIP writer: small files compressed in batches and large ones
// in pieces by helper threads, written in order with their encryption, descriptors, Zip64
// records and the central directory. Its entries' records and large entries are written
// in ArchiveBuilder.cpp, the run over the plans and the central directory in
// ArchiveBuilderRun.cpp, and the compression of small files and pieces in
// EntryPreparation.cpp. Internal to src/archive.
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
#include <cstdio>
#include <cstring>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <optional>

namespace velmora::writer {

using namespace archive;
namespace fs = std::filesystem;

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
std::string StartAes(const EntryPlan& plan, const Encryption& encryption, std::optional<WinZipAesCipher>& cipher);

std::string FinishAes(WinZipAesCipher& cipher);

// An entry's data made ready by a helper thread (small files).
struct Prepared {
    bool readable = true;
    bool tooLarge = false; // grew beyond the whole-file limit: handled in pieces
    Error reason;          // why it is not readable
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

// The central directory as it grows: each entry's record is made as soon as the entry is
// written and kept as its bytes, in pieces of about 1 MiB. Beyond a few pieces they go to
// an unnamed temporary file (where the system gives one; else, or when writing there
// fails, they stay in memory), so that a million entries cost no memory for their records.
class CentralRecords {
public:
    CentralRecords() = default;
    CentralRecords(const CentralRecords&) = delete;
    CentralRecords& operator=(const CentralRecords&) = delete;
    ~CentralRecords();
    void push_back(const CentralEntry& entry);
    std::uint64_t size() const { return m_count; }
    // Hands every byte to write, in order; throws ArchiveFailure when the spill cannot be read.
    void WriteAll(const std::function<void(const std::string&)>& write);

private:
    void Spill();
    static constexpr std::size_t kPiece = 1u << 20;
    static constexpr std::size_t kPiecesKept = 4;
    std::vector<std::string> m_pieces;
    std::FILE* m_spill = nullptr;
    std::uint64_t m_spilled = 0; // bytes in the spill file
    bool m_noSpill = false;
    std::uint64_t m_count = 0;
};

std::string EncryptionHeader(const EntryPlan& plan);

Prepared PrepareSmall(const EntryPlan& plan, const Encryption& encryption, int level);

// One piece of a large entry, compressed by a helper thread.
struct CompressedPiece {
    std::string data;
    std::uint32_t crc = 0; // of the input
};

CompressedPiece CompressPiece(const std::string& input, int level);

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

    void Run(const PlanList& plans, std::vector<ZipSkipped>& skipped);
    void Finish();
    std::uint64_t Entries() const { return m_central.size(); }

private:
    // One step of the ordered work: what the writer takes next. Batches and pieces are
    // compressed by the helper threads; the writer waits for them in this order.
    struct Task {
        enum class Kind { Directory, Batch, Begin, Piece, End, Skip } kind = Kind::Directory;
        // The plans are made from the compact list as the tasks are formed and live as
        // long as their tasks.
        std::shared_ptr<const EntryPlan> plan = nullptr;         // every kind but Batch and Piece
        std::shared_ptr<std::vector<EntryPlan>> plans = nullptr; // Batch
        std::future<std::vector<Prepared>> batch{};              // Batch
        std::shared_ptr<const std::string> input{};              // Piece
        std::future<CompressedPiece> piece{};                    // Piece
        std::uint64_t inputBytes = 0;                            // Batch, Piece
        std::optional<Error> failure = {};                       // Skip; End after a failed read
    };
    // The large entry whose pieces are being written.
    struct OpenEntry {
        // Provided rather than defaulted: clang decides whether std::optional can make an
        // OpenEntry before it has read the member initializers of the enclosing class.
        OpenEntry() {}
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
            throw ArchiveFailure(Error{Error::Kind::Cancelled, {}, 0, "Archive creation cancelled"});
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
            throw ArchiveFailure(ErrorFromErrno(errno, Utf8FromPath(m_tempPath), "Writing"));
        }
        m_offset += size;
    }
    void WriteBytes(const std::string& data) { WriteBytes(data.data(), data.size()); }
    void SeekTo(std::uint64_t offset)
    {
        if (std::fflush(m_file.Handle()) != 0 || !m_file.Seek(offset)) {
            throw ArchiveFailure(ErrorFromErrno(errno, Utf8FromPath(m_tempPath), "Writing"));
        }
        m_offset = offset;
    }
    void TruncateTo(std::uint64_t offset)
    {
        if (std::fflush(m_file.Handle()) != 0) {
            throw ArchiveFailure(ErrorFromErrno(errno, Utf8FromPath(m_tempPath), "Writing"));
        }
        std::error_code ec;
        fs::resize_file(m_tempPath, offset, ec);
        if (ec) {
            throw ArchiveFailure(ErrorFromErrno(ec.value(), Utf8FromPath(m_tempPath), "Writing"));
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
    bool StreamLarge(const EntryPlan& plan, CentralEntry& entry, bool stored, Error& failure);
    // Writes the local header and the encryption header of a large entry.
    void BeginData(OpenEntry& open, const EntryPlan& plan, std::uint16_t method);
    // Encrypts (when encrypting) and writes data of the open entry.
    void EmitData(OpenEntry& open, std::string& data);
    // Completes the open entry: the final header, the descriptor, the central record.
    void CloseData(OpenEntry& open);
    void WriteTask(Task& task, std::vector<ZipSkipped>& skipped);
    void EndLarge(const EntryPlan& plan, const std::optional<Error>& failure, std::vector<ZipSkipped>& skipped);

    const ZipWriteOptions& m_options;
    StdFile& m_file;
    fs::path m_tempPath;
    Encryption m_encryption;
    WorkerPool m_pool;
    CentralRecords m_central;
    std::uint64_t m_offset = 0;
    std::uint64_t m_done = 0;
    std::uint64_t m_reported = 0;
    std::uint64_t m_total = 0;
    std::optional<OpenEntry> m_open;
};

} // namespace velmora::writer
