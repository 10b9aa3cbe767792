#pragma once
// Small building blocks of the archive code: little-endian fields, files that close
// themselves, temporary names beside a destination, and MS-DOS time conversion.
#include "archive/ArchiveCommon.h"
#include "archive/codecs/DeflateCodec.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <zlib.h>

namespace velmora::archive {

// Record signatures of the ZIP container.
inline constexpr std::uint32_t kLocalSig = 0x04034b50;
inline constexpr std::uint32_t kCentralSig = 0x02014b50;
inline constexpr std::uint32_t kEndSig = 0x06054b50;
inline constexpr std::uint32_t kEnd64Sig = 0x06064b50;
inline constexpr std::uint32_t kLocator64Sig = 0x07064b50;
inline constexpr std::uint32_t kDescriptorSig = 0x08074b50;

inline void Put16(std::string& out, std::uint16_t v)
{
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}
inline void Put32(std::string& out, std::uint32_t v)
{
    Put16(out, static_cast<std::uint16_t>(v & 0xFFFF));
    Put16(out, static_cast<std::uint16_t>(v >> 16));
}
inline void Put64(std::string& out, std::uint64_t v)
{
    Put32(out, static_cast<std::uint32_t>(v & 0xFFFFFFFFu));
    Put32(out, static_cast<std::uint32_t>(v >> 32));
}
inline std::uint16_t Get16(const unsigned char* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t Get32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t Get64(const unsigned char* p)
{
    return static_cast<std::uint64_t>(Get32(p)) | (static_cast<std::uint64_t>(Get32(p + 4)) << 32);
}

// A stdio file that closes itself; reads and writes report errno on failure.
class StdFile {
public:
    StdFile() = default;
    ~StdFile() { Close(); }
    StdFile(const StdFile&) = delete;
    StdFile& operator=(const StdFile&) = delete;
    StdFile(StdFile&& other) noexcept : m_file(other.m_file) { other.m_file = nullptr; }

    // mode as for fopen; returns false with errno set.
    bool Open(const std::filesystem::path& path, const char* mode);
    // Takes over an open stream (closed by this object).
    void Adopt(std::FILE* file)
    {
        Close();
        m_file = file;
    }
    bool IsOpen() const { return m_file != nullptr; }
    // Closes and returns false when flushing failed (errno set).
    bool Close();
    // Reads up to size bytes; returns the count (short only at end of file or on error).
    std::size_t Read(void* data, std::size_t size);
    bool ReadExact(void* data, std::size_t size) { return Read(data, size) == size; }
    bool Write(const void* data, std::size_t size);
    bool Seek(std::uint64_t offset);
    std::optional<std::uint64_t> Tell();
    // The file's length (moves the position to the end).
    std::optional<std::uint64_t> Size();
    bool Error() const { return m_file && std::ferror(m_file); }
    std::FILE* Handle() { return m_file; }

private:
    std::FILE* m_file = nullptr;
};

// Opens a source's data for reading: below its held root folder, never through a link,
// when the walk gave it one; else by its path. False with errno set.
bool OpenSource(const ZipSource& source, StdFile& file);

// Creates a new, empty file beside destination under a hidden, unique name and opens it
// for writing ("w+b"). Returns the path; throws ArchiveFailure on failure.
std::filesystem::path CreateTempBeside(const std::filesystem::path& destination, StdFile& file);
// A hidden name beside destination for a temporary file (random, so unlikely to exist).
std::filesystem::path TempNameBeside(const std::filesystem::path& destination);

// The file's last-write time as an MS-DOS value in local time (dates before 1980
// become 1980-01-01 00:00, after 2107 the last representable moment).
std::uint32_t FileTimeToDos(std::filesystem::file_time_type time);
// A local MS-DOS value back to a file time; nullopt for an invalid date.
std::optional<std::filesystem::file_time_type> DosToFileTime(std::uint32_t dos);
// Seconds since 1970 UTC to a local MS-DOS value; nullopt outside 1980..2107.
std::optional<std::uint32_t> UnixToDos(std::int64_t seconds);

// A raw-deflate inflate stream that ends itself.
class RawInflateStream {
public:
    RawInflateStream()
    {
        if (inflateInit2(&m_stream, -15) != Z_OK) throw std::bad_alloc();
    }
    ~RawInflateStream() { inflateEnd(&m_stream); }
    RawInflateStream(const RawInflateStream&) = delete;
    RawInflateStream& operator=(const RawInflateStream&) = delete;
    z_stream& Stream() { return m_stream; }

private:
    z_stream m_stream{};
};

} // namespace velmora::archive
