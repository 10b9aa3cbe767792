// Reads the end records and the central directory of a ZIP archive.
#include "archive/zip/ZipIndex.h"

#include "archive/zip/ZipNames.h"
#include "common/Errors.h"
#include "common/Utf8Path.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>

namespace velmora::archive {

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kMaxCentralDirectory = 128ull << 20;
constexpr std::uint32_t kDigitalSignatureSig = 0x05054b50;
constexpr std::size_t kEndSize = 22;
constexpr std::size_t kLocatorSize = 20;
constexpr std::size_t kEnd64Size = 56;

// Damage of the archive (or a feature it uses that is not read), named with the archive.
Error Refused(const fs::path& archive, const std::string& what, Error::Kind kind = Error::Kind::InvalidData)
{
    return Error{kind, {}, 0, "'" + Utf8FromPath(archive) + "': " + what};
}

std::string Plural(std::uint64_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// The sub-fields of an extra field, each passed as (id, data); stops at a block that
// runs past the end.
template <typename Visit> void ForEachExtra(std::string_view extra, Visit visit)
{
    const auto* x = reinterpret_cast<const unsigned char*>(extra.data());
    for (std::size_t p = 0; p + 4 <= extra.size();) {
        const std::uint16_t id = Get16(x + p);
        const std::uint16_t len = Get16(x + p + 2);
        if (p + 4 + len > extra.size()) {
            return;
        }
        if (!visit(id, x + p + 4, static_cast<std::size_t>(len))) {
            return;
        }
        p += 4u + len;
    }
}

// Zip64 extra field (0x0001): only the fields whose 32-bit value is saturated, in order.
bool ApplyZip64Extra(std::string_view extra, ZipIndex::Record& e)
{
    bool ok = true;
    ForEachExtra(extra, [&](std::uint16_t id, const unsigned char* data, std::size_t len) {
        if (id != 0x0001) {
            return true;
        }
        e.zip64 = true;
        std::size_t q = 0;
        const auto take = [&](std::uint64_t& field) {
            if (field != 0xFFFFFFFFull) {
                return true;
            }
            if (q + 8 > len) {
                return false;
            }
            field = Get64(data + q);
            q += 8;
            return true;
        };
        ok = take(e.uncompressedSize) && take(e.compressedSize) && take(e.localHeaderOffset);
        return false;
    });
    return ok;
}

// The modification time kept by the NTFS field (0x000A, 100 ns since 1601, UTC) or the
// extended timestamp (0x5455, seconds since 1970, UTC). The NTFS field is the finer one
// and wins when both are present.
std::optional<fs::file_time_type> PreciseModifiedTime(std::string_view extra)
{
    using namespace std::chrono;
    std::optional<fs::file_time_type> ntfs;
    std::optional<fs::file_time_type> unix;
    ForEachExtra(extra, [&](std::uint16_t id, const unsigned char* data, std::size_t len) {
        if (id == 0x000A && len >= 4 + 4 + 24) {
            // 4 reserved bytes, then tagged attributes; tag 1 holds mtime, atime, ctime.
            for (std::size_t p = 4; p + 4 <= len;) {
                const std::uint16_t tag = Get16(data + p);
                const std::uint16_t size = Get16(data + p + 2);
                if (p + 4 + size > len) {
                    break;
                }
                if (tag == 0x0001 && size >= 24) {
                    const std::uint64_t ticks = Get64(data + p + 4);
                    constexpr std::uint64_t kTicksTo1970 = 116444736000000000ull;
                    constexpr std::uint64_t kSpan = 90000000000000000ull; // nanoseconds stay in 64 bits
                    if (ticks > kTicksTo1970 - kSpan && ticks < kTicksTo1970 + kSpan) {
                        const auto since1970 =
                            static_cast<std::int64_t>(ticks) - static_cast<std::int64_t>(kTicksTo1970);
                        const sys_time<nanoseconds> sys{nanoseconds(since1970 * 100)};
                        ntfs = file_clock::from_sys(sys);
                    }
                    break;
                }
                p += 4u + size;
            }
        } else if (id == 0x5455 && len >= 5 && (data[0] & 0x01)) {
            const auto seconds = static_cast<std::int32_t>(Get32(data + 1));
            unix = file_clock::from_sys(sys_seconds{std::chrono::seconds(seconds)});
        }
        return true;
    });
    return ntfs ? ntfs : unix;
}

// MS-DOS, OS/2, Windows and VFAT keep the MS-DOS attribute byte in the low byte;
// Unix and macOS keep the file mode in the high word (and often the MS-DOS byte too).
bool MarkedAsFolder(const ZipIndex::Record& e)
{
    const unsigned host = e.versionMadeBy >> 8;
    const std::uint32_t mode = e.externalAttributes >> 16;
    if ((host == 3 || host == 19) && (mode & 0170000u) != 0) {
        return (mode & 0170000u) == 0040000u;
    }
    return (e.externalAttributes & kAttrDirectory) != 0;
}

// One candidate end record at absolute offset endPos: the central directory it points
// to, read into index. Returns the failure, if any.
std::optional<Error> TryEndRecord(StdFile& file, const fs::path& archive, const unsigned char* end,
                                  std::uint64_t endPos, ZipIndex& index)
{
    index.Clear();
    std::uint64_t count = Get16(end + 10);
    std::uint64_t cdSize = Get32(end + 12);
    std::uint64_t cdOffset = Get32(end + 16);
    std::uint64_t recordsStart = endPos;
    bool haveZip64 = false;
    unsigned char locator[kLocatorSize];
    std::optional<std::uint64_t> found;
    unsigned char rec[kEnd64Size];
    if (endPos >= kLocatorSize && ReadAt(file, endPos - kLocatorSize, locator, sizeof locator) &&
        Get32(locator) == kLocator64Sig) {
        // The Zip64 end record: where the locator says, or, when data in front of the
        // archive moved everything, directly before the locator. A candidate counts only
        // when it holds together: its signature, a record size that ends it before the
        // locator, entry counts and a directory size that fit, and a central directory
        // where it says (or moved by the same data in front). Bytes that merely look like
        // a locator (inside an entry's name, say) then leave the classic record in charge.
        const std::uint64_t locatorPos = endPos - kLocatorSize;
        const std::uint64_t stated = Get64(locator + 8);
        const std::uint64_t adjacent = locatorPos >= kEnd64Size ? locatorPos - kEnd64Size : locatorPos;
        const auto holdsTogether = [&](std::uint64_t at) {
            const std::uint64_t recordSize = Get64(rec + 4);
            const std::uint64_t onDisk = Get64(rec + 24);
            const std::uint64_t total = Get64(rec + 32);
            const std::uint64_t size = Get64(rec + 40);
            const std::uint64_t offset = Get64(rec + 48);
            if (recordSize < kEnd64Size - 12 || recordSize > locatorPos - at - 12 || onDisk > total || size > at ||
                total > size / 46) {
                return false;
            }
            if (size == 0) return total == 0;
            unsigned char sig[4];
            const auto centralAt = [&](std::uint64_t where) {
                return ReadAt(file, where, sig, 4) && Get32(sig) == kCentralSig;
            };
            return (offset <= at - size && centralAt(offset)) || centralAt(at - size);
        };
        for (const std::uint64_t at : {stated, adjacent}) {
            if (at <= locatorPos && locatorPos - at >= kEnd64Size && ReadAt(file, at, rec, sizeof rec) &&
                Get32(rec) == kEnd64Sig && holdsTogether(at)) {
                found = at;
                break;
            }
        }
        // Without a Zip64 record the classic one must carry real values.
        if (!found && (count == 0xFFFF || cdSize == 0xFFFFFFFFu || cdOffset == 0xFFFFFFFFu)) {
            return Refused(archive, "damaged Zip64 end record");
        }
        if (!found) {
            index.warnings.push_back("ignored a Zip64 locator that leads to no Zip64 end record");
        }
    }
    if (found) {
        if (Get32(rec + 16) != 0 || Get32(rec + 20) != 0) {
            return Refused(archive, "spanned archives are not supported", Error::Kind::Unsupported);
        }
        count = Get64(rec + 32);
        cdSize = Get64(rec + 40);
        cdOffset = Get64(rec + 48);
        recordsStart = *found;
        haveZip64 = true;
    } else if (Get16(end + 4) != 0 || Get16(end + 6) != 0) {
        return Refused(archive, "spanned archives are not supported", Error::Kind::Unsupported);
    }
    if (cdSize > recordsStart || cdSize > kMaxCentralDirectory) {
        return Refused(archive, "damaged central directory");
    }
    // The central directory is where the end record says; else it lies directly before
    // the end records and everything is moved by the data in front of the archive
    // (a self-extracting stub, or junk), which the peers find the same way.
    const auto centralAt = [&](std::uint64_t at) {
        unsigned char sig[4];
        return cdSize == 0 || (cdSize >= 4 && ReadAt(file, at, sig, 4) && Get32(sig) == kCentralSig);
    };
    std::uint64_t shift = 0;
    if (cdOffset <= recordsStart - cdSize && centralAt(cdOffset)) {
        shift = 0;
    } else if (recordsStart - cdSize > cdOffset && centralAt(recordsStart - cdSize)) {
        shift = recordsStart - cdSize - cdOffset;
    } else {
        return Refused(archive, "damaged central directory");
    }
    const std::uint64_t cdStart = cdOffset + shift;
    index.centralOffset = cdStart;
    index.prefixBytes = shift;
    index.zip64 = haveZip64;
    return ReadCentralDirectory(file, archive, cdStart, cdSize, count, shift, index);
}

} // namespace

// The central directory is read in pieces of a bounded buffer (a record never spans more
// than one refill) and each record goes straight into the compact index.
std::optional<Error> ReadCentralDirectory(StdFile& file, const fs::path& archive, std::uint64_t cdStart,
                                          std::uint64_t cdSize, std::uint64_t count, std::uint64_t shift,
                                          ZipIndex& index)
{
    constexpr std::size_t kBuffer = 1u << 20; // well above the largest record (46 + 3 x 65535)
    std::vector<unsigned char> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(cdSize, kBuffer)));
    std::uint64_t bufferStart = 0; // the directory position of buffer[0]
    std::size_t held = 0;
    bool readFailed = false;
    // Makes bytes [pos, pos + need) of the directory available; false when they run past
    // its end or cannot be read.
    const auto have = [&](std::uint64_t pos, std::uint64_t need) -> const unsigned char* {
        if (need > cdSize - pos) return nullptr;
        if (pos + need > bufferStart + held) {
            const std::size_t keep = static_cast<std::size_t>(bufferStart + held - pos);
            std::memmove(buffer.data(), buffer.data() + (pos - bufferStart), keep);
            bufferStart = pos;
            const std::size_t want =
                static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size() - keep, cdSize - (pos + keep)));
            if (!ReadAt(file, cdStart + pos + keep, buffer.data() + keep, want)) {
                readFailed = true;
                return nullptr;
            }
            held = keep + want;
        }
        return buffer.data() + (pos - bufferStart);
    };
    // Room for the counted entries at once (no copies while the vector grows), never more
    // than the directory's size can hold; the names and extra fields take at most what
    // the directory holds besides the fixed parts of the records.
    const std::uint64_t reserve = std::min<std::uint64_t>(count, cdSize / 46);
    index.m_records.reserve(static_cast<std::size_t>(reserve));
    index.m_text.reserve(static_cast<std::size_t>(cdSize - 46 * reserve + 64));
    const auto readError = [&] {
        return ErrorFromErrno(errno ? errno : EIO, Utf8FromPath(archive), "Reading archive");
    };
    std::uint64_t pos = 0;
    for (std::uint64_t n = 0; pos < cdSize; ++n) {
        const unsigned char* h = have(pos, std::min<std::uint64_t>(46, cdSize - pos));
        if (!h) return readError();
        if (pos + 4 <= cdSize && Get32(h) == kDigitalSignatureSig) {
            break;
        }
        if (pos + 46 > cdSize || Get32(h) != kCentralSig) {
            if (n >= count && n > 0) {
                break; // bytes after the last entry the end record counts
            }
            return Refused(archive, "damaged central directory");
        }
        const std::uint64_t nameLen = Get16(h + 28);
        const std::uint64_t extraLen = Get16(h + 30);
        const std::uint64_t commentLen = Get16(h + 32);
        if (pos + 46 + nameLen + extraLen + commentLen > cdSize) {
            return Refused(archive, "damaged central directory");
        }
        h = have(pos, 46 + nameLen + extraLen);
        if (!h) return readError();
        ZipIndex::Record e;
        e.versionMadeBy = Get16(h + 4);
        e.versionNeeded = Get16(h + 6);
        e.flags = Get16(h + 8);
        e.method = Get16(h + 10);
        e.dosDateTime = static_cast<std::uint32_t>(Get16(h + 12)) | (static_cast<std::uint32_t>(Get16(h + 14)) << 16);
        e.crc32 = Get32(h + 16);
        e.compressedSize = Get32(h + 20);
        e.uncompressedSize = Get32(h + 24);
        e.externalAttributes = Get32(h + 38);
        e.localHeaderOffset = Get32(h + 42);
        const std::string_view raw(reinterpret_cast<const char*>(h + 46), nameLen);
        const std::string_view extra(reinterpret_cast<const char*>(h + 46 + nameLen), extraLen);
        if (!ApplyZip64Extra(extra, e)) {
            return Refused(archive, "damaged Zip64 extra field of entry " + std::to_string(n));
        }
        if (e.localHeaderOffset > UINT64_MAX - shift) {
            return Refused(archive, "damaged central directory");
        }
        e.localHeaderOffset += shift;
        std::string name = DecodeEntryName(raw, (e.flags & 0x0800) != 0, extra, e.versionMadeBy >> 8);
        e.isDirectory = !name.empty() && (name.back() == '/' || name.back() == '\\');
        if (!e.isDirectory && !name.empty() && e.uncompressedSize == 0 && MarkedAsFolder(e)) {
            // A folder marked only by its attribute, without the trailing "/".
            name.push_back('/');
            e.isDirectory = true;
        }
        // A decoded name may be longer than the stored one, but never beyond three bytes
        // for each stored byte or the extra field's length, plus the "/": the record's
        // 18 bits hold it, and the directory's cap keeps the text within 32-bit offsets.
        if (index.m_text.size() + name.size() + extraLen + nameLen > UINT32_MAX || name.size() >= (1u << 18)) {
            return Refused(archive, "damaged central directory");
        }
        e.text = static_cast<std::uint32_t>(index.m_text.size());
        e.nameLength = static_cast<std::uint32_t>(name.size());
        e.extraLength = static_cast<std::uint16_t>(extraLen);
        e.sameRaw = name == raw;
        index.m_text.append(name);
        index.m_text.append(extra);
        if (!e.sameRaw) {
            e.rawLength = static_cast<std::uint16_t>(nameLen);
            index.m_text.append(raw);
        }
        index.m_records.push_back(e);
        pos += 46 + nameLen + extraLen + commentLen;
    }
    if (index.size() != count) {
        index.warnings.push_back("the end record counts " + Plural(count, "entry", "entries") +
                                 " but the central directory holds " + std::to_string(index.size()) +
                                 "; all of them are read");
    }
    if (shift > 0) {
        index.warnings.push_back("skipped " + Plural(shift, "byte", "bytes") + " in front of the archive");
    }
    return {};
}

