#include "common/DateTimeText.h"

#include "common/AsciiText.h"

#include <cctype>
#include <cstdint>
#include <vector>

namespace velmora {

namespace {

// One element of a pattern: a field (a run of one letter) or literal text.
struct PatternItem {
    char letter = 0; // 0 for literal text; 'A' for an am/pm marker
    int count = 0;
    bool lowerMarker = false;
    std::string literal;
};

bool IsFieldLetter(char c)
{
    return c == 'd' || c == 'M' || c == 'y' || c == 'h' || c == 'H' || c == 'm' || c == 's' || c == 'z' || c == 't';
}

std::vector<PatternItem> SplitPattern(std::string_view pattern)
{
    std::vector<PatternItem> items;
    auto addLiteral = [&items](std::string_view text) {
        if (text.empty()) {
            return;
        }
        if (items.empty() || items.back().letter != 0) {
            items.push_back({});
        }
        items.back().literal += text;
    };
    std::size_t i = 0;
    while (i < pattern.size()) {
        const char c = pattern[i];
        if (c == '\'') {
            // Quoted literal text; '' stands for one quote.
            if (i + 1 < pattern.size() && pattern[i + 1] == '\'') {
                addLiteral("'");
                i += 2;
                continue;
            }
            std::size_t j = i + 1;
            std::string text;
            while (j < pattern.size()) {
                if (pattern[j] == '\'') {
                    if (j + 1 < pattern.size() && pattern[j + 1] == '\'') {
                        text += '\'';
                        j += 2;
                        continue;
                    }
                    break;
                }
                text += pattern[j++];
            }
            addLiteral(text);
            i = j + 1;
        } else if (c == 'A' || c == 'a') {
            PatternItem item;
            item.letter = 'A';
            item.lowerMarker = c == 'a';
            const bool twoLetters = i + 1 < pattern.size() && (pattern[i + 1] == 'P' || pattern[i + 1] == 'p');
            i += twoLetters ? 2 : 1;
            items.push_back(item);
        } else if (IsFieldLetter(c)) {
            std::size_t j = i;
            while (j < pattern.size() && pattern[j] == c) {
                ++j;
            }
            PatternItem item;
            item.letter = c;
            item.count = static_cast<int>(j - i);
            items.push_back(item);
            i = j;
        } else {
            addLiteral(std::string_view(&pattern[i], 1));
            ++i;
        }
    }
    return items;
}

bool HasMarker(const std::vector<PatternItem>& items)
{
    for (const PatternItem& item : items) {
        if (item.letter == 'A') {
            return true;
        }
    }
    return false;
}

std::string Padded(int value, int width)
{
    std::string text = std::to_string(value < 0 ? -value : value);
    if (static_cast<int>(text.size()) < width) {
        text.insert(0, static_cast<std::size_t>(width) - text.size(), '0');
    }
    return value < 0 ? "-" + text : text;
}

int WeekDay(const DateTimeParts& p)
{
    // 1970-01-01 was a Thursday.
    const std::int64_t days = DaysFromCivil(p.year, p.month, p.day);
    return static_cast<int>(((days % 7) + 7 + 4) % 7);
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// An empty prefix never matches: a locale without a name must not match every text.
bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    return !prefix.empty() && text.size() >= prefix.size() &&
           EqualsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

// What a parse has found so far.
struct ParsedFields {
    int year = -1;
    int month = -1;
    int day = -1;
    int hour = -1;
    int minute = -1;
    int second = 0;
    int millisecond = 0;
    int marker = 0; // 0 none, 1 am, 2 pm
};

class PatternParser {
public:
    PatternParser(std::string_view text, const LocaleFormats& formats) : m_text(text), m_formats(formats) {}

    // Matches the pattern from the current position; false leaves the position undefined.
    bool Match(const std::vector<PatternItem>& items, ParsedFields& fields, bool timeFieldsOptional)
    {
        for (std::size_t i = 0; i < items.size(); ++i) {
            const PatternItem& item = items[i];
            if (timeFieldsOptional && AtEnd() && RestIsOptional(items, i)) {
                return true;
            }
            if (item.letter == 0) {
                const std::size_t before = m_pos;
                if (MatchLiteral(item.literal)) {
                    continue;
                }
                if (timeFieldsOptional && i + 1 < items.size() && items[i + 1].letter == 's') {
                    // The seconds (and their milliseconds) may be left out before other text.
                    m_pos = before;
                    i += 1;
                    if (i + 2 < items.size() && items[i + 1].letter == 0 && items[i + 2].letter == 'z') {
                        i += 2;
                    }
                    continue;
                }
                return false;
            }
            SkipBlanks();
            switch (item.letter) {
            case 't':
                break; // the time zone is never part of a value
            case 'A':
                if (!MatchMarker(fields)) {
                    // The marker may be left out; the hour is then taken as written.
                    continue;
                }
                break;
            case 'd':
                if (item.count >= 3) {
                    if (!MatchName(m_formats.longDayNames) && !MatchName(m_formats.shortDayNames)) {
                        return false;
                    }
                } else if (!ReadNumber(2, fields.day)) {
                    return false;
                }
                break;
            case 'M':
                if (item.count >= 3) {
                    int index = MatchName(m_formats.longMonthNames);
                    if (index == 0) {
                        index = MatchName(m_formats.shortMonthNames);
                    }
                    if (index == 0) {
                        return false;
                    }
                    fields.month = index;
                } else if (!ReadNumber(2, fields.month)) {
                    return false;
                }
                break;
            case 'y': {
                const std::size_t start = m_pos;
                if (!ReadNumber(4, fields.year)) {
                    return false;
                }
                if (m_pos - start <= 2) {
                    // Two-digit years: 00-49 this century, 50-99 the last one.
                    fields.year += fields.year < 50 ? 2000 : 1900;
                }
                break;
            }
            case 'h':
            case 'H':
                if (!ReadNumber(2, fields.hour)) {
                    return false;
                }
                break;
            case 'm':
                if (!ReadNumber(2, fields.minute)) {
                    return false;
                }
                break;
            case 's':
                if (!ReadNumber(2, fields.second)) {
                    return false;
                }
                break;
            case 'z': {
                const std::size_t start = m_pos;
                if (!ReadNumber(3, fields.millisecond)) {
                    return false;
                }
                for (std::size_t n = m_pos - start; n < 3; ++n) {
                    fields.millisecond *= 10;
                }
                break;
            }
            default:
                return false;
            }
        }
        return true;
    }

    void SkipBlanks()
    {
        while (!AtEnd() && IsBlank(m_text[m_pos])) {
            ++m_pos;
        }
    }
    bool AtEnd() const { return m_pos >= m_text.size(); }
    std::size_t Position() const { return m_pos; }
    void SetPosition(std::size_t pos) { m_pos = pos; }

private:
    static bool RestIsOptional(const std::vector<PatternItem>& items, std::size_t from)
    {
        for (std::size_t i = from; i < items.size(); ++i) {
            const char letter = items[i].letter;
            if (letter != 0 && letter != 's' && letter != 'z' && letter != 't' && letter != 'A') {
                return false;
            }
        }
        return true;
    }

    bool MatchLiteral(std::string_view literal)
    {
        for (char c : literal) {
            if (IsBlank(c)) {
                SkipBlanks();
                continue;
            }
            SkipBlanks();
            if (AtEnd() || m_text[m_pos] != c) {
                return false;
            }
            ++m_pos;
        }
        return true;
    }

    bool ReadNumber(int maxDigits, int& value)
    {
        int digits = 0;
        int result = 0;
        while (!AtEnd() && digits < maxDigits && std::isdigit(static_cast<unsigned char>(m_text[m_pos]))) {
            result = result * 10 + (m_text[m_pos] - '0');
            ++m_pos;
            ++digits;
        }
        if (digits == 0) {
            return false;
        }
        value = result;
        return true;
    }

    template <std::size_t N> int MatchName(const std::array<std::string, N>& names)
    {
        // The longest matching name wins ("June" over "Jun").
        int best = 0;
        std::size_t bestLength = 0;
        for (std::size_t i = 0; i < N; ++i) {
            if (names[i].size() > bestLength && StartsWithNoCase(m_text.substr(m_pos), names[i])) {
                best = static_cast<int>(i) + 1;
                bestLength = names[i].size();
            }
        }
        m_pos += bestLength;
        if (best != 0 && !AtEnd() && m_text[m_pos] == '.') {
            // An abbreviation may carry its dot.
            ++m_pos;
        }
        return best;
    }

    bool MatchMarker(ParsedFields& fields)
    {
        const std::string_view rest = m_text.substr(m_pos);
        const std::pair<std::string_view, int> candidates[] = {
            {m_formats.amText, 1}, {m_formats.pmText, 2}, {"AM", 1}, {"PM", 2}};
        for (const auto& [name, marker] : candidates) {
            if (StartsWithNoCase(rest, name)) {
                m_pos += name.size();
                fields.marker = marker;
                return true;
            }
        }
        return false;
    }

    std::string_view m_text;
    const LocaleFormats& m_formats;
    std::size_t m_pos = 0;
};

std::optional<TDateTime> Build(const ParsedFields& f, bool hasDate, bool hasTime)
{
    DateTimeParts p;
    if (hasDate) {
        if (!IsValidDate(f.year, f.month, f.day)) {
            return std::nullopt;
        }
        p.year = f.year;
        p.month = f.month;
        p.day = f.day;
    }
    if (hasTime) {
        int hour = f.hour;
        if (f.marker != 0) {
            if (hour < 1 || hour > 12) {
                return std::nullopt;
            }
            hour = hour % 12 + (f.marker == 2 ? 12 : 0);
        }
        if (!IsValidTime(hour, f.minute, f.second, f.millisecond)) {
            return std::nullopt;
        }
        p.hour = hour;
        p.minute = f.minute;
        p.second = f.second;
        p.millisecond = f.millisecond;
    }
    return EncodeDateTime(p);
}

} // namespace

LocaleFormats GermanStyleFormats()
{
    LocaleFormats f;
    f.shortDatePattern = "dd.MM.yyyy";
    f.longTimePattern = "HH:mm:ss";
    f.decimalSeparator = ',';
    f.shortMonthNames = {"Jan", "Feb", "Mär", "Apr", "Mai", "Jun", "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"};
    f.longMonthNames = {"Januar", "Februar", "März",      "April",   "Mai",      "Juni",
                        "Juli",   "August",  "September", "Oktober", "November", "Dezember"};
    f.shortDayNames = {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"};
    f.longDayNames = {"Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag"};
    return f;
}

LocaleFormats IsoStyleFormats()
{
    LocaleFormats f;
    f.shortDatePattern = "yyyy-MM-dd";
    f.longTimePattern = "HH:mm:ss";
    f.decimalSeparator = '.';
    return f;
}

std::string NormalizedPattern(std::string_view pattern)
{
    std::string out;
    std::size_t i = 0;
    while (i < pattern.size()) {
        const char c = pattern[i];
        if (c == '\'') {
            // Copy quoted text unchanged.
            std::size_t j = i + 1;
            while (j < pattern.size() && pattern[j] != '\'') {
                ++j;
            }
            out.append(pattern.substr(i, j + 1 - i));
            i = j + 1;
            continue;
        }
        std::size_t j = i;
        while (j < pattern.size() && pattern[j] == c) {
            ++j;
        }
        const std::size_t run = j - i;
        if (c == 'y' && run < 4) {
            out += "yyyy";
        } else if (c == 't') {
            while (!out.empty() && IsBlank(out.back())) {
                out.pop_back();
            }
        } else {
            out.append(pattern.substr(i, run));
        }
        i = j;
    }
    return std::string(TrimBlanks(out));
}

std::string FormatWithPattern(const DateTimeParts& p, std::string_view pattern, const LocaleFormats& formats)
{
    const std::vector<PatternItem> items = SplitPattern(pattern);
    const bool twelveHours = HasMarker(items);
    std::string out;
    for (const PatternItem& item : items) {
        switch (item.letter) {
        case 0:
            out += item.literal;
            break;
        case 'A': {
            std::string marker = p.hour < 12 ? formats.amText : formats.pmText;
            if (item.lowerMarker) {
                for (char& c : marker) {
                    c = AsciiLower(c);
                }
            }
            out += marker;
            break;
        }
        case 'd':
            if (item.count == 1 || item.count == 2) {
                out += Padded(p.day, item.count);
            } else {
                const int weekDay = WeekDay(p);
                out += item.count == 3 ? formats.shortDayNames[static_cast<std::size_t>(weekDay)]
                                       : formats.longDayNames[static_cast<std::size_t>(weekDay)];
            }
            break;
        case 'M':
            if (item.count <= 2) {
                out += Padded(p.month, item.count);
            } else {
                const auto index = static_cast<std::size_t>(p.month - 1);
                out += item.count == 3 ? formats.shortMonthNames[index] : formats.longMonthNames[index];
            }
            break;
        case 'y':
            out += item.count == 2 ? Padded(p.year % 100, 2) : Padded(p.year, 4);
            break;
        case 'h':
        case 'H': {
            int hour = p.hour;
            if (item.letter == 'h' && twelveHours) {
                hour = hour % 12 == 0 ? 12 : hour % 12;
            }
            out += Padded(hour, item.count >= 2 ? 2 : 1);
            break;
        }
        case 'm':
            out += Padded(p.minute, item.count >= 2 ? 2 : 1);
            break;
        case 's':
            out += Padded(p.second, item.count >= 2 ? 2 : 1);
            break;
        case 'z':
            out += item.count >= 3 ? Padded(p.millisecond, 3) : std::to_string(p.millisecond);
            break;
        default:
            break; // no time zone in a local value
        }
    }
    return std::string(TrimBlanks(out));
}

std::string FormatDateText(TDateTime value, const LocaleFormats& formats)
{
    return FormatWithPattern(DecodeDateTime(value), formats.shortDatePattern, formats);
}

std::string FormatTimeText(TDateTime value, const LocaleFormats& formats)
{
    return FormatWithPattern(DecodeDateTime(value), formats.longTimePattern, formats);
}

std::string FormatDateTimeText(TDateTime value, const LocaleFormats& formats)
{
    const DateTimeParts parts = DecodeDateTime(value);
    std::string text = FormatWithPattern(parts, formats.shortDatePattern, formats);
    if (!IsMidnight(value)) {
        text += ' ';
        text += FormatWithPattern(parts, formats.longTimePattern, formats);
    }
    return text;
}

std::optional<TDateTime> ParseDateTimeText(std::string_view text, const LocaleFormats& formats)
{
    text = TrimBlanks(text);
    if (text.empty()) {
        return std::nullopt;
    }
    const std::vector<PatternItem> datePattern = SplitPattern(formats.shortDatePattern);
    const std::vector<PatternItem> timePattern = SplitPattern(formats.longTimePattern);

    // A date, then either nothing or a blank and a time.
    {
        PatternParser parser(text, formats);
        ParsedFields fields;
        if (parser.Match(datePattern, fields, false)) {
            if (parser.AtEnd()) {
                return Build(fields, true, false);
            }
            const std::size_t afterDate = parser.Position();
            parser.SkipBlanks();
            if (parser.Position() > afterDate && parser.Match(timePattern, fields, true)) {
                parser.SkipBlanks();
                if (parser.AtEnd()) {
                    return Build(fields, true, true);
                }
            }
        }
    }
    // A time alone.
    {
        PatternParser parser(text, formats);
        ParsedFields fields;
        if (parser.Match(timePattern, fields, true)) {
            parser.SkipBlanks();
            if (parser.AtEnd()) {
                return Build(fields, false, true);
            }
        }
    }
    return std::nullopt;
}

} // namespace velmora
