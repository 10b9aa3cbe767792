#pragma once
// The messages of the commands that change the current file and end its programs.
#include "common/LanguageText.h"

#include <string>
#include <string_view>

namespace velmora {

namespace FileOpsMessages {
// The caption of the file commands' message boxes, in both languages.
inline constexpr const char* kCaption = "ZaDI";
inline constexpr TextPair kTerminated{"Application terminated", "Anwendung beendet"};
inline constexpr TextPair kNotRunning{"Application not running", "Anwendung nicht aktiv"};
} // namespace FileOpsMessages

// The error for a date-time text that does not parse; always German, like the run time's
// own conversion errors.
std::string InvalidDateTimeText(std::string_view entered);

} // namespace velmora
