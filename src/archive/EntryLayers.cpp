#include "archive/EntryLayers.h"

#include "archive/WinZipAes.h"
#include "archive/ZipNames.h"

#include "common/Errors.h"
#include "common/Utf8Path.h"
#include "platform/UnnamedFile.h"

#include <algorithm>
#include <cerrno>
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

bool NoWriteBit(fs::perms perms)
{
    return (perms & (fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write)) == fs::perms::none;
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

SharedArchive::SharedArchive(const fs::path& path) : m_path(path)
{
    if (!m_file.Open(path, "rb")) {
        throw LayerFailure(ErrorKind::Io, "Opening archive", Utf8FromPath(path), errno);
    }
}

SharedArchive::SharedArchive(StdFile file, const fs::path& path) : m_path(path), m_file(std::move(file)) {}

namespace {
// Reads of at least this size go straight to the file; smaller ones through the window.
// An output's data is gathered in memory up to this size before its file is written.
constexpr std::size_t kGatherLimit = 1u << 20;
constexpr std::size_t kDirectRead = 64u << 10;
constexpr std::size_t kWindowSize = 256u << 10;
} // namespace

bool SharedArchive::ReadAt(std::uint64_t offset, void* data, std::size_t size)
{
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

CheckedSink::CheckedSink(fs::path output, Keep keep) : m_output(std::move(output)), m_keep(keep) {}

CheckedSink::~CheckedSink()
{
    if (!m_temp.empty()) {
        m_file.Close();
        std::error_code ec;
        fs::remove(m_temp, ec);
    }
}

void CheckedSink::Open()
{
    if (m_output.empty() || m_unnamed || !m_temp.empty()) return;
    m_unnamed = CreateUnnamedFile(m_output.parent_path());
    if (m_unnamed) return;
    if (m_keep == Keep::Unnamed) throw LayerFailure(ErrorKind::Io, "Creating file", Utf8FromPath(m_output), errno);
    try {
        m_temp = CreateTempBeside(m_output, m_file);
    } catch (const std::exception&) {
        throw LayerFailure(ErrorKind::Io, "Creating file", Utf8FromPath(m_output), errno ? errno : EIO);
    }
    std::error_code ec;
    // The new file's mode is what a new file gets here; until the data is checked and the
    // final mode set, only the owner may read it.
    m_defaultPerms = fs::status(m_temp, ec).permissions();
    if (ec || m_defaultPerms == fs::perms::unknown) {
        m_defaultPerms =
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read;
    }
    fs::permissions(m_temp, fs::perms::owner_read | fs::perms::owner_write, ec);
    std::setvbuf(m_file.Handle(), nullptr, _IOFBF, 1 << 20);
}

void CheckedSink::FlushBuffer()
{
    if (m_buffer.empty()) return;
    Open();
    const bool written =
        m_unnamed ? m_unnamed->Write(m_buffer.data(), m_buffer.size()) : m_file.Write(m_buffer.data(), m_buffer.size());
    if (!written) throw LayerFailure(ErrorKind::Io, "Writing", Utf8FromPath(m_output), errno);
    m_buffer.clear();
}

void CheckedSink::Write(const unsigned char* data, std::size_t size)
{
    if (size == 0) return;
    if (size > m_limit - m_total) throw LayerFailure(ErrorKind::TooLarge, {});
    m_crc = Crc32(m_crc, data, size);
    m_count += size;
    m_total += size;
    if (m_output.empty()) return;
    // The data is gathered in memory first: an entry that fits is written in one call, and
    // its file is made only at Commit, once the data passed its checks.
    if (m_buffer.capacity() == 0) {
        m_buffer.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(m_limit, kGatherLimit)));
    }
    if (m_buffer.size() + size > m_buffer.capacity()) {
        FlushBuffer();
        if (size > m_buffer.capacity()) {
            Open();
            const bool written = m_unnamed ? m_unnamed->Write(data, size) : m_file.Write(data, size);
            if (!written) throw LayerFailure(ErrorKind::Io, "Writing", Utf8FromPath(m_output), errno);
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

void CheckOutputSlot(const fs::path& output, const CheckedSink::CommitRules& rules)
{
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(output, ec);
    if (!fs::exists(status)) return;
    if (fs::is_directory(status)) {
        throw LayerFailure(ErrorKind::Clash, "a folder of this name exists", Utf8FromPath(output));
    }
    if (!rules.notOver.empty() && !fs::is_symlink(status) && fs::equivalent(output, rules.notOver, ec) && !ec) {
        throw LayerFailure(ErrorKind::IsArchive, {}, Utf8FromPath(output));
    }
    if (rules.keepReadOnly) {
        if (fs::is_symlink(status) || !fs::is_regular_file(status) || NoWriteBit(status.permissions()) ||
            (rules.isReadOnly && rules.isReadOnly(output))) {
            throw LayerFailure(ErrorKind::NotReplaceable, {}, Utf8FromPath(output));
        }
    }
}

void CheckedSink::Commit(const CommitRules& rules)
{
    if (m_output.empty()) return;
    FlushBuffer();
    Open(); // an empty entry still makes a file
    if (m_unnamed) {
        CommitUnnamed(rules);
    } else {
        CommitTemporary(rules);
    }
}

std::unique_ptr<UnnamedFile> CheckedSink::TakeUnnamed()
{
    FlushBuffer();
    Open();
    return std::move(m_unnamed);
}

void CheckedSink::CommitUnnamed(const CommitRules& rules)
{
    const unsigned mode = (rules.mode ? *rules.mode : rules.newFileMode ? *rules.newFileMode : NewFileMode()) & 0777u;
    if (!m_unnamed->SetModeAndTime(mode, rules.time)) {
        throw LayerFailure(ErrorKind::Io, "Setting the permissions of", Utf8FromPath(m_output), errno);
    }
    int error = m_unnamed->Link(m_output);
    if (error == EEXIST) {
        // Something is there already: replaced only when the rules allow it, through a
        // name of its own and one rename.
        CheckOutputSlot(m_output, rules);
        for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
            const fs::path temp = TempNameBeside(m_output);
            error = m_unnamed->Link(temp);
            if (error == 0) {
                std::error_code ec;
                fs::rename(temp, m_output, ec);
                if (ec) {
                    std::error_code ignored;
                    fs::remove(temp, ignored);
                    throw LayerFailure(ErrorKind::Io, "Writing", Utf8FromPath(m_output), ec.value());
                }
            }
        }
    }
    if (error != 0) throw LayerFailure(ErrorKind::Io, "Writing", Utf8FromPath(m_output), error);
    m_unnamed.reset();
}

void CheckedSink::CommitTemporary(const CommitRules& rules)
{
    if (!m_file.Close()) throw LayerFailure(ErrorKind::Io, "Writing", Utf8FromPath(m_output), errno);
    std::error_code ec;
    if (rules.time) fs::last_write_time(m_temp, *rules.time, ec);
    const fs::perms perms =
        rules.mode ? static_cast<fs::perms>(*rules.mode & 0777u) : (m_defaultPerms & fs::perms::all);
    fs::permissions(m_temp, perms, ec);
    if (ec) throw LayerFailure(ErrorKind::Io, "Setting the permissions of", Utf8FromPath(m_output), ec.value());
    CheckOutputSlot(m_output, rules);
    fs::rename(m_temp, m_output, ec);
    if (ec) throw LayerFailure(ErrorKind::Io, "Writing", Utf8FromPath(m_output), ec.value());
    m_temp.clear();
}

} // namespace velmora::archive
