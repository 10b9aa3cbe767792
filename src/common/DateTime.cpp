#include "common/DateTime.h"

#include <cmath>

namespace velmora {

namespace {
constexpr std::int64_t kMsPerDay = 86'400'000;
// 1899-12-30 is 25569 days before 1970-01-01.
constexpr std::int64_t kEpochOffsetDays = 25'569;

bool IsLeap(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month)
{
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}
} // namespace

std::int64_t DaysFromCivil(int year, int month, int day)
{
    // Howard Hinnant's days_from_civil.
    const std::int64_t y = static_cast<std::int64_t>(year) - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t mp = (month + 9) % 12;
    const std::int64_t doy = (153 * mp + 2) / 5 + day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146'097 + doe - 719'468;
}

void CivilFromDays(std::int64_t days, int& year, int& month, int& day)
{
    days += 719'468;
    const std::int64_t era = (days >= 0 ? days : days - 146'096) / 146'097;
    const std::int64_t doe = days - era * 146'097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36'524 - doe / 146'096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

bool IsValidDate(int year, int month, int day)
{
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month);
}

bool IsValidTime(int hour, int minute, int second, int millisecond)
{
    return hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60 && millisecond >= 0 &&
           millisecond < 1000;
}

TDateTime EncodeDateTime(const DateTimeParts& p)
{
    const double days = static_cast<double>(DaysFromCivil(p.year, p.month, p.day) + kEpochOffsetDays);
    const double timeOfDay = static_cast<double>(((p.hour * 60 + p.minute) * 60 + p.second) * 1000 + p.millisecond) /
                             static_cast<double>(kMsPerDay);
    return days >= 0 ? days + timeOfDay : days - timeOfDay;
}

DateTimeParts DecodeDateTime(TDateTime value)
{
    double whole = std::trunc(value);
    std::int64_t ms = std::llround(std::fabs(value - whole) * static_cast<double>(kMsPerDay));
    if (ms >= kMsPerDay) {
        ms -= kMsPerDay;
        whole += value >= 0 ? 1 : -1;
    }
    DateTimeParts p;
    CivilFromDays(static_cast<std::int64_t>(whole) - kEpochOffsetDays, p.year, p.month, p.day);
    p.millisecond = static_cast<int>(ms % 1000);
    ms /= 1000;
    p.second = static_cast<int>(ms % 60);
    ms /= 60;
    p.minute = static_cast<int>(ms % 60);
    p.hour = static_cast<int>(ms / 60);
    return p;
}

bool IsMidnight(TDateTime value)
{
    const DateTimeParts p = DecodeDateTime(value);
    return p.hour == 0 && p.minute == 0 && p.second == 0 && p.millisecond == 0;
}

std::uint32_t PackDosDateTime(const DateTimeParts& p)
{
    if (p.year < 1980 || p.year > 2107 || !IsValidDate(p.year, p.month, p.day) ||
        !IsValidTime(p.hour, p.minute, p.second, 0)) {
        return 0;
    }
    const std::uint32_t date = static_cast<std::uint32_t>(((p.year - 1980) << 9) | (p.month << 5) | p.day);
    const std::uint32_t time = static_cast<std::uint32_t>((p.hour << 11) | (p.minute << 5) | (p.second / 2));
    return (date << 16) | time;
}

DateTimeParts UnpackDosDateTime(std::uint32_t packed)
{
    const std::uint32_t date = packed >> 16;
    const std::uint32_t time = packed & 0xFFFFu;
    DateTimeParts p;
    p.year = static_cast<int>((date >> 9) & 0x7F) + 1980;
    p.month = static_cast<int>((date >> 5) & 0x0F);
    p.day = static_cast<int>(date & 0x1F);
    p.hour = static_cast<int>((time >> 11) & 0x1F);
    p.minute = static_cast<int>((time >> 5) & 0x3F);
    p.second = static_cast<int>((time & 0x1F) * 2);
    p.millisecond = 0;
    return p;
}

std::uint16_t DosDatePart(std::uint32_t packed)
{
    return static_cast<std::uint16_t>(packed >> 16);
}
std::uint16_t DosTimePart(std::uint32_t packed)
{
    return static_cast<std::uint16_t>(packed & 0xFFFFu);
}

} // namespace velmora
