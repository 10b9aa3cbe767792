#include "archive/EntryLayers.h"

#include "archive/crypto/WinZipAes.h"
#include "archive/zip/ZipNames.h"

#include "common/Errors.h"
#include "common/Utf8Path.h"
#include "platform/FileOpen.h"
#include "platform/UnnamedFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

namespace velmora::archive {

namespace fs = std::filesystem;

namespace {

const char* KindText(ErrorKind kind)
{
    switch (kind) {
    case ErrorKind::Io:
        return "the system call failed";
    case ErrorKind::NotArchive:
        return "not an archive";
    case ErrorKind::Damaged:
        return "damaged data";
    case ErrorKind::Unsupported:
        return "not supported";
    case ErrorKind::WrongPassword:
        return "wrong or missing password";
    case ErrorKind::UnsafeName:
        return "unsafe name";
    case ErrorKind::Link:
        return "links are not extracted";
    case ErrorKind::Clash:
        return "this path was already written by another entry";
    case ErrorKind::IsArchive:
        return "this path is the archive being read";
    case ErrorKind::NotReplaceable:
        return "an existing read-only file, link or special file is not replaced";
    case ErrorKind::TooLarge:
        return "more data than the entry declares";
    case ErrorKind::Cancelled:
        return "cancelled";
    }
    return "failed";
}

} // namespace

std::string DescribeError(const ExtractError& error)
{
    std::string text;
    if (!error.path.empty()) text = "'" + error.path + "': ";
    if (!error.detail.empty()) {
        text += error.detail;
    } else if (error.kind == ErrorKind::UnsafeName && !UnsafeNameReason(error.path).empty()) {
        text += "unsafe name: " + UnsafeNameReason(error.path);
    } else {
        text += KindText(error.kind);
    }
    if (error.kind == ErrorKind::Io && error.savedErrno != 0) {
        text += ": ";
        text += std::strerror(error.savedErrno);
    }
    return text;
}

velmora::Error ErrorOf(const ExtractError& error)
{
    using Kind = velmora::Error::Kind;
    Kind kind = Kind::Io;
    switch (error.kind) {
    case ErrorKind::Io:
        kind = ErrorKindFromErrno(error.savedErrno);
        break;
    case ErrorKind::NotArchive:
    case ErrorKind::Damaged:
    case ErrorKind::TooLarge:
        kind = Kind::InvalidData;
        break;
    case ErrorKind::Unsupported:
        kind = Kind::Unsupported;
        break;
    case ErrorKind::WrongPassword:
        kind = Kind::WrongPassword;
        break;
    case ErrorKind::UnsafeName:
    case ErrorKind::Link:
    case ErrorKind::IsArchive:
        kind = Kind::InvalidInput;
        break;
    case ErrorKind::Clash:
        kind = Kind::Exists;
        break;
    case ErrorKind::NotReplaceable:
        kind = Kind::AccessDenied;
        break;
    case ErrorKind::Cancelled:
        kind = Kind::Cancelled;
        break;
    }
    const int savedErrno = error.kind == ErrorKind::Io ? error.savedErrno : 0;
    ExtractError withoutSystemText = error;
    withoutSystemText.savedErrno = 0;
    return velmora::Error{kind, {}, savedErrno, DescribeError(withoutSystemText)};
}

namespace {
std::atomic<std::uint64_t> g_archiveSerial{0};
} // namespace

SharedArchive::SharedArchive(const fs::path& path) : m_path(path), m_serial(++g_archiveSerial)
{
    if (!m_file.Open(path, "rb")) {
        throw LayerFailure(ErrorKind::Io, "Opening archive", Utf8FromPath(path), errno);
    }
}

SharedArchive::SharedArchive(StdFile file, const fs::path& path)
    : m_path(path), m_file(std::move(file)), m_serial(++g_archiveSerial)
{}

namespace {
// Reads of at least this size go straight to the file; smaller ones through the window.
// An output's data is gathered in memory up to this size before its file is written.
constexpr std::size_t kGatherLimit = 1u << 20;
// Once an output's file exists, pieces of at least this size are written without gathering.
constexpr std::size_t kDirectWrite = 64u << 10;
constexpr std::size_t kDirectRead = 64u << 10;
constexpr std::size_t kWindowSize = 256u << 10;
} // namespace

bool SharedArchive::ReadAt(std::uint64_t offset, void* data, std::size_t size)
{
#if !defined(_WIN32)
    if (size >= kDirectRead) {
        return ReadFileAt(m_file.Handle(), offset, data, size) == static_cast<std::int64_t>(size);
    }
    struct Window {
        std::uint64_t serial = 0; // the archive it holds a piece of; 0: none
        std::uint64_t start = 0;
        std::vector<unsigned char> bytes;
    };
    thread_local Window window;
    const bool inWindow = window.serial == m_serial && offset >= window.start && size <= window.bytes.size() &&
                          offset - window.start <= window.bytes.size() - size;
    if (!inWindow) {
        window.serial = 0;
        window.bytes.resize(kWindowSize);
        const std::int64_t got = ReadFileAt(m_file.Handle(), offset, window.bytes.data(), kWindowSize);
        if (got < 0) return false;
        window.bytes.resize(static_cast<std::size_t>(got));
        window.start = offset;
        window.serial = m_serial;
        if (window.bytes.size() < size) return false;
    }
    std::memcpy(data, window.bytes.data() + (offset - window.start), size);
    return true;
#else
    std::lock_guard lock(m_mutex);
    if (size >= kDirectRead) return m_file.Seek(offset) && m_file.ReadExact(data, size);
    const bool inWindow =
        offset >= m_windowStart && size <= m_window.size() && offset - m_windowStart <= m_window.size() - size;
    if (!inWindow) {
        m_window.resize(kWindowSize);
        if (!m_file.Seek(offset)) {
            m_window.clear();
            return false;
        }
        m_window.resize(m_file.Read(m_window.data(), kWindowSize));
        m_windowStart = offset;
        if (m_window.size() < size) return false;
    }
    std::memcpy(data, m_window.data() + (offset - m_windowStart), size);
    return true;
#endif
}

std::size_t ArchiveRange::Read(unsigned char* data, std::size_t size)
{
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(size, m_remaining));
    if (n == 0) return 0;
    if (!m_archive.ReadAt(m_offset, data, n)) {
        throw LayerFailure(ErrorKind::Damaged, "the archive ends inside an entry", Utf8FromPath(m_archive.Path()));
    }
    m_offset += n;
    m_remaining -= n;
    return n;
}

