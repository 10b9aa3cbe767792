#include "archive/ZipReader.h"

#include "archive/ArchiveIo.h"
#include "archive/BackgroundWriter.h"
#include "archive/EntryDecoder.h"
#include "archive/PkwareCipher.h"
#include "archive/WinZipAes.h"
#include "archive/WorkerPool.h"
#include "archive/ZipIndex.h"
#include "archive/ZipNames.h"
#include "common/AsciiText.h"
#include "common/Errors.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <set>

namespace velmora {

using namespace archive;
namespace fs = std::filesystem;

namespace {

// Entries whose compressed and plain sizes together stay below this are inflated in one
// call; larger ones stream.
constexpr std::uint64_t kWholeInflateLimit = 40ull << 20;

// Where one entry's data lies, found from its local header.
struct DataSpan {
    std::uint64_t start = 0;
    bool descriptorFlag = false; // bit 3 of the local header
};

std::string LocateData(StdFile& file, const ZipIndex& index, const ZipEntryInfo& e, std::uint64_t nextOffset,
                       DataSpan& span)
{
    unsigned char h[30];
    if (e.localHeaderOffset > index.centralOffset || index.centralOffset - e.localHeaderOffset < 30 ||
        !ReadAt(file, e.localHeaderOffset, h, sizeof h) || Get32(h) != kLocalSig) {
        return "damaged local header";
    }
    span.descriptorFlag = (Get16(h + 6) & 0x0008) != 0;
    span.start = e.localHeaderOffset + 30 + Get16(h + 26) + Get16(h + 28);
    if (span.start > nextOffset || e.compressedSize > nextOffset - span.start) {
        return "entry data overlaps other entries or runs past its end";
    }
    return {};
}

// The offset that bounds each entry's data: the next local header or the central directory.
std::vector<std::uint64_t> NextOffsets(const ZipIndex& index, std::vector<bool>& duplicate)
{
    std::vector<std::uint64_t> offsets;
    offsets.reserve(index.entries.size());
    for (const ZipEntryInfo& e : index.entries) {
        offsets.push_back(e.localHeaderOffset);
    }
    std::vector<std::uint64_t> sorted = offsets;
    std::sort(sorted.begin(), sorted.end());
    std::vector<std::uint64_t> next(offsets.size());
    duplicate.assign(offsets.size(), false);
    std::set<std::uint64_t> seen;
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        auto it = std::upper_bound(sorted.begin(), sorted.end(), offsets[i]);
        next[i] = it == sorted.end() ? index.centralOffset : std::min(*it, index.centralOffset);
        duplicate[i] = !seen.insert(offsets[i]).second;
    }
    return next;
}

struct EntryJob {
    fs::path archive;
    ZipEntryInfo entry;
    DataSpan span;
    bool encrypted = false;
    std::string passwordBytes;
    std::optional<AesExtraField> aes; // AES entry: the password bytes are its key material
    fs::path output; // empty: only verify
    bool restoreTime = true;
    CancelFlag cancel = nullptr;
};

struct JobResult {
    bool ok = false;
    std::string error;
    std::uint32_t crc = 0;
    std::uint64_t size = 0;
};

// Writes a job's output to a temporary file and renames it into place once verified.
class Sink {
public:
    explicit Sink(const fs::path& output) : m_output(output) {}
    ~Sink()
    {
        if (!m_temp.empty()) {
            m_file.Close();
            std::error_code ec;
            fs::remove(m_temp, ec);
        }
    }
    void Open()
    {
        if (!m_output.empty()) {
            m_temp = CreateTempBeside(m_output, m_file);
        }
    }
    StdFile* File() { return m_temp.empty() ? nullptr : &m_file; }
    void Write(const void* data, std::size_t size)
    {
        if (!m_temp.empty() && size && !m_file.Write(data, size)) {
            throw VelmoraError(SystemErrorText("Writing", m_output.string(), errno));
        }
    }
    void Commit(std::optional<fs::file_time_type> time)
    {
        if (m_temp.empty()) {
            return;
        }
        if (!m_file.Close()) {
            throw VelmoraError(SystemErrorText("Writing", m_output.string(), errno));
        }
        std::error_code ec;
        if (time) {
            fs::last_write_time(m_temp, *time, ec);
        }
        fs::rename(m_temp, m_output, ec);
        if (ec) {
            throw VelmoraError(SystemErrorText("Writing", m_output.string(), ec.value()));
        }
        m_temp.clear();
    }

private:
    fs::path m_output;
    fs::path m_temp;
    StdFile m_file;
};

// The entry's bytes as they lie in the archive, decrypted when the traditional cipher is used.
class RangeSource : public ByteSource {
public:
    RangeSource(StdFile& file, std::uint64_t size, PkwareCipher* cipher, CancelFlag cancel)
        : m_file(file), m_left(size), m_cipher(cipher), m_cancel(cancel)
    {
    }
    std::size_t Read(unsigned char* data, std::size_t size) override
    {
        if (m_cancel && m_cancel->load()) {
            throw VelmoraError("cancelled");
        }
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(size, m_left));
        if (n && !m_file.ReadExact(data, n)) {
            throw VelmoraError("archive ends inside an entry");
        }
        if (m_cipher) {
            m_cipher->Decrypt(data, n);
        }
        m_left -= n;
        return n;
    }

private:
    StdFile& m_file;
    std::uint64_t m_left;
    PkwareCipher* m_cipher;
    CancelFlag m_cancel;
};

