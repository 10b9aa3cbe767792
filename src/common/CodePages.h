#pragma once
// The two 8-bit code pages the program reads and writes: the OEM page 437 (ZIP names)
// and the ANSI page Windows-1252 (settings, gzip names, shortcuts).
#include "common/Utf.h"

#include <optional>
#include <string>
#include <string_view>

namespace velmora {

enum class CodePage { Oem437, Ansi1252 };

char32_t CodePageToUnicode(CodePage page, unsigned char byte);
std::optional<unsigned char> UnicodeToCodePage(CodePage page, char32_t codePoint);

// Bytes in the code page -> UTF-8. Every byte has a meaning, so this never fails.
std::string DecodeCodePage(CodePage page, std::string_view bytes);
// UTF-8 -> bytes in the code page; nullopt when a character has no byte there
// (or the input is not valid UTF-8).
std::optional<std::string> EncodeCodePage(CodePage page, std::string_view utf8);

} // namespace velmora