bool TraditionalDecipher::KeyMatches(const unsigned char* header, std::string_view passwordBytes,
                                     unsigned char expectedCheck)
{
    unsigned char copy[12];
    std::copy(header, header + 12, copy);
    PkwareCipher cipher(passwordBytes);
    cipher.Decrypt(copy, 12);
    return copy[11] == expectedCheck;
}

TraditionalDecipher::TraditionalDecipher(std::unique_ptr<ByteSource> inner, std::string_view passwordBytes,
                                         unsigned char expectedCheck)
    : m_inner(std::move(inner)), m_cipher(passwordBytes)
{
    unsigned char header[12];
    if (m_inner->Read(header, 12) != 12) {
        throw LayerFailure(ErrorKind::Damaged, "damaged encryption header");
    }
    m_cipher.Decrypt(header, 12);
    if (header[11] != expectedCheck) {
        throw LayerFailure(ErrorKind::WrongPassword, {});
    }
}

std::size_t TraditionalDecipher::Read(unsigned char* data, std::size_t size)
{
    const std::size_t n = m_inner->Read(data, size);
    m_cipher.Decrypt(data, n);
    return n;
}

namespace {

// The AES cipher layer: the verifier is checked when it is made, the authentication code
// in Finish, before the sink puts anything in place.
class AesDecipher final : public ByteSource {
public:
    AesDecipher(std::unique_ptr<ByteSource> inner, std::uint64_t size, std::uint8_t strength,
                std::string_view passwordBytes, const AesKeys* keys)
        : m_inner(std::move(inner))
    {
        Guarded([&] {
            if (keys) {
                m_source.emplace(*m_inner, size, *keys);
            } else {
                m_source.emplace(*m_inner, size, strength, passwordBytes);
            }
        });
    }
    std::size_t Read(unsigned char* data, std::size_t size) override
    {
        std::size_t n = 0;
        Guarded([&] { n = m_source->Read(data, size); });
        return n;
    }
    void Finish() override
    {
        Guarded([&] { m_source->Finish(); });
        m_inner->Finish();
    }

private:
    template <typename F> static void Guarded(F&& f)
    {
        try {
            f();
        } catch (const WrongPasswordError& error) {
            throw LayerFailure(ErrorKind::WrongPassword, error.what());
        } catch (const DecodeError& error) {
            throw LayerFailure(ErrorKind::Damaged, error.what());
        }
    }

