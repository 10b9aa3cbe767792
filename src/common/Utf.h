#pragma once
// Strict UTF-8 and UTF-16 conversions used wherever bytes from files become text.
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// nullopt on malformed, overlong or surrogate sequences.
std::optional<std::u32string> DecodeUtf8(std::string_view bytes);
bool IsValidUtf8(std::string_view bytes);
std::string EncodeUtf8(std::u32string_view codePoints);
void AppendUtf8(std::string& out, char32_t codePoint);

// UTF-16 from raw bytes in the given byte order; unpaired surrogates become U+FFFD.
std::string Utf16BytesToUtf8(std::string_view bytes, bool bigEndian);
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view text);

} // namespace velmora
