#pragma once
// The text rules of the inspection: the size text and the names made from commands.
#include "common/PathRules.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

struct SizeText {
    std::string number;
    std::string unit; // " Bytes", " KB" or " MB", with the leading blank
};

// Above 1,048,576 bytes: megabytes with three decimals (rounded, the given decimal
// separator); above 1,024: kilobytes rounded up; else the bytes.
SizeText FileSizeText(std::uint64_t bytes, char decimalSeparator);

// Cuts a command to its program: everything from the first "%" goes, then a leading and
// a trailing double quote, then trailing blanks and quotes.
std::string CleanCommandText(std::string_view text);

// The lower-cased extension (with its dot), cut after the dot and two characters before
// the first character that is not a letter a-z.
std::string CleanExtension(std::string_view extension);

// The part of the name before its first "."; empty when there is none.
std::string TextBeforeFirstDot(std::string_view name);

// The program's display name made from a cleaned command: the name before its first dot
// plus its cleaned extension, "undefined" when nothing is left. Programs without an
// extension (wholeNameWithoutDot) are shown by their file name up to the first blank.
std::string DefaultAppName(std::string_view command, const PathRules& rules, bool wholeNameWithoutDot);

// True when the operating system's product name says Windows 10.
bool IsWindows10(std::string_view productName);

} // namespace velmora
