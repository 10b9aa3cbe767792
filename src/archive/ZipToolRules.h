#pragma once
// The zip tool's small rules on plain texts.
#include <string>
#include <string_view>

namespace velmora {

// Leading and trailing blanks (spaces and control characters) removed.
std::string TrimBlanks(std::string_view text);

// The text with the first ".zip", in any letter case, removed.
std::string WithoutFirstZip(std::string_view path);

// True when the extension (from the last "." of the name) is ".gz" in any letter case.
bool IsGzipName(std::string_view path);

} // namespace velmora
