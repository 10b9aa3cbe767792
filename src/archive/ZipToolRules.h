#pragma once
// The zip tool's small rules on plain texts.
#include "common/AsciiText.h"

#include <string>
#include <string_view>

namespace velmora {

// The text with the first ".zip", in any letter case, removed.
std::string WithoutFirstZip(std::string_view path);

// True when the extension (from the last "." of the name) is ".gz" in any letter case.
bool IsGzipName(std::string_view path);

} // namespace velmora
