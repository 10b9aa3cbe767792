#pragma once
// Date-time texts in the user's locale: the short date, a blank and the long time
// (the date alone at exactly midnight), and the parsing of such texts.
#include "common/DateTime.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// The parts of a locale the texts need. Patterns use these letters: d dd ddd dddd (day,
// weekday names), M MM MMM MMMM (month, month names), yy yyyy, h hh (12 hours with AP/ap,
// else 24), H HH, m mm, s ss, z zzz (milliseconds), AP ap A a (the am/pm text); text in
// single quotes is literal ('' is one quote); every other character stands for itself.
struct LocaleFormats {
    std::string shortDatePattern = "dd.MM.yyyy";
    std::string longTimePattern = "HH:mm:ss";
    char decimalSeparator = '.';
    std::string amText = "AM";
    std::string pmText = "PM";
    std::array<std::string, 12> shortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::array<std::string, 12> longMonthNames{"January", "February", "March",     "April",   "May",      "June",
                                               "July",    "August",   "September", "October", "November", "December"};
    // Sunday first.
    std::array<std::string, 7> shortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    std::array<std::string, 7> longDayNames{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                            "Thursday", "Friday", "Saturday"};
};

// A fixed set of formats for tests and tools that need a known form: German style dates
// ("30.12.1899"), 24-hour times ("14:03:26"), decimal comma.
LocaleFormats GermanStyleFormats();
// ISO style: "1899-12-30" and "14:03:26", decimal point.
LocaleFormats IsoStyleFormats();

// Makes a pattern the program can show and read back without loss: a two-digit year
// becomes four digits (so 1899 and 1999 stay apart) and a time-zone field is removed
// together with the blanks before it (the values are local times without a zone).
std::string NormalizedPattern(std::string_view pattern);

// Writes the parts with one pattern.
std::string FormatWithPattern(const DateTimeParts& parts, std::string_view pattern, const LocaleFormats& formats);

std::string FormatDateText(TDateTime value, const LocaleFormats& formats);
std::string FormatTimeText(TDateTime value, const LocaleFormats& formats);
// Short date, a blank and the long time; only the short date at exactly midnight.
std::string FormatDateTimeText(TDateTime value, const LocaleFormats& formats);

// Reads a date and a time, a date alone (midnight) or a time alone (on 1899-12-30) in
// the order the locale's patterns give. Leading and trailing blanks are ignored.
// Nothing when the text is not a valid date-time.
std::optional<TDateTime> ParseDateTimeText(std::string_view text, const LocaleFormats& formats);

} // namespace velmora