// Plain bytes into the CRC and the output file.
class CrcSink : public ByteSink {
public:
    explicit CrcSink(Sink& sink) : m_sink(sink) {}
    void Write(const unsigned char* data, std::size_t size) override
    {
        crc = Crc32(crc, data, size);
        m_sink.Write(data, size);
    }
    std::uint32_t crc = 0;

private:
    Sink& m_sink;
};

// Entries of the further methods and AES entries: byte range, then the cipher, then the
// method's decoder, then the checked output, which is committed only when the size, the
// CRC (not stored by AE-2) and the AES authentication code all match.
JobResult RunDecoderJob(const EntryJob& job, StdFile& in)
{
    JobResult result;
    const ZipEntryInfo& e = job.entry;
    std::uint64_t size = e.compressedSize;
    std::optional<PkwareCipher> pkware;
    if (job.encrypted && !job.aes) {
        unsigned char header[12];
        if (size < 12 || !in.ReadExact(header, 12)) {
            throw VelmoraError("damaged encryption header");
        }
        pkware.emplace(job.passwordBytes);
        pkware->Decrypt(header, 12);
        size -= 12;
    }
    RangeSource range(in, size, pkware ? &*pkware : nullptr, job.cancel);
    std::optional<AesDecryptingSource> aes;
    if (job.aes) {
        aes.emplace(range, size, job.aes->strength, job.passwordBytes);
    }
    ByteSource& source = aes ? static_cast<ByteSource&>(*aes) : range;
    Sink sink(job.output);
    sink.Open();
    CrcSink out(sink);
    const std::uint16_t method = job.aes ? job.aes->method : e.method;
    const std::uint64_t produced = DecodeEntryData(method, e.flags, source, out, e.uncompressedSize);
    if (aes) {
        aes->Finish();
    }
    const bool crcStored = !job.aes || job.aes->version == 1;
    if (crcStored && out.crc != e.crc32) {
        throw VelmoraError("CRC-32 mismatch");
    }
    sink.Commit(job.restoreTime ? DosToFileTime(e.dosDateTime) : std::nullopt);
    result.ok = true;
    result.crc = out.crc;
    result.size = produced;
    return result;
}

