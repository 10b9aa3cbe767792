#pragma once
// Entry names: choosing the stored encoding when writing, decoding and making them safe
// when reading.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::archive {

struct EncodedName {
    std::string bytes;        // as stored
    bool utf8 = false;        // general-purpose bit 11
    std::uint8_t host = 0;    // 0 MS-DOS (CP437), 11 NTFS (Windows-1252)
    std::string unicodeExtra; // the 0x7075 extra field (header included), or empty
};

// CP437 when every character fits, else Windows-1252 (host 11), else UTF-8 (bit 11,
// host 11). nullopt when the name is not valid UTF-8.
std::optional<EncodedName> EncodeEntryName(std::string_view utf8Name);

// The name in UTF-8 with bit 11 and host 11, without a Unicode Path field.
EncodedName Utf8EntryName(std::string_view utf8Name);

// The entry's name as UTF-8: UTF-8 when bit 11 is set, else the Unicode Path extra field
// when its CRC matches the stored bytes, else CP437 -- except that archives made on Unix
// (host 3) or macOS (host 19) store the system's own name bytes, which are UTF-8 there.
std::string DecodeEntryName(std::string_view stored, bool utf8Flag, std::string_view extra, unsigned hostSystem);

// Whose file names an entry name must make: on Linux (and other POSIX systems) any byte
// but "/" and NUL may be in a name; Windows also refuses a drive letter, control
// characters and < > : " | ? *.
enum class NameRules { Posix, Windows };
#ifdef _WIN32
inline constexpr NameRules kHostNameRules = NameRules::Windows;
#else
inline constexpr NameRules kHostNameRules = NameRules::Posix;
#endif

// The entry name as a relative path with "/" separators and no "." parts, or nullopt
// when it is unsafe or not a name under rules: empty, absolute, with a NUL, leaving its
// base through "..", or (Windows) with a character Windows names cannot hold. "\"
// counts as a separator too. isDirectory is set for names ending in a separator.
std::optional<std::string> SafeRelativeName(std::string_view name, bool& isDirectory, NameRules rules = kHostNameRules);

// Why SafeRelativeName refuses name, for messages ("absolute name", "the character '|'
// is not allowed in names on Windows", ...); empty when it does not.
std::string UnsafeNameReason(std::string_view name, NameRules rules = kHostNameRules);

// The key under which an output path counts as taken in one extraction: the path itself on
// Linux; on Windows, whose names ignore letter case, the path in upper case (ASCII, Latin-1,
// Latin Extended-A, Greek, Cyrillic and the full-width letters), so that "A.txt" and "a.txt"
// are one output there and the second one is a clash, not a silent replacement.
std::string ClashKey(std::string_view path, NameRules rules = kHostNameRules);

} // namespace velmora::archive
