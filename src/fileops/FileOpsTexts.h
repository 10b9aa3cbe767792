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
// Terminate refuses a shell, an interpreter or a launcher; %1 is its name.
inline constexpr TextPair kLauncherRefused{
    "'%1' is a shell, interpreter or launcher that runs many other programs, so it is not ended by name. Nothing "
    "was ended. Close the program that holds the file yourself.",
    "„%1“ ist eine Shell, ein Interpreter oder ein Starter, der viele andere Programme ausführt, und wird daher nicht "
    "über seinen Namen beendet. Es wurde nichts beendet. Schließen Sie das Programm, das die Datei geöffnet hat, "
    "selbst."};
// Clearing Hidden on a name that begins with a dot: refused before anything is written.
inline constexpr TextPair kNameAlwaysHidden{
    "Hidden cannot be cleared: a name that begins with a dot is always hidden. Rename the file to show it. "
    "Nothing was changed.",
    "Versteckt kann nicht entfernt werden: Ein Name, der mit einem Punkt beginnt, ist immer versteckt. Benennen Sie "
    "die Datei um, damit sie angezeigt wird. Nichts wurde geändert."};
} // namespace FileOpsMessages

// The error for a date-time text that does not parse; always German, like the run time's
// own conversion errors.
std::string InvalidDateTimeText(std::string_view entered);

} // namespace velmora
