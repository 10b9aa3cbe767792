#pragma once
// Texts of the update notice.
#include "common/LanguageText.h"

namespace velmora {

inline constexpr TextPair kUpdateNoticeText{"An update of your software is now available",
                                            "Eine neue Version Ihres Programms ist verfügbar."};
inline constexpr const char* kUpdaterCaption = "Updater";
// The local version text of a program file without version information.
inline constexpr TextPair kVersionNotAvailable{"Not available", "Nicht verfügbar"};

// Failures of reading the release file and comparing its version (followed by the path or
// the text and, where the system gave one, its reason).
inline constexpr TextPair kReleaseCannotOpen{"Cannot open file", "Datei kann nicht geöffnet werden"};
inline constexpr TextPair kReleaseNotRegular{"not a regular file", "keine gewöhnliche Datei"};
inline constexpr TextPair kReleaseLineTooLong{"The first line of the file '%s' is too long",
                                              "Die erste Zeile der Datei '%s' ist zu lang"};
inline constexpr TextPair kReleaseNotANumber{"'%s' is not a valid version number",
                                             "'%s' ist kein gültiger Integerwert"};

} // namespace velmora