    std::unique_ptr<ByteSource> m_inner;
    std::optional<AesDecryptingSource> m_source;
};

} // namespace

std::unique_ptr<ByteSource> BuildEntryPipeline(const EntryStreamPlan& plan)
{
    std::unique_ptr<ByteSource> source =
        std::make_unique<ArchiveRange>(*plan.archive, plan.dataOffset, plan.dataLength);
    DecoderParams params = plan.decoder;
    params.packedSize = plan.dataLength;
    if (plan.aesStrength != 0) {
        if (plan.dataLength < AesOverhead(plan.aesStrength)) {
            throw LayerFailure(ErrorKind::Damaged, "damaged encryption header");
        }
        const AesKeys* keys = plan.aesKeys && plan.aesKeys->strength == plan.aesStrength ? plan.aesKeys.get() : nullptr;
        source = std::make_unique<AesDecipher>(std::move(source), plan.dataLength, plan.aesStrength, plan.passwordBytes,
                                               keys);
        params.packedSize -= AesOverhead(plan.aesStrength);
    } else if (plan.encrypted) {
        if (plan.dataLength < 12) throw LayerFailure(ErrorKind::Damaged, "damaged encryption header");
        source = std::make_unique<TraditionalDecipher>(std::move(source), plan.passwordBytes, plan.checkByte);
        params.packedSize -= 12;
    }
    std::unique_ptr<ByteSource> decoder = MakeDecoder(std::move(source), params);
    if (!decoder) {
        throw LayerFailure(ErrorKind::Unsupported, MethodText(params.method) + " is not supported");
    }
    return decoder;
}

CheckedSink::CheckedSink(OutputSlot slot, Keep keep) : m_slot(std::move(slot)), m_keep(keep) {}

CheckedSink::~CheckedSink() = default;

void CheckedSink::Open()
{
    if (!m_slot.folder || m_file) return;
    int error = 0;
    m_file = m_slot.folder->NewFile(m_keep == Keep::Unnamed, error);
    if (!m_file) throw LayerFailure(ErrorKind::Io, "Creating file", Utf8FromPath(m_slot.path), error);
}

void CheckedSink::FlushBuffer()
{
    if (m_buffer.empty()) return;
    Open();
    if (!m_file->Write(m_buffer.data(), m_buffer.size())) {
        throw LayerFailure(ErrorKind::Io, "Writing", Utf8FromPath(m_slot.path), errno);
    }
    m_buffer.clear();
}

