#pragma once
// JSON output of the commands.
#include <string>
#include <string_view>

namespace velmora::cli {

// A JSON string; bytes that are not UTF-8 (Linux names may hold any bytes) become U+FFFD
// so the output stays valid JSON.
std::string JsonString(std::string_view text);

} // namespace velmora::cli
