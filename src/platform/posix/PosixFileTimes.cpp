#include "platform/posix/PosixFileTimes.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>

namespace velmora {

namespace {
std::optional<TDateTime> StatxTime(const std::string& path, bool modification)
{
    struct statx sx {};
    const unsigned mask = modification ? STATX_MTIME : STATX_ATIME;
    if (path.empty() || statx(AT_FDCWD, path.c_str(), 0, mask, &sx) != 0 || (sx.stx_mask & mask) == 0) {
        return std::nullopt;
    }
    const struct statx_timestamp& t = modification ? sx.stx_mtime : sx.stx_atime;
    return LocalFromUnix(t.tv_sec, t.tv_nsec);
}

Result<void> SetTimes(const std::string& path, TDateTime local, bool access)
{
    const char* detail = access ? kSetTimesFailed : kSetModificationTimeFailed;
    std::int64_t seconds = 0;
    std::uint32_t nanoseconds = 0;
    if (!UnixFromLocal(local, seconds, nanoseconds)) {
        return Fail(ErrorFromErrno(EINVAL, path, detail));
    }
    struct timespec times[2]{};
    times[1].tv_sec = static_cast<time_t>(seconds);
    times[1].tv_nsec = static_cast<long>(nanoseconds);
    if (access) {
        times[0] = times[1];
    } else {
        times[0].tv_nsec = UTIME_OMIT;
    }
    if (path.empty() || utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) {
        return Fail(ErrorFromErrno(path.empty() ? ENOENT : errno, path, detail));
    }
    return Ok();
}
} // namespace

TDateTime LocalFromUnix(std::int64_t seconds, std::uint32_t nanoseconds)
{
    const time_t t = static_cast<time_t>(seconds);
    struct tm tm {};
    localtime_r(&t, &tm);
    DateTimeParts p;
    p.year = tm.tm_year + 1900;
    p.month = tm.tm_mon + 1;
    p.day = tm.tm_mday;
    p.hour = tm.tm_hour;
    p.minute = tm.tm_min;
    p.second = tm.tm_sec > 59 ? 59 : tm.tm_sec;
    p.millisecond = static_cast<int>(nanoseconds / 1'000'000u);
    return EncodeDateTime(p);
}

bool UnixFromLocal(TDateTime local, std::int64_t& seconds, std::uint32_t& nanoseconds)
{
    const DateTimeParts p = DecodeDateTime(local);
    struct tm tm {};
    tm.tm_year = p.year - 1900;
    tm.tm_mon = p.month - 1;
    tm.tm_mday = p.day;
    tm.tm_hour = p.hour;
    tm.tm_min = p.minute;
    tm.tm_sec = p.second;
    tm.tm_isdst = -1;
    errno = 0;
    const time_t t = mktime(&tm);
    if (t == static_cast<time_t>(-1) && errno != 0) {
        return false;
    }
    seconds = static_cast<std::int64_t>(t);
    nanoseconds = static_cast<std::uint32_t>(p.millisecond) * 1'000'000u;
    return true;
}

std::optional<TDateTime> PosixFileTimes::ModificationTime(const std::string& path)
{
    return StatxTime(path, true);
}

std::optional<TDateTime> PosixFileTimes::LastAccessTime(const std::string& path)
{
    return StatxTime(path, false);
}

Result<void> PosixFileTimes::SetModificationTime(const std::string& path, TDateTime local)
{
    return SetTimes(path, local, false);
}

Result<void> PosixFileTimes::SetAccessAndModificationTime(const std::string& path, TDateTime local)
{
    return SetTimes(path, local, true);
}

TDateTime PosixFileTimes::Now()
{
    struct timespec ts {};
    clock_gettime(CLOCK_REALTIME, &ts);
    return LocalFromUnix(ts.tv_sec, static_cast<std::uint32_t>(ts.tv_nsec));
}

} // namespace velmora
