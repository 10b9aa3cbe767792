#include "platform/win32/Win32LocaleFormats.h"

#include "platform/win32/WinText.h"

#include <windows.h>

namespace velmora {

namespace {
std::string Info(LCTYPE type)
{
    wchar_t buffer[128] = {};
    const int n = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, buffer, static_cast<int>(std::size(buffer)));
    if (n <= 1) {
        return {};
    }
    std::wstring text(buffer, static_cast<std::size_t>(n - 1));
    // Narrow and ordinary no-break spaces become plain blanks, so a user can type the text.
    for (wchar_t& c : text) {
        if (c == 0x202F || c == 0x00A0) {
            c = L' ';
        }
    }
    return win32::Narrow(text);
}

// A Windows date or time picture in the program's pattern letters: the am/pm marker "t"
// or "tt" becomes "AP" (a "t" of ours is a time zone); the era "g" is left out.
std::string FromWindowsPicture(const std::string& picture)
{
    std::string pattern;
    bool quoted = false;
    for (std::size_t i = 0; i < picture.size(); ++i) {
        const char c = picture[i];
        if (c == '\'') {
            quoted = !quoted;
            pattern += c;
        } else if (quoted) {
            pattern += c;
        } else if (c == 't') {
            while (i + 1 < picture.size() && picture[i + 1] == 't') {
                ++i;
            }
            pattern += "AP";
        } else if (c == 'g') {
            while (i + 1 < picture.size() && picture[i + 1] == 'g') {
                ++i;
            }
        } else {
            pattern += c;
        }
    }
    return pattern;
}
} // namespace

LocaleFormats Win32LocaleFormats::Formats()
{
    LocaleFormats f;
    if (const std::string date = Info(LOCALE_SSHORTDATE); !date.empty()) {
        f.shortDatePattern = NormalizedPattern(FromWindowsPicture(date));
    }
    if (const std::string time = Info(LOCALE_STIMEFORMAT); !time.empty()) {
        f.longTimePattern = NormalizedPattern(FromWindowsPicture(time));
    }
    const std::string decimal = Info(LOCALE_SDECIMAL);
    if (decimal.size() == 1 && static_cast<unsigned char>(decimal[0]) < 0x80) {
        f.decimalSeparator = decimal[0];
    }
    if (std::string am = Info(LOCALE_S1159); !am.empty()) {
        f.amText = am;
    }
    if (std::string pm = Info(LOCALE_S2359); !pm.empty()) {
        f.pmText = pm;
    }
    for (int i = 0; i < 12; ++i) {
        if (std::string name = Info(LOCALE_SABBREVMONTHNAME1 + static_cast<LCTYPE>(i)); !name.empty()) {
            f.shortMonthNames[static_cast<std::size_t>(i)] = name;
        }
        if (std::string name = Info(LOCALE_SMONTHNAME1 + static_cast<LCTYPE>(i)); !name.empty()) {
            f.longMonthNames[static_cast<std::size_t>(i)] = name;
        }
    }
    // Windows counts Monday as day 1 and Sunday as day 7; the table starts with Sunday.
    for (int i = 0; i < 7; ++i) {
        const LCTYPE day = static_cast<LCTYPE>(i == 0 ? 6 : i - 1);
        if (std::string name = Info(LOCALE_SABBREVDAYNAME1 + day); !name.empty()) {
            f.shortDayNames[static_cast<std::size_t>(i)] = name;
        }
        if (std::string name = Info(LOCALE_SDAYNAME1 + day); !name.empty()) {
            f.longDayNames[static_cast<std::size_t>(i)] = name;
        }
    }
    return f;
}

} // namespace velmora
