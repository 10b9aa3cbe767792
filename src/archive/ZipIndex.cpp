#include "archive/ZipIndex.h"

#include "archive/ZipNames.h"
#include "common/Errors.h"

#include <algorithm>
#include <cerrno>
#include <optional>

namespace velmora::archive {

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kMaxCentralDirectory = 128ull << 20;

std::string Fail(const fs::path& archive, const std::string& what)
{
    return "'" + archive.string() + "': " + what;
}

} // namespace

std::string ReadZipIndex(StdFile& file, const fs::path& archive, ZipIndex& index)
{
    std::error_code ec;
    index.fileSize = fs::file_size(archive, ec);
    if (ec) {
        return SystemErrorText("Reading archive", archive.string(), ec.value());
    }
    if (index.fileSize < 22) {
        return Fail(archive, "not a ZIP archive");
    }
    const std::uint64_t tailSize = std::min<std::uint64_t>(index.fileSize, 22 + 65535);
    const std::uint64_t tailStart = index.fileSize - tailSize;
    std::string tail(tailSize, '\0');
    if (!ReadAt(file, tailStart, tail.data(), tail.size())) {
        return SystemErrorText("Reading archive", archive.string(), errno ? errno : EIO);
    }
    const auto* t = reinterpret_cast<const unsigned char*>(tail.data());
    std::optional<std::uint64_t> endPos;
    for (std::uint64_t i = tailSize - 22 + 1; i-- > 0;) {
        if (Get32(t + i) == kEndSig && i + 22 + Get16(t + i + 20) == tailSize) {
            endPos = i;
            break;
        }
    }
    if (!endPos) {
        return Fail(archive, "not a ZIP archive (no end of central directory)");
    }
    const unsigned char* end = t + *endPos;
    if (Get16(end + 4) != 0 || Get16(end + 6) != 0 || Get16(end + 8) != Get16(end + 10)) {
        return Fail(archive, "spanned archives are not supported");
    }
    std::uint64_t count = Get16(end + 10);
    std::uint64_t cdSize = Get32(end + 12);
    std::uint64_t cdOffset = Get32(end + 16);
    std::uint64_t recordsStart = tailStart + *endPos;
    if (*endPos >= 20 && Get32(end - 20) == kLocator64Sig) {
        const std::uint64_t end64 = Get64(end - 20 + 8);
        unsigned char rec[56];
        const std::uint64_t locatorStart = tailStart + *endPos - 20;
        if (end64 > locatorStart || locatorStart - end64 < 56 || !ReadAt(file, end64, rec, sizeof rec) ||
            Get32(rec) != kEnd64Sig) {
            return Fail(archive, "damaged Zip64 end record");
        }
        if (Get32(rec + 16) != 0 || Get32(rec + 20) != 0 || Get64(rec + 24) != Get64(rec + 32)) {
            return Fail(archive, "spanned archives are not supported");
        }
        count = Get64(rec + 32);
        cdSize = Get64(rec + 40);
        cdOffset = Get64(rec + 48);
        recordsStart = end64;
        index.zip64 = true;
    }
    if (cdOffset > recordsStart || cdSize > recordsStart - cdOffset || cdSize > kMaxCentralDirectory ||
        count > cdSize / 46 + (cdSize == 0 ? 0 : 1)) {
        return Fail(archive, "damaged central directory");
    }
    if (count * 46 > cdSize) {
        return Fail(archive, "damaged central directory");
    }
    index.centralOffset = cdOffset;
    std::string cd(cdSize, '\0');
    if (cdSize && !ReadAt(file, cdOffset, cd.data(), cd.size())) {
        return SystemErrorText("Reading archive", archive.string(), errno ? errno : EIO);
    }
    const auto* c = reinterpret_cast<const unsigned char*>(cd.data());
    std::uint64_t pos = 0;
    index.entries.reserve(count);
    for (std::uint64_t n = 0; n < count; ++n) {
        if (pos + 46 > cdSize || Get32(c + pos) != kCentralSig) {
            return Fail(archive, "damaged central directory");
        }
        const unsigned char* h = c + pos;
        const std::uint64_t nameLen = Get16(h + 28);
        const std::uint64_t extraLen = Get16(h + 30);
        const std::uint64_t commentLen = Get16(h + 32);
        if (pos + 46 + nameLen + extraLen + commentLen > cdSize) {
            return Fail(archive, "damaged central directory");
        }
        ZipEntryInfo e;
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
        e.rawName.assign(reinterpret_cast<const char*>(h + 46), nameLen);
        e.extra.assign(reinterpret_cast<const char*>(h + 46 + nameLen), extraLen);
        // Zip64 extra field: only the fields whose 32-bit value is saturated, in order.
        const auto* x = reinterpret_cast<const unsigned char*>(e.extra.data());
        for (std::size_t p = 0; p + 4 <= e.extra.size();) {
            const std::uint16_t id = Get16(x + p);
            const std::uint16_t len = Get16(x + p + 2);
            if (p + 4 + len > e.extra.size()) {
                break;
            }
            if (id == 0x0001) {
                e.zip64 = true;
                std::size_t q = p + 4;
                const std::size_t qEnd = p + 4 + len;
                const auto take = [&](std::uint64_t& field) {
                    if (field != 0xFFFFFFFFull) {
                        return true;
                    }
                    if (q + 8 > qEnd) {
                        return false;
                    }
                    field = Get64(x + q);
                    q += 8;
                    return true;
                };
                if (!take(e.uncompressedSize) || !take(e.compressedSize) || !take(e.localHeaderOffset)) {
                    return Fail(archive, "damaged Zip64 extra field of entry " + std::to_string(n));
                }
            }
            p += 4u + len;
        }
        e.encrypted = (e.flags & 1) != 0;
        e.name = DecodeEntryName(e.rawName, (e.flags & 0x0800) != 0, e.extra, e.versionMadeBy >> 8);
        e.isDirectory = !e.name.empty() && (e.name.back() == '/' || e.name.back() == '\\');
        index.entries.push_back(std::move(e));
        pos += 46 + nameLen + extraLen + commentLen;
    }
    return {};
}

bool ReadAt(StdFile& file, std::uint64_t offset, void* data, std::size_t size)
{
    return file.Seek(offset) && file.ReadExact(data, size);
}

} // namespace velmora::archive
