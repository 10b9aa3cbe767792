#pragma once
// The one way between the program's UTF-8 path strings and std::filesystem::path.
// A path built from a plain std::string is decoded with the C library's locale on
// Windows (the ANSI code page at best), which mangles or rejects every name outside
// ASCII; going through char8_t makes the library decode UTF-8 instead. On Linux both
// directions keep the bytes as they are, so names that are not valid UTF-8 survive.
#include <filesystem>
#include <string>
#include <string_view>

namespace velmora {

// The path named by a UTF-8 string. On Windows malformed UTF-8 throws
// std::filesystem::filesystem_error rather than naming some other file.
std::filesystem::path PathFromUtf8(std::string_view utf8);
// The path as UTF-8 (on Linux: its bytes).
std::string Utf8FromPath(const std::filesystem::path& path);
// The same with "/" between the parts on every system (names inside archives).
std::string GenericUtf8FromPath(const std::filesystem::path& path);

} // namespace velmora