namespace {

std::optional<Error> ReadIndex(StdFile& file, const fs::path& archive, ZipIndex& index)
{
    std::error_code ec;
    // The length of the open file, not of whatever the path names now.
    const std::optional<std::uint64_t> size = file.Size();
    if (!size) {
        return ErrorFromErrno(errno, Utf8FromPath(archive), "Reading archive");
    }
    index.fileSize = *size;
    if (index.fileSize < kEndSize) {
        return Refused(archive, "not a ZIP archive");
    }
    // The end record lies within the last 64 KiB (its comment is at most 65535 bytes);
    // bytes after it (a newline, padding, junk) are tolerated as the peers do.
    const std::uint64_t tailSize = std::min<std::uint64_t>(index.fileSize, kEndSize + 65535 + 1024);
    const std::uint64_t tailStart = index.fileSize - tailSize;
    std::string tail(tailSize, '\0');
    if (!ReadAt(file, tailStart, tail.data(), tail.size())) {
        return ErrorFromErrno(errno ? errno : EIO, Utf8FromPath(archive), "Reading archive");
    }
    const auto* t = reinterpret_cast<const unsigned char*>(tail.data());
    // Candidates from the end backwards; one whose comment ends the file exactly first.
    std::vector<std::uint64_t> exact;
    std::vector<std::uint64_t> other;
    for (std::uint64_t i = tailSize - kEndSize + 1; i-- > 0;) {
        if (Get32(t + i) == kEndSig) {
            (i + kEndSize + Get16(t + i + 20) == tailSize ? exact : other).push_back(i);
        }
    }
    if (exact.empty() && other.empty()) {
        return Refused(archive, "not a ZIP archive (no end of central directory)");
    }
    // Each candidate may read a large central directory: a tail stuffed with signatures
    // gets a few tries, not thousands.
    constexpr std::size_t kMaxTries = 8;
    std::size_t tries = 0;
    std::optional<Error> firstError;
    for (const auto* list : {&exact, &other}) {
        for (const std::uint64_t i : *list) {
            if (++tries > kMaxTries) {
                break;
            }
            std::optional<Error> error = TryEndRecord(file, archive, t + i, tailStart + i, index);
            if (!error) {
                const std::uint64_t stated = tailStart + i + kEndSize + Get16(t + i + 20);
                if (stated < index.fileSize) {
                    index.warnings.push_back("ignored " + Plural(index.fileSize - stated, "byte", "bytes") +
                                             " after the end of the archive");
                } else if (stated > index.fileSize) {
                    index.warnings.push_back("the archive comment is cut short");
                }
                return {};
            }
            if (!firstError) {
                firstError = std::move(error);
            }
        }
    }
    index.Clear();
    return firstError;
}

} // namespace