JobResult RunEntryJob(const EntryJob& job)
{
    JobResult result;
    const ZipEntryInfo& e = job.entry;
    try {
        StdFile in;
        if (!in.Open(job.archive, "rb") || !in.Seek(job.span.start)) {
            throw VelmoraError(SystemErrorText("Reading archive", job.archive.string(), errno));
        }
        if (job.aes || !(e.method == 0 || e.method == 8)) {
            return RunDecoderJob(job, in);
        }
        std::uint64_t remaining = e.compressedSize;
        std::optional<PkwareCipher> cipher;
        if (job.encrypted) {
            unsigned char header[12];
            if (remaining < 12 || !in.ReadExact(header, 12)) {
                throw VelmoraError("damaged encryption header");
            }
            cipher.emplace(job.passwordBytes);
            cipher->Decrypt(header, 12);
            remaining -= 12;
        }
        Sink sink(job.output);
        sink.Open();
        std::uint32_t crc = 0;
        std::uint64_t produced = 0;
        const auto emit = [&](const unsigned char* data, std::size_t size) {
            if (size > e.uncompressedSize - produced) {
                throw VelmoraError("entry is larger than its declared size");
            }
            crc = Crc32(crc, data, size);
            produced += size;
            sink.Write(data, size);
        };
        const auto readIn = [&](unsigned char* data, std::size_t size) {
            if (!in.ReadExact(data, size)) {
                throw VelmoraError("archive ends inside an entry");
            }
            if (cipher) {
                cipher->Decrypt(data, size);
            }
        };
        const auto checkCancel = [&] {
            if (job.cancel && job.cancel->load()) {
                throw VelmoraError("cancelled");
            }
        };
        // Stored and large deflated entries stream through a second thread that checksums
        // and writes while this one reads and inflates.
        const auto streamed = [&](auto&& fill) {
            BackgroundWriter writer(sink.File());
            std::vector<unsigned char> buffer;
            for (;;) {
                checkCancel();
                buffer.resize(1u << 20);
                const std::size_t n = fill(buffer);
                if (n == 0) {
                    break;
                }
                if (n > e.uncompressedSize - produced) {
                    throw VelmoraError("entry is larger than its declared size");
                }
                produced += n;
                buffer.resize(n);
                writer.Push(buffer);
            }
            if (!writer.Finish()) {
                throw VelmoraError(SystemErrorText("Writing", job.output.string(), errno));
            }
            crc = writer.Crc();
        };
        // Buffers stay with the thread and are reused: no zeroing, no fresh pages per entry.
        thread_local std::unique_ptr<unsigned char[]> packedBuffer;
        thread_local std::unique_ptr<unsigned char[]> plainBuffer;
        thread_local std::size_t packedCapacity = 0;
        thread_local std::size_t plainCapacity = 0;
        const auto reserve = [](std::unique_ptr<unsigned char[]>& buffer, std::size_t& capacity, std::size_t n) {
            if (capacity < n || capacity == 0) {
                capacity = std::max<std::size_t>(n, 1);
                buffer.reset(new unsigned char[capacity]);
            }
            return buffer.get();
        };
        if (e.method == 0 && remaining != e.uncompressedSize) {
            throw VelmoraError("stored entry's sizes differ");
        }
        if (e.method == 0 && remaining <= kWholeInflateLimit) {
            unsigned char* plain = reserve(plainBuffer, plainCapacity, static_cast<std::size_t>(remaining));
            readIn(plain, static_cast<std::size_t>(remaining));
            emit(plain, static_cast<std::size_t>(remaining));
        } else if (e.method == 0) {
            streamed([&](std::vector<unsigned char>& buffer) {
                const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, buffer.size()));
                readIn(buffer.data(), n);
                remaining -= n;
                return n;
            });
        } else if (remaining + e.uncompressedSize <= kWholeInflateLimit) {
            unsigned char* packed = reserve(packedBuffer, packedCapacity, static_cast<std::size_t>(remaining));
            unsigned char* plain = reserve(plainBuffer, plainCapacity, static_cast<std::size_t>(e.uncompressedSize));
            readIn(packed, static_cast<std::size_t>(remaining));
            thread_local std::unique_ptr<libdeflate_decompressor, void (*)(libdeflate_decompressor*)> decompressor(
                libdeflate_alloc_decompressor(), libdeflate_free_decompressor);
            if (!decompressor) {
                throw std::bad_alloc();
            }
            std::size_t inUsed = 0;
            std::size_t outMade = 0;
            const auto rc =
                libdeflate_deflate_decompress_ex(decompressor.get(), packed, static_cast<std::size_t>(remaining), plain,
                                                 static_cast<std::size_t>(e.uncompressedSize), &inUsed, &outMade);
            if (rc == LIBDEFLATE_INSUFFICIENT_SPACE) {
                throw VelmoraError("entry is larger than its declared size");
            }
            if (rc != LIBDEFLATE_SUCCESS) {
                throw VelmoraError("damaged compressed data");
            }
            emit(plain, outMade);
        } else {
            RawInflateStream inflater;
            z_stream& zs = inflater.Stream();
            std::vector<unsigned char> inBuf(1u << 18);
            bool ended = false;
            streamed([&](std::vector<unsigned char>& buffer) -> std::size_t {
                zs.next_out = buffer.data();
                zs.avail_out = static_cast<uInt>(buffer.size());
                while (!ended && zs.avail_out > 0) {
                    if (zs.avail_in == 0) {
                        if (remaining == 0) {
                            throw VelmoraError("damaged compressed data (ends early)");
                        }
                        const std::size_t n =
                            static_cast<std::size_t>(std::min<std::uint64_t>(remaining, inBuf.size()));
                        readIn(inBuf.data(), n);
                        remaining -= n;
                        zs.next_in = inBuf.data();
                        zs.avail_in = static_cast<uInt>(n);
                    }
                    const int rc = inflate(&zs, Z_NO_FLUSH);
                    if (rc == Z_STREAM_END) {
                        ended = true;
                    } else if (rc != Z_OK) {
                        throw VelmoraError("damaged compressed data");
                    }
                }
                return buffer.size() - zs.avail_out;
            });
        }
        if (produced != e.uncompressedSize) {
            throw VelmoraError("entry is shorter than its declared size");
        }
        if (crc != e.crc32) {
            throw VelmoraError("CRC-32 mismatch");
        }
        sink.Commit(job.restoreTime ? (e.modified ? e.modified : DosToFileTime(e.dosDateTime)) : std::nullopt);
        result.ok = true;
        result.crc = crc;
        result.size = produced;
    } catch (const std::exception& error) {
        result.error = error.what();
    }
    return result;
}

