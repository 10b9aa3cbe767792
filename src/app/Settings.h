#pragma once
// The one-line settings file: line 1 holds the user-interface language.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// The first line of decoded text (without CR/LF); nullopt for an empty text.
std::optional<std::string> FirstLine(std::string_view text);

// A whole number of the 32-bit signed range: optional leading blanks, an optional sign,
// decimal digits or a hexadecimal number after "$" or "0x"; nothing may follow.
std::optional<std::int32_t> ParseSettingsNumber(std::string_view line);

// The language that a settings file's bytes give (1 when line 1 is missing or invalid).
std::int32_t LanguageFromSettingsBytes(std::string_view bytes);

// The largest settings file read; its one line needs a few bytes.
inline constexpr std::size_t kSettingsReadLimit = 64 * 1024;

// Reads the settings file into language. A missing file, anything that is not a regular
// file (folder, pipe, device) and a file larger than kSettingsReadLimit leave language
// unchanged; a file that cannot be opened or read throws VelmoraError.
void LoadSettingsFile(const std::string& settingsFile, std::int32_t& language);

// Writes the language as one line ending in CR LF; throws VelmoraError on failure.
// The file is replaced atomically, so a failed write leaves the old one intact.
void SaveSettingsFile(const std::string& settingsFile, std::int32_t language);

} // namespace velmora
