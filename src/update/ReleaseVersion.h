#pragma once
// The update notice's rules: the program's own version text, the release file the
// updater writes, and the comparison of the two version texts.
#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

// The running program's version as four dotted numbers. A build without a version
// gives "Not available" / "Nicht verfügbar" for the language.
std::string ProgramVersionText(std::int32_t language, std::string_view buildVersion = VELMORA_VERSION_TEXT);

// The release file's first line without blanks and control characters at either end;
// empty for an empty file. The encoding follows a byte-order mark, Windows-1252 without
// one. Throws VelmoraError when the file cannot be opened or read.
std::string ReadReleaseVersion(const std::string& releaseFile);

enum class ReleaseVerdict {
    Newer,    // the online release is newer than the running one
    NotNewer, // equal or older: look again at the next tick
    Unusable, // a version text without any digits: stop looking
};

// Compares the two dotted version texts as whole numbers once their dots are removed;
// a shorter online number is padded with zeros on the right to the local one's length.
// Throws VelmoraError when a number is not a 32-bit decimal integer.
ReleaseVerdict CompareReleases(std::string_view localVersion, std::string_view onlineVersion);

// A whole 32-bit signed decimal number (optional sign, digits only), else VelmoraError.
std::int32_t ParseVersionNumber(std::string_view digits);

} // namespace velmora