bool IsSymlinkEntry(const ZipEntryInfo& e)
{
    const unsigned host = e.versionMadeBy >> 8;
    return (host == 3 || host == 19) && ((e.externalAttributes >> 16) & 0170000u) == 0120000u;
}

// Creates the folders of relative below target without passing through a link or a file.
bool MakeFolders(const fs::path& target, const fs::path& relative, std::string& error)
{
    fs::path current = target;
    for (const fs::path& part : relative) {
        current /= part;
        std::error_code ec;
        const auto status = fs::symlink_status(current, ec);
        if (fs::is_symlink(status)) {
            error = "'" + current.string() + "' is a link; nothing is written through it";
            return false;
        }
        if (fs::is_directory(status)) {
            continue;
        }
        if (fs::exists(status)) {
            error = "'" + current.string() + "' is a file, not a folder";
            return false;
        }
        if (!fs::create_directory(current, ec) && ec) {
            error = SystemErrorText("Creating folder", current.string(), ec.value());
            return false;
        }
    }
    return true;
}

// Finds the password bytes that open an AES entry (its UTF-8 bytes first, as the
// writers of AES entries use them, then Windows-1252), asking for another password up
// to three times like the traditional cipher does.
bool MatchAesPassword(StdFile& file, const ZipEntryInfo& e, const AesExtraField& aes, EntryJob& job,
                      const ZipExtractOptions& options, std::string& currentPassword)
{
    unsigned char head[16 + kAesVerifierSize];
    const std::size_t headSize = AesSaltSize(aes.strength) + kAesVerifierSize;
    if (e.compressedSize < AesOverhead(aes.strength) || !ReadAt(file, job.span.start, head, headSize)) {
        return false;
    }
    for (int attempt = 0; attempt <= 3; ++attempt) {
        if (attempt > 0 && options.needPassword && !options.needPassword(currentPassword)) {
            return false;
        }
        const std::string utf8 = currentPassword;
        const std::string windows1252 = PasswordBytes(currentPassword);
        for (const std::string* bytes : {&utf8, &windows1252}) {
            if (bytes == &windows1252 && windows1252 == utf8) {
                break; // an ASCII password has one form only
            }
            if (AesPasswordMatches(*bytes, head, aes.strength)) {
                job.passwordBytes = *bytes;
                return true;
            }
        }
    }
    return false;
}

enum class Mode { KeepFolders, Flatten, Verify };

