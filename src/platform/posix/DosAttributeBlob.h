#pragma once
// The value of the "user.DOSATTRIB" extended attribute in which file servers and
// compatibility layers keep a file's attribute word on Linux file systems.
// Two forms exist: the text "0xNN" (with or without a trailing NUL), and a binary NDR
// record:
//   the text, NUL-terminated (file servers of today leave it empty), padding to 2 bytes;
//   uint16 version (1 to 5);
//   uint16 level of the info union, equal to the version, padding to 4 bytes;
//   the version's info: version 1 starts with the attribute word; versions 2 to 5 start
//   with a flags word (for 3 to 5 the valid-field flags, 0x1 = the attribute word is
//   valid), then the attribute word, then fields such as the creation time.
// With an empty text the word of versions 2 to 5 therefore lies at byte 12, after the
// version, the level and the flags.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// The attribute word of either form; nothing when the value is not understood.
std::optional<std::uint32_t> ParseDosAttributeBlob(std::string_view blob);

// The text form written for a new value: "0x" and lower-case hex digits, no NUL.
std::string DosAttributeText(std::uint32_t attributes);

// The value to store for new attributes. An understood binary record keeps its version,
// its level, every other field (such as the creation time) and its flags (with the
// attribute word marked valid); only the word changes, and a non-empty text is rewritten
// to the new word. An empty or missing value, or the text form, gives the text form.
// Nothing when the old value is a binary record that is not understood: it is left alone
// rather than overwritten.
std::optional<std::string> UpdatedDosAttributeBlob(std::string_view oldBlob, std::uint32_t attributes);

} // namespace velmora
