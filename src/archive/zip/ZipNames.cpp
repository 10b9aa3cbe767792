// Entry names: the stored encoding when writing, decoding and making them safe when reading.
#include "archive/zip/ZipNames.h"

#include "archive/ArchiveIo.h"
#include "common/CodePages.h"
#include "common/Utf.h"

#include <vector>

namespace velmora::archive {

std::optional<EncodedName> EncodeEntryName(std::string_view utf8Name)
{
    if (!IsValidUtf8(utf8Name)) {
        return std::nullopt;
    }
    EncodedName result;
    bool above127 = false;
    if (auto oem = EncodeCodePage(CodePage::Oem437, utf8Name)) {
        result.bytes = *oem;
        result.host = 0;
    } else if (auto ansi = EncodeCodePage(CodePage::Ansi1252, utf8Name)) {
        result.bytes = *ansi;
        result.host = 11;
    } else {
        return Utf8EntryName(utf8Name);
    }
    for (char c : result.bytes) {
        above127 = above127 || static_cast<unsigned char>(c) > 127;
    }
    if (above127) {
        std::string& extra = result.unicodeExtra;
        Put16(extra, 0x7075);
        Put16(extra, static_cast<std::uint16_t>(5 + utf8Name.size()));
        extra.push_back(1);
        Put32(extra, Crc32(0, result.bytes.data(), result.bytes.size()));
        extra.append(utf8Name);
    }
    return result;
}

EncodedName Utf8EntryName(std::string_view utf8Name)
{
    EncodedName result;
    result.bytes = std::string(utf8Name);
    result.utf8 = true;
    // Host 11: readers that convert MS-DOS names from the OEM code page (host 0) would
    // garble the UTF-8 bytes even with bit 11 set.
    result.host = 11;
    return result;
}

std::string DecodeEntryName(std::string_view stored, bool utf8Flag, std::string_view extra, unsigned hostSystem)
{
    if (utf8Flag && IsValidUtf8(stored)) {
        return std::string(stored);
    }
    // Look for a Unicode Path extra field that belongs to these exact bytes.
    std::size_t pos = 0;
    while (pos + 4 <= extra.size()) {
        const auto* p = reinterpret_cast<const unsigned char*>(extra.data() + pos);
        const std::uint16_t id = Get16(p);
        const std::uint16_t size = Get16(p + 2);
        if (pos + 4 + size > extra.size()) {
            break;
        }
        if (id == 0x7075 && size >= 5 && p[4] == 1 && Get32(p + 5) == Crc32(0, stored.data(), stored.size())) {
            std::string_view name(extra.data() + pos + 9, size - 5u);
            if (IsValidUtf8(name)) {
                return std::string(name);
            }
        }
        pos += 4u + size;
    }
    if ((hostSystem == 3 || hostSystem == 19) && IsValidUtf8(stored)) {
        return std::string(stored);
    }
    return DecodeCodePage(CodePage::Oem437, stored);
}

namespace {

bool IsDriveLetter(std::string_view name)
{
    return name.size() >= 2 && name[1] == ':' &&
           ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'));
}

// True when Windows takes the name for a device whatever folder it is in: CON, PRN, AUX,
// NUL, COM1-9, LPT1-9 (also with the superscript digits), CONIN$ and CONOUT$, in any letter
// case, alone or before an extension ("nul.txt"), blanks before the extension ignored.
bool IsWindowsDeviceName(std::string_view part)
{
    std::string base(part.substr(0, part.find('.')));
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    for (char& c : base)
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" || base == "CONOUT$") {
        return true;
    }
    if (base.size() < 4 || (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0)) return false;
    const std::string_view digit = std::string_view(base).substr(3);
    return (digit.size() == 1 && digit[0] >= '1' && digit[0] <= '9') || digit == "\xC2\xB9" || digit == "\xC2\xB2" ||
           digit == "\xC2\xB3";
}

// The checks of SafeRelativeName; reason says why a name is refused.
std::optional<std::string> CheckName(std::string_view name, bool& isDirectory, NameRules rules, std::string& reason)
{
    isDirectory = !name.empty() && (name.back() == '/' || name.back() == '\\');
    if (name.empty()) {
        reason = "the name is empty";
        return std::nullopt;
    }
    if (name.front() == '/' || name.front() == '\\') {
        reason = "absolute name";
        return std::nullopt;
    }
    const bool windows = rules == NameRules::Windows;
    if (windows && IsDriveLetter(name)) {
        reason = "absolute name (drive letter)";
        return std::nullopt;
    }
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= name.size(); ++i) {
        if (i < name.size()) {
            const unsigned char c = static_cast<unsigned char>(name[i]);
            if (c == 0) {
                reason = "the name holds a NUL character";
                return std::nullopt;
            }
            if (windows && (c < 0x20 || c == 0x7F)) {
                static const char kHex[] = "0123456789ABCDEF";
                reason = std::string("the control character 0x") + kHex[c >> 4] + kHex[c & 15] +
                         " is not allowed in names on Windows";
                return std::nullopt;
            }
            if (windows && std::string_view("<>:\"|?*").find(static_cast<char>(c)) != std::string_view::npos) {
                reason = std::string("the character '") + static_cast<char>(c) + "' is not allowed in names on Windows";
                return std::nullopt;
            }
            if (c != '/' && c != '\\') {
                continue;
            }
        }
        const std::string_view part = name.substr(start, i - start);
        start = i + 1;
        if (part.empty() || part == ".") {
            continue;
        }
        if (part == "..") {
            if (parts.empty()) {
                reason = "the name leaves the folder through '..'";
                return std::nullopt;
            }
            parts.pop_back();
            continue;
        }
        // Windows drops a part's trailing dots and blanks (so "a." would write "a") and opens
        // a device for a device name (so "nul" would take the data and keep nothing).
        if (windows && (part.back() == '.' || part.back() == ' ')) {
            reason = "'" + std::string(part) + "' ends in a dot or a blank, which Windows drops from names";
            return std::nullopt;
        }
        if (windows && IsWindowsDeviceName(part)) {
            reason = "'" + std::string(part) + "' is the name of a device on Windows";
            return std::nullopt;
        }
        parts.push_back(part);
    }
    if (parts.empty()) {
        reason = "the name is empty";
        return std::nullopt;
    }
    std::string result;
    for (std::string_view part : parts) {
        if (!result.empty()) {
            result.push_back('/');
        }
        result.append(part);
    }
    return result;
}

} // namespace