ZipExtractResult Extract(const fs::path& archive, const fs::path& target, Mode mode, const std::string* password,
                         const ZipExtractOptions& options, const std::vector<ZipSource>* sources = nullptr)
{
    ZipExtractResult result;
    const auto failWith = [&](const std::string& text) {
        if (result.error.empty()) {
            result.error = text;
        }
        result.failures.push_back(text);
    };
    StdFile file;
    if (!file.Open(archive, "rb")) {
        result.error = SystemErrorText("Opening archive", archive.string(), errno);
        return result;
    }
    ZipIndex index;
    if (std::string error = ReadZipIndex(file, archive, index); !error.empty()) {
        result.error = error;
        return result;
    }
    result.warnings = index.warnings;
    std::vector<bool> duplicate;
    const std::vector<std::uint64_t> next = NextOffsets(index, duplicate);
    std::uint64_t total = 0;
    for (const ZipEntryInfo& e : index.entries) {
        total += e.uncompressedSize;
    }
    std::uint64_t done = 0;

    std::string currentPassword = password ? *password : std::string();
    WorkerPool pool(WorkerPool::DefaultThreads(0));
    struct Pending {
        std::size_t index;
        std::future<JobResult> future;
        fs::path output;
    };
    std::deque<Pending> pending;
    std::set<fs::path> inFlight;
    std::map<std::string, std::pair<std::uint32_t, std::uint64_t>> verified; // name -> crc, size
    const auto finishOne = [&] {
        Pending item = std::move(pending.front());
        pending.pop_front();
        JobResult r = item.future.get();
        inFlight.erase(item.output);
        const ZipEntryInfo& e = index.entries[item.index];
        if (r.ok) {
            ++result.entriesPassed;
            if (mode == Mode::Verify) {
                verified[e.name] = {r.crc, r.size};
            } else {
                ++result.filesWritten;
            }
        } else {
            failWith("'" + e.name + "': " + r.error);
        }
        done += e.uncompressedSize;
        if (options.progress) {
            options.progress(done, total);
        }
    };
    bool stop = false;
    for (std::size_t i = 0; i < index.entries.size() && !stop; ++i) {
        if (options.cancel && options.cancel->load()) {
            failWith("cancelled");
            break;
        }
        const ZipEntryInfo& e = index.entries[i];
        bool isDirectory = false;
        const std::optional<std::string> safe = SafeRelativeName(e.name, isDirectory);
        if (!safe || IsSymlinkEntry(e) || duplicate[i]) {
            result.rejected.push_back(e.name);
            failWith("'" + e.name + "': " +
                     (!safe          ? "unsafe name (absolute, drive letter or leaves the folder)"
                      : duplicate[i] ? "shares its data with another entry"
                                     : "links are not extracted"));
            continue;
        }
        fs::path output;
        if (mode != Mode::Verify) {
            const fs::path relative(*safe);
            std::string error;
            if (isDirectory) {
                if (mode == Mode::KeepFolders && !MakeFolders(target, relative, error)) {
                    failWith(error);
                }
                continue;
            }
            if (mode == Mode::KeepFolders) {
                if (!MakeFolders(target, relative.parent_path(), error)) {
                    failWith(error);
                    continue;
                }
                output = target / relative;
            } else {
                output = target / relative.filename();
            }
            std::error_code ec;
            if (fs::is_directory(fs::symlink_status(output, ec))) {
                failWith("'" + output.string() + "' is a folder");
                continue;
            }
        } else if (isDirectory) {
            continue;
        }
        std::optional<AesExtraField> aes;
        if (e.method == zipmethod::kAes) {
            aes = FindAesExtra(e.extra);
            if (!aes || !e.encrypted) {
                failWith("'" + e.name + "': damaged AES extra field");
                continue;
            }
        }
        if (const std::uint16_t method = aes ? aes->method : e.method; !IsMethodSupported(method)) {
            failWith("'" + e.name + "': " + MethodText(method) + " is not supported");
            continue;
        }
        EntryJob job;
        job.archive = archive;
        job.entry = e;
        job.output = output;
        job.restoreTime = options.restoreTimes;
        job.cancel = options.cancel;
        if (std::string error = LocateData(file, index, e, next[i], job.span); !error.empty()) {
            failWith("'" + e.name + "': " + error);
            continue;
        }
        if (e.encrypted) {
            if (!password) {
                failWith("'" + e.name + "': the entry is encrypted");
                continue;
            }
            if (aes) {
                if (!MatchAesPassword(file, e, *aes, job, options, currentPassword)) {
                    failWith("'" + e.name + "': wrong or missing password");
                    stop = true;
                    continue;
                }
                job.encrypted = true;
                job.aes = aes;
            } else {
            unsigned char header[12];
            if (e.compressedSize < 12 || !ReadAt(file, job.span.start, header, 12)) {
                failWith("'" + e.name + "': damaged encryption header");
                continue;
            }
            const unsigned char expected = job.span.descriptorFlag
                                               ? static_cast<unsigned char>((e.dosDateTime >> 8) & 0xFF)
                                               : static_cast<unsigned char>(e.crc32 >> 24);
            bool matched = false;
            for (int attempt = 0; attempt <= 3 && !matched; ++attempt) {
                if (attempt > 0) {
                    if (options.needPassword && !options.needPassword(currentPassword)) {
                        break;
                    }
                }
                // The password's Windows-1252 bytes first, then its UTF-8 bytes.
                const std::string candidates[2] = {PasswordBytes(currentPassword), currentPassword};
                for (const std::string& bytes : candidates) {
                    unsigned char copy[12];
                    std::copy(header, header + 12, copy);
                    PkwareCipher cipher(bytes);
                    cipher.Decrypt(copy, 12);
                    if (copy[11] == expected) {
                        matched = true;
                        job.passwordBytes = bytes;
                        break;
                    }
                }
            }
            if (!matched) {
                failWith("'" + e.name + "': wrong or missing password");
                stop = true;
                continue;
            }
            job.encrypted = true;
            }
        }
        if (!output.empty() && inFlight.count(output)) {
            while (!pending.empty()) {
                finishOne();
            }
        }
        inFlight.insert(output);
        pending.push_back({i, pool.Submit([job] { return RunEntryJob(job); }), output});
        while (pending.size() >= pool.Size() * 2) {
            finishOne();
        }
    }
    while (!pending.empty()) {
        finishOne();
    }
    if (mode == Mode::Verify && sources) {
        for (const ZipSource& source : *sources) {
            const std::string name = source.isDirectory ? source.name + "/" : source.name;
            if (source.isDirectory) {
                continue;
            }
            auto it = verified.find(name);
            if (it == verified.end()) {
                failWith("'" + name + "' is missing from the archive");
                continue;
            }
            StdFile in;
            std::uint32_t crc = 0;
            std::uint64_t size = 0;
            if (!in.Open(source.path, "rb")) {
                failWith(SystemErrorText("Opening", source.path.string(), errno));
                continue;
            }
            std::vector<unsigned char> buffer(1u << 20);
            for (std::size_t n; (n = in.Read(buffer.data(), buffer.size())) > 0;) {
                crc = Crc32(crc, buffer.data(), n);
                size += n;
            }
            if (in.Error() || crc != it->second.first || size != it->second.second) {
                failWith("'" + name + "' differs from its source");
            }
        }
    }
    result.ok = result.error.empty();
    return result;
}

} // namespace

