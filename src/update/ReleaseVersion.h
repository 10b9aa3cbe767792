#pragma once
// The update notice's rules: the program's own version text, the release file the
// updater writes, and the comparison of the two version texts.
#include "common/Result.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

// The running program's version as four dotted numbers. A build without a version
// gives "Not available" / "Nicht verfügbar" for the language.
std::string ProgramVersionText(std::int32_t language, std::string_view buildVersion = VELMORA_VERSION_TEXT);

// The release file's first line without blanks and control characters at either end;
// empty for an empty file. The encoding follows a byte-order mark, Windows-1252 without
// one. Only a regular file is read, opened without waiting. Fails (with its text in the
// language) when the file cannot be opened or read, is not a regular file, or its first
// line does not end within the read limit.
Result<std::string> ReadReleaseVersion(const std::string& releaseFile, std::int32_t language = 1);

enum class ReleaseVerdict {
    Newer,    // the online release is newer than the running one
    NotNewer, // equal or older: look again at the next tick
    Unusable, // a version text without any digits: stop looking
};

// Compares the two dotted version texts field by field, each field a decimal number, so
// 1.2.10.0 is older than 1.3.0.0; a missing field counts as 0 (1.3 equals 1.3.0.0).
// Fails (with its text in the language) when a field is empty, holds anything but digits
// or lies beyond the 32-bit range.
Result<ReleaseVerdict> CompareReleases(std::string_view localVersion, std::string_view onlineVersion,
                                       std::int32_t language = 1);

// One field of a version: decimal digits only, at most 2147483647, else a failure.
Result<std::int32_t> ParseVersionNumber(std::string_view digits, std::int32_t language = 1);

} // namespace velmora