std::optional<std::string> SafeRelativeName(std::string_view name, bool& isDirectory, NameRules rules)
{
    std::string reason;
    return CheckName(name, isDirectory, rules, reason);
}

std::string UnsafeNameReason(std::string_view name, NameRules rules)
{
    std::string reason;
    bool isDirectory = false;
    CheckName(name, isDirectory, rules, reason);
    return reason;
}

namespace {
// The simple upper case of a code point in the blocks where Windows' names differ by case.
char32_t UpperCase(char32_t c)
{
    if (c < 0x80) return c >= 'a' && c <= 'z' ? c - 0x20 : c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
    if (c == 0xFF) return 0x178;
    if (c >= 0x100 && c <= 0x17F) {
        // Pairs upper/lower, on even code points up to U+0137 and from U+014A, on odd ones
        // between; the dotless i, kra and long s stay.
        if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
        const bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (oddUpper) return (c % 2 == 0) ? c - 1 : c;
        return (c % 2 == 1) ? c - 1 : c;
    }
    if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) return c - 0x20; // Greek small letters
    if (c == 0x3C2) return 0x3A3;                                // final sigma
    if (c == 0x3AC) return 0x386;
    if (c >= 0x3AD && c <= 0x3AF) return c - 0x25;
    if (c == 0x3CC) return 0x38C;
    if (c == 0x3CD || c == 0x3CE) return c - 0x3F;
    if (c >= 0x430 && c <= 0x44F) return c - 0x20; // Cyrillic
    if (c >= 0x450 && c <= 0x45F) return c - 0x50;
    if (((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F)) && c % 2 == 1)
        return c - 1;
    if (c >= 0x4C1 && c <= 0x4CE && c % 2 == 0) return c - 1;
    if (c == 0x4CF) return 0x4C0;
    if (c >= 0xFF41 && c <= 0xFF5A) return c - 0x20; // full-width Latin
    return c;
}
} // namespace

std::string ClashKey(std::string_view path, NameRules rules)
{
    if (rules == NameRules::Posix) return std::string(path);
    const std::optional<std::u32string> points = DecodeUtf8(path);
    if (!points) return std::string(path);
    std::string key;
    key.reserve(path.size());
    for (const char32_t c : *points)
        AppendUtf8(key, UpperCase(c));
    return key;
}

} // namespace velmora::archive