ZipListing ListZipArchive(const fs::path& archive)
{
    ZipListing listing;
    StdFile file;
    if (!file.Open(archive, "rb")) {
        listing.error = SystemErrorText("Opening archive", archive.string(), errno);
        return listing;
    }
    ZipIndex index;
    listing.error = ReadZipIndex(file, archive, index);
    listing.ok = listing.error.empty();
    listing.entries = std::move(index.entries);
    listing.zip64 = index.zip64;
    listing.warnings = std::move(index.warnings);
    return listing;
}

ZipExtractResult UnZipFile(const fs::path& archive, const fs::path& target, const ZipExtractOptions& options)
{
    std::error_code ec;
    if (!fs::is_directory(target, ec)) {
        fs::create_directories(target, ec);
        if (ec) {
            ZipExtractResult result;
            result.error = SystemErrorText("Creating folder", target.string(), ec.value());
            return result;
        }
    }
    return Extract(archive, target, Mode::KeepFolders, nullptr, options);
}

ZipExtractResult ExtractProtected(const fs::path& target, const fs::path& archive, std::string_view password,
                                  const ZipExtractOptions& options)
{
    std::error_code ec;
    if (!fs::is_directory(target, ec)) {
        if (!fs::create_directory(target, ec) && ec) {
            throw VelmoraError(SystemErrorText("Creating folder", target.string(), ec.value()));
        }
    }
    const std::string trimmed(TrimBlanks(password));
    return Extract(archive, target, Mode::Flatten, &trimmed, options);
}

ZipExtractResult VerifyZipArchive(const fs::path& archive, std::string_view password,
                                  const std::vector<ZipSource>* sources)
{
    const std::string copy(password);
    ZipExtractOptions options;
    options.restoreTimes = false;
    return Extract(archive, {}, Mode::Verify, &copy, options, sources);
}

} // namespace velmora
