#pragma once
// The layers that turn an archive entry's stored bytes into a checked output file.
//
//   ArchiveRange          the entry's bytes of the one open archive (bounded, shared handle)
//     -> cipher layer      optional: TraditionalDecipher (AES would be one more class here)
//       -> decoder layer   stored or inflate, chosen by MakeDecoder from the method number
//         -> CheckedSink   counts CRC-32 and size, writes a private temporary file and puts it
//                          in place only when every check passed
//
// Every layer is a ByteSource: it pulls from the layer below and hands plain bytes up.
// A layer reports a failure by throwing LayerFailure with a typed ExtractError; text is
// made from it only where it is shown (DescribeError).
//
// Adding a compression method: write a ByteSource that decodes from its `packed` source
// (read only through packed->Read, never more than the entry holds), and add one row to
// the table in EntryDecoders.cpp. Adding a cipher: a ByteSource that wraps the range,
// checks its own header in the constructor (throw ErrorKind::WrongPassword) and its
// trailer in Finish(); BuildEntryPipeline decides when it is used.
#include "archive/ArchiveCommon.h"
#include "archive/ArchiveIo.h"
#include "archive/crypto/PkwareCipher.h"
#include "common/Errors.h"
#include "platform/FolderHandle.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {
class UnnamedFile;
struct AesKeys;
} // namespace velmora

namespace velmora::archive {

enum class ErrorKind {
    Io,             // a system call failed (errno saved)
    NotArchive,     // not a ZIP or gzip file at all
    Damaged,        // headers, compressed data, CRC or size do not agree
    Unsupported,    // a method, a cipher or a feature this reader does not handle
    WrongPassword,  // missing or wrong password
    UnsafeName,     // absolute, drive letter, leaves the target, control character
    Link,           // a link entry, or a link in the way of an output path
    Clash,          // the output path was already written in this run, or is a folder
    IsArchive,      // the output path is the archive being read
    NotReplaceable, // an existing read-only file or a file that is not a regular file
    TooLarge,       // more data than the entry declared
    Cancelled,
};

struct ExtractError {
    ErrorKind kind = ErrorKind::Damaged;
    std::string path;   // entry name or file system path the error is about
    int savedErrno = 0; // for ErrorKind::Io
    std::string detail; // short English detail ("CRC-32 mismatch"), may be empty
};

// "'<path>': <detail or the kind's text>[: <strerror>]".
std::string DescribeError(const ExtractError& error);

// The program's Error for an ExtractError, as it leaves the archive code: the kind it
// comes to (damage is InvalidData, a refused name or link InvalidInput, a path written
// twice Exists, a system failure the kind of its errno), the saved errno for Io, and the
// text of DescribeError before the system's words as detail, so that ErrorText shows
// the same text DescribeError makes.
velmora::Error ErrorOf(const ExtractError& error);

class LayerFailure : public std::exception {
public:
    explicit LayerFailure(ExtractError error) : m_error(std::move(error)), m_text(DescribeError(m_error)) {}
    LayerFailure(ErrorKind kind, std::string detail, std::string path = {}, int savedErrno = 0)
        : LayerFailure(ExtractError{kind, std::move(path), savedErrno, std::move(detail)})
    {}
    const ExtractError& Error() const { return m_error; }
    const char* what() const noexcept override { return m_text.c_str(); }

private:
    ExtractError m_error;
    std::string m_text;
};

// A pull source of bytes.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Fills up to size bytes and returns how many; fewer than size only at the end of the
    // data, 0 once it has ended. Throws LayerFailure.
    virtual std::size_t Read(unsigned char* data, std::size_t size) = 0;
    // Called once after Read returned 0 (or the decoder saw its stream end): a layer checks
    // its trailer here and passes the call on to the layer it reads from.
    virtual void Finish() {}
};

// The archive opened once for a whole extraction; entries read their ranges through it
// from any thread.
class SharedArchive {
public:
    // Throws LayerFailure (Io) when the file cannot be opened.
    explicit SharedArchive(const std::filesystem::path& path);
    // Reads through file, an open handle (path names it in messages).
    SharedArchive(StdFile file, const std::filesystem::path& path);
    const std::filesystem::path& Path() const { return m_path; }
    // Reads exactly size bytes at offset; false when the file ends first or fails. Small
    // reads are served from a window of the file read ahead in one call, so walking many
    // small entries in order costs a system call per window, not per entry. On Linux each
    // thread has a window of its own and reads at an offset without a lock, so the threads
    // that decode small entries do not wait for each other.
    bool ReadAt(std::uint64_t offset, void* data, std::size_t size);
    // The handle for code that reads before any worker starts (the central directory).
    StdFile& File() { return m_file; }

private:
    std::filesystem::path m_path;
    StdFile m_file;
    std::uint64_t m_serial; // tells this archive's windows from those of an earlier one
    std::mutex m_mutex;
    std::vector<unsigned char> m_window;
    std::uint64_t m_windowStart = 0;
};

// Bytes [offset, offset + length) of the archive.
class ArchiveRange final : public ByteSource {
public:
    ArchiveRange(SharedArchive& archive, std::uint64_t offset, std::uint64_t length)
        : m_archive(archive), m_offset(offset), m_remaining(length)
    {}
    std::size_t Read(unsigned char* data, std::size_t size) override;
    std::uint64_t Remaining() const { return m_remaining; }

private:
    SharedArchive& m_archive;
    std::uint64_t m_offset;
    std::uint64_t m_remaining;
};

// The traditional PKWARE cipher. The constructor reads the 12-byte encryption header and
// throws WrongPassword when its check byte differs from expectedCheck.
class TraditionalDecipher final : public ByteSource {
public:
    TraditionalDecipher(std::unique_ptr<ByteSource> inner, std::string_view passwordBytes, unsigned char expectedCheck);
    std::size_t Read(unsigned char* data, std::size_t size) override;
    void Finish() override { m_inner->Finish(); }

