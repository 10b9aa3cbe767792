#pragma once
// The value of the "user.DOSATTRIB" extended attribute in which file servers and
// compatibility layers keep a file's attribute word on Linux file systems.
// Two forms exist: the text "0xNN" (with or without a trailing NUL), and a binary
// record: the same text NUL-terminated, padding to 2 bytes, a 16-bit little-endian
// version (1-5) and, aligned to 4 bytes, the version's info whose attribute word is
// the first 32-bit field for version 1 and the second one for versions 2 to 5.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// The attribute word of either form; nothing when the value is not understood.
std::optional<std::uint32_t> ParseDosAttributeBlob(std::string_view blob);

// The text form written for a new value: "0x" and lower-case hex digits, no NUL.
std::string DosAttributeText(std::uint32_t attributes);

// The value to store for new attributes: an understood binary record keeps its version
// and every other field (such as the creation time) and gets the new word in both its
// text and its info; anything else is replaced by the text form.
std::string UpdatedDosAttributeBlob(std::string_view oldBlob, std::uint32_t attributes);

} // namespace velmora
