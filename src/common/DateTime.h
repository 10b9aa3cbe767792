#pragma once
// Local date-time values as the program keeps them, and the packed MS-DOS form
// through which every written date and the shown last-access time pass.
#include <cstdint>

namespace velmora {

// Days since 1899-12-30 00:00; the fraction is the time of day.
// For negative values the fraction still counts forward from midnight.
using TDateTime = double;

struct DateTimeParts {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;

    friend bool operator==(const DateTimeParts&, const DateTimeParts&) = default;
};

bool IsValidDate(int year, int month, int day);
bool IsValidTime(int hour, int minute, int second, int millisecond);

TDateTime EncodeDateTime(const DateTimeParts& parts);
DateTimeParts DecodeDateTime(TDateTime value);

// True when the value's time of day is exactly midnight (to the millisecond).
bool IsMidnight(TDateTime value);

// Packs into the 32-bit MS-DOS value (date in the high word, time in the low word,
// seconds halved and rounded down). Years outside 1980..2107 give 0.
std::uint32_t PackDosDateTime(const DateTimeParts& parts);
DateTimeParts UnpackDosDateTime(std::uint32_t packed);

std::uint16_t DosDatePart(std::uint32_t packed);
std::uint16_t DosTimePart(std::uint32_t packed);

// Days since 1970-01-01 for a proleptic Gregorian date, and back.
std::int64_t DaysFromCivil(int year, int month, int day);
void CivilFromDays(std::int64_t days, int& year, int& month, int& day);

} // namespace velmora