void CheckedSink::Write(const unsigned char* data, std::size_t size)
{
    if (size == 0) return;
    if (size > m_limit - m_total) throw LayerFailure(ErrorKind::TooLarge, {});
    m_crc = Crc32(m_crc, data, size);
    m_count += size;
    m_total += size;
    if (!m_slot.folder) return;
    // The data is gathered in memory first: an entry that fits is written in one call, and
    // its file is made only at Commit, once the data passed its checks.
    if (m_buffer.capacity() == 0) {
        m_buffer.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(m_limit, kGatherLimit)));
    }
    // Once the file exists, large pieces go straight to it: copying them into the buffer
    // first would only cost a pass over memory that has left the cache.
    if (m_file && m_buffer.empty() && size >= kDirectWrite) {
        if (!m_file->Write(data, size)) throw LayerFailure(ErrorKind::Io, "Writing", Utf8FromPath(m_slot.path), errno);
        return;
    }
    if (m_buffer.size() + size > m_buffer.capacity()) {
        FlushBuffer();
        if (size > m_buffer.capacity() || size >= kDirectWrite) {
            Open();
            if (!m_file->Write(data, size)) {
                throw LayerFailure(ErrorKind::Io, "Writing", Utf8FromPath(m_slot.path), errno);
            }
            return;
        }
    }
    m_buffer.insert(m_buffer.end(), data, data + size);
}

void CheckedSink::Pump(ByteSource& source, CancelFlag cancel)
{
    thread_local std::vector<unsigned char> buffer;
    buffer.resize(1u << 20);
    for (;;) {
        if (cancel && cancel->load()) throw LayerFailure(ErrorKind::Cancelled, {});
        const std::size_t n = source.Read(buffer.data(), buffer.size());
        if (n == 0) break;
        Write(buffer.data(), n);
    }
    source.Finish();
}

void CheckedSink::Check(std::uint32_t crc, std::uint64_t size) const
{
    if (m_count != size) {
        throw LayerFailure(ErrorKind::Damaged,
                           m_count < size ? "shorter than its declared size" : "larger than its declared size");
    }
    if (m_crc != crc) throw LayerFailure(ErrorKind::Damaged, "CRC-32 mismatch");
}

void CheckOutputSlot(const OutputSlot& slot, const CheckedSink::CommitRules& rules)
{
    if (!slot.folder) return;
    FolderItem item;
    if (const int error = slot.folder->Look(slot.name, item)) {
        throw LayerFailure(ErrorKind::Io, "Reading", Utf8FromPath(slot.path), error);
    }
    if (item.kind == FolderItem::Kind::Missing) return;
    const std::string path = Utf8FromPath(slot.path);
    if (item.kind == FolderItem::Kind::Folder)
        throw LayerFailure(ErrorKind::Clash, "a folder of this name exists", path);
    if (!rules.notOver.empty() && item.kind == FolderItem::Kind::File) {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        if (FileIdentity(rules.notOver, device, inode) && device == item.device && inode == item.inode) {
            throw LayerFailure(ErrorKind::IsArchive, {}, path);
        }
    }
    if (rules.keepReadOnly) {
        if (item.kind != FolderItem::Kind::File || (item.mode & 0222u) == 0 ||
            (rules.isReadOnly && rules.isReadOnly(slot.path))) {
            throw LayerFailure(ErrorKind::NotReplaceable, {}, path);
        }
    }
}

void CheckedSink::Commit(const CommitRules& rules)
{
    if (!m_slot.folder) return;
    FlushBuffer();
    Open(); // an empty entry still makes a file
    const unsigned mode = (rules.mode ? *rules.mode : rules.newFileMode ? *rules.newFileMode : NewFileMode()) & 0777u;
    if (!m_file->SetModeAndTime(mode, rules.time)) {
        throw LayerFailure(ErrorKind::Io, "Setting the permissions of", Utf8FromPath(m_slot.path), errno);
    }
    int error = m_file->Place(m_slot.name);
    if (error == EEXIST) {
        // Something is there already: replaced only when the rules allow it, in one step.
        CheckOutputSlot(m_slot, rules);
        error = m_file->Replace(m_slot.name);
    }
    if (error != 0) throw LayerFailure(ErrorKind::Io, "Writing", Utf8FromPath(m_slot.path), error);
    m_file.reset();
}

std::unique_ptr<UnnamedFile> CheckedSink::TakeUnnamed()
{
    FlushBuffer();
    Open();
    return std::move(m_file);
}

} // namespace velmora::archive
