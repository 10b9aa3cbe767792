#pragma once
// The text of small files the program reads (settings, release file).
#include <string>
#include <string_view>

namespace velmora {

// Decodes raw file bytes: a byte-order mark selects UTF-8 or UTF-16 LE/BE,
// otherwise the bytes are Windows-1252. The result is UTF-8.
std::string DecodeTextFile(std::string_view bytes);

} // namespace velmora
