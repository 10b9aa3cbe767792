#include "archive/ArchiveIo.h"

#include "common/DateTime.h"
#include "common/Errors.h"
#include "common/TemporaryNameTag.h"
#include "common/Utf8Path.h"
#include "platform/FileOpen.h"
#include "platform/FolderHandle.h"
#include "platform/WritePiece.h"

#include <cerrno>
#include <chrono>
#include <ctime>
#include <mutex>

namespace velmora::archive {

bool StdFile::Open(const std::filesystem::path& path, const char* mode)
{
    Close();
    m_file = OpenFile(path, mode);
    return m_file != nullptr;
}

bool StdFile::Close()
{
    if (!m_file) {
        return true;
    }
    const bool ok = std::fclose(m_file) == 0;
    m_file = nullptr;
    return ok;
}

std::size_t StdFile::Read(void* data, std::size_t size)
{
    std::size_t done = 0;
    auto* bytes = static_cast<unsigned char*>(data);
    while (done < size) {
        errno = 0;
        const std::size_t want = size - done;
        const std::size_t got = std::fread(bytes + done, 1, want, m_file);
        done += got;
        // fread stops short only at the end of the file or on an error: asking again would
        // cost one more read call for nothing.
        if (got < want) {
            if (std::ferror(m_file) && errno == EINTR) {
                std::clearerr(m_file);
                continue;
            }
            break;
        }
    }
    return done;
}

bool StdFile::Write(const void* data, std::size_t size)
{
    std::size_t done = 0;
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (done < size) {
        errno = 0;
        // A piece at a time: stdio hands a large buffer to one write call.
        const std::size_t want = size - done < kWritePiece ? size - done : kWritePiece;
        const std::size_t put = std::fwrite(bytes + done, 1, want, m_file);
        done += put;
        if (put == 0) {
            if (errno == EINTR) {
                std::clearerr(m_file);
                continue;
            }
            return false;
        }
    }
    return true;
}

bool StdFile::Seek(std::uint64_t offset)
{
    if (offset > static_cast<std::uint64_t>(INT64_MAX)) {
        errno = EINVAL;
        return false;
    }
#if defined(_WIN32)
    return _fseeki64(m_file, static_cast<long long>(offset), SEEK_SET) == 0; // long is 32 bits there
#else
    return fseeko(m_file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

std::optional<std::uint64_t> StdFile::Tell()
{
#if defined(_WIN32)
    const long long pos = _ftelli64(m_file);
#else
    const off_t pos = ftello(m_file);
#endif
    if (pos < 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(pos);
}

std::optional<std::uint64_t> StdFile::Size()
{
#if defined(_WIN32)
    if (_fseeki64(m_file, 0, SEEK_END) != 0) return std::nullopt;
#else
    if (fseeko(m_file, 0, SEEK_END) != 0) return std::nullopt;
#endif
    return Tell();
}

namespace {
// At most 200 bytes of a name, cut at a character boundary, so the temporary name stays
// within the file system's name length limit.
std::string ShortStem(std::string name)
{
    if (name.size() <= 200) {
        return name;
    }
    std::size_t cut = 200;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    name.resize(cut);
    return name;
}
} // namespace

std::filesystem::path TempNameBeside(const std::filesystem::path& destination)
{
    return destination.parent_path() /
           PathFromUtf8("." + ShortStem(Utf8FromPath(destination.filename())) + "." + TemporaryNameTag() + ".part");
}

bool OpenSource(const ZipSource& source, StdFile& file)
{
    if (!source.root) return file.Open(source.path, "rb");
    int error = 0;
    std::FILE* handle = OpenFileBeneath(source.root, source.beneath, error);
    if (!handle) {
        errno = error;
        return false;
    }
    file.Adopt(handle);
    return true;
}

std::filesystem::path CreateTempBeside(const std::filesystem::path& destination, StdFile& file)
{
    int lastError = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path candidate = TempNameBeside(destination);
        if (file.Open(candidate, "w+bx")) {
            return candidate;
        }
        lastError = errno;
        if (lastError != EEXIST) {
            break;
        }
    }
    throw ArchiveFailure(ErrorFromErrno(lastError, Utf8FromPath(destination), "Creating file"));
}

namespace {
std::mutex g_timeMutex; // std::localtime and std::mktime share static state
}

std::optional<std::uint32_t> UnixToDos(std::int64_t seconds)
{
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    // The reentrant forms read the time zone once; std::localtime looks at the zone file
    // again on every call, which costs a status call per archived file.
#if defined(_WIN32)
    if (localtime_s(&local, &t) != 0) {
        return std::nullopt;
    }
#else
    if (localtime_r(&t, &local) == nullptr) {
        return std::nullopt;
    }
#endif
    const int year = local.tm_year + 1900;
    if (year < 1980 || year > 2107) {
        return std::nullopt;
    }
    DateTimeParts parts{year, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, 0};
    return PackDosDateTime(parts);
}

std::uint32_t FileTimeToDos(std::filesystem::file_time_type time)
{
    const auto sys = std::chrono::file_clock::to_sys(time);
    const std::int64_t seconds = std::chrono::floor<std::chrono::seconds>(sys).time_since_epoch().count();
    if (auto dos = UnixToDos(seconds)) {
        return *dos;
    }
    // Before 1980 (or unrepresentable): the earliest MS-DOS moment; after 2107: the last one.
    return seconds < 315532800 ? 0x00210000u : 0xFF9FBF7Du;
}

std::optional<std::filesystem::file_time_type> DosToFileTime(std::uint32_t dos)
{
    const DateTimeParts parts = UnpackDosDateTime(dos);
    if (!IsValidDate(parts.year, parts.month, parts.day) || !IsValidTime(parts.hour, parts.minute, parts.second, 0)) {
        return std::nullopt;
    }
    // The local offset changes only at whole hours (daylight saving time, zone changes), so
    // one conversion per hour serves every entry of that hour: mktime looks at the zone
    // file on every call, which would cost a system call per entry.
    thread_local std::uint32_t cachedHour = 0;
    thread_local std::time_t cachedStart = 0;
    const std::uint32_t hour = dos >> 11; // date and hour
    if (hour != cachedHour || cachedHour == 0) {
        std::tm local{};
        local.tm_year = parts.year - 1900;
        local.tm_mon = parts.month - 1;
        local.tm_mday = parts.day;
        local.tm_hour = parts.hour;
        local.tm_isdst = -1;
        std::time_t start;
        {
            std::lock_guard lock(g_timeMutex);
            start = std::mktime(&local);
        }
        if (start == static_cast<std::time_t>(-1)) {
            return std::nullopt;
        }
        cachedHour = hour;
        cachedStart = start;
    }
    const std::time_t t = cachedStart + parts.minute * 60 + parts.second;
    const auto sys = std::chrono::system_clock::from_time_t(t);
    return std::chrono::file_clock::from_sys(sys);
}

} // namespace velmora::archive