Result<void> ReadZipIndex(StdFile& file, const fs::path& archive, ZipIndex& index)
{
    if (std::optional<Error> error = ReadIndex(file, archive, index)) return velmora::Fail(std::move(*error));
    return Ok();
}

Result<void> OpenZipIndex(const fs::path& archive, ZipIndex& index)
{
    StdFile file;
    if (!file.Open(archive, "rb"))
        return velmora::Fail(ErrorFromErrno(errno, Utf8FromPath(archive), "Opening archive"));
    return ReadZipIndex(file, archive, index);
}

void ZipIndex::Clear()
{
    m_records.clear();
    m_records.shrink_to_fit();
    m_text.clear();
    m_text.shrink_to_fit();
    warnings.clear();
    zip64 = false;
}

ZipEntryInfo ZipIndex::Entry(std::size_t i) const
{
    const Record& r = m_records[i];
    ZipEntryInfo e;
    e.name = Name(i);
    e.rawName = RawName(i);
    e.versionMadeBy = r.versionMadeBy;
    e.versionNeeded = r.versionNeeded;
    e.flags = r.flags;
    e.method = r.method;
    e.dosDateTime = r.dosDateTime;
    e.crc32 = r.crc32;
    e.compressedSize = r.compressedSize;
    e.uncompressedSize = r.uncompressedSize;
    e.localHeaderOffset = r.localHeaderOffset;
    e.externalAttributes = r.externalAttributes;
    e.extra = Extra(i);
    e.modified = PreciseModifiedTime(e.extra);
    e.isDirectory = r.isDirectory;
    e.encrypted = r.Encrypted();
    e.zip64 = r.zip64;
    return e;
}

bool ReadAt(StdFile& file, std::uint64_t offset, void* data, std::size_t size)
{
    return file.Seek(offset) && file.ReadExact(data, size);
}

} // namespace velmora::archive