    // True when passwordBytes decrypt header (12 bytes) to expectedCheck.
    static bool KeyMatches(const unsigned char* header, std::string_view passwordBytes, unsigned char expectedCheck);

private:
    std::unique_ptr<ByteSource> m_inner;
    PkwareCipher m_cipher;
};

// What a decoder knows of its entry.
struct DecoderParams {
    std::uint16_t method = 0;
    std::uint16_t flags = 0;      // general-purpose bits (some methods keep options here)
    std::uint64_t packedSize = 0; // bytes the decoder may read (after any cipher header)
    std::uint64_t plainSize = 0;  // declared size of the output
};

// A decoder for params.method reading from packed, or nullptr when no decoder handles it.
std::unique_ptr<ByteSource> MakeDecoder(std::unique_ptr<ByteSource> packed, const DecoderParams& params);
bool IsMethodSupported(std::uint16_t method);

// How one entry is read.
struct EntryStreamPlan {
    SharedArchive* archive = nullptr;
    std::uint64_t dataOffset = 0; // first byte after the local header
    std::uint64_t dataLength = 0; // compressed size, cipher header included
    DecoderParams decoder;
    bool encrypted = false;                 // traditional encryption (flag bit 0)
    std::uint8_t aesStrength = 0;           // WinZip AES instead (1, 2, 3: 128, 192, 256 bits); 0: none
    std::string passwordBytes;              // already checked against checkByte or the AES verifier
    std::shared_ptr<const AesKeys> aesKeys; // AES keys derived from passwordBytes already (optional)
    unsigned char checkByte = 0;            // expected 12th byte of the decrypted header
};

// range -> [cipher] -> decoder. Throws LayerFailure (Unsupported, WrongPassword, Damaged).
std::unique_ptr<ByteSource> BuildEntryPipeline(const EntryStreamPlan& plan);

// Permission bits of an output (0777 at most; never setuid, setgid or sticky).
using FileMode = std::optional<unsigned>;

// Where one output goes: a name in a folder held open (so nothing reaches it through a
// link swapped in on the way); path names it in messages. Without a folder nothing is
// written: the sink only counts and checks.
struct OutputSlot {
    std::shared_ptr<FolderHandle> folder;
    std::filesystem::path name;
    std::filesystem::path path;
};

// The one place where extracted data becomes a file. Writes to a file without a name in
// the output's folder (owner-only from the start) and gives it its name in one step after
// the caller's checks; where the file system has no unnamed files, to a private temporary
// file beside the output that one rename puts in place. An existing file at the output is
// replaced only after the commit rules allowed it. Data is gathered in memory (up to
// 1 MiB): an entry that fits makes its file only in Commit, after its checks, so one that
// fails them leaves no trace, and Commit may run on another thread than the writes (never
// two threads at once).
class CheckedSink {
public:
    enum class Keep { Named, Unnamed };
    // Keep::Unnamed: the data stays in an unnamed file in the output's folder that
    // TakeUnnamed hands over after the checks (throws Io where the file system has none).
    explicit CheckedSink(OutputSlot slot = {}, Keep keep = Keep::Named);
    ~CheckedSink(); // an uncommitted file goes with it
    CheckedSink(const CheckedSink&) = delete;
    CheckedSink& operator=(const CheckedSink&) = delete;

    // At most limit bytes may arrive; more throws TooLarge.
    void SetLimit(std::uint64_t limit) { m_limit = limit; }
    void Write(const unsigned char* data, std::size_t size);
    // Pulls source to its end (then calls its Finish).
    void Pump(ByteSource& source, CancelFlag cancel = nullptr);

    // CRC-32 and size since the start or the last RestartCount (gzip checks per member).
    std::uint32_t Crc() const { return m_crc; }
    std::uint64_t Count() const { return m_count; }
    std::uint64_t Total() const { return m_total; }
    void RestartCount()
    {
        m_crc = 0;
        m_count = 0;
    }
    // Throws Damaged when the counted CRC or size differs.
    void Check(std::uint32_t crc, std::uint64_t size) const;

    struct CommitRules {
        std::optional<std::filesystem::file_time_type> time;
        FileMode mode; // nullopt: the default mode of new files
        // That default when the caller has read it already (once per run, not per file).
        FileMode newFileMode;
        // Never put in place over this file (compared by device and inode).
        std::filesystem::path notOver;
        // Refuse to replace a read-only file, a link or anything not a regular file.
        bool keepReadOnly = false;
        std::function<bool(const std::filesystem::path&)> isReadOnly; // optional extra test
    };
    // Puts the file in place; throws LayerFailure.
    void Commit(const CommitRules& rules);
    // Keep::Unnamed: the written file, still without a name.
    std::unique_ptr<UnnamedFile> TakeUnnamed();
    const std::filesystem::path& Output() const { return m_slot.path; }

private:
    void Open();
    void FlushBuffer();

    OutputSlot m_slot;
    Keep m_keep = Keep::Named;
    std::unique_ptr<UnnamedFile> m_file;
    std::vector<unsigned char> m_buffer; // data not yet written (the file is made when it overflows)
    std::uint64_t m_limit = ~std::uint64_t{0};
    std::uint32_t m_crc = 0;
    std::uint64_t m_count = 0;
    std::uint64_t m_total = 0;
};

// Checks that nothing of another kind or the archive itself sits at the output, the rules
// Commit applies; useful before any work is done. Throws LayerFailure.
void CheckOutputSlot(const OutputSlot& slot, const CheckedSink::CommitRules& rules);

} // namespace velmora::archive
