#pragma once
// Texts of the update notice.
#include "common/LanguageText.h"

namespace velmora {

inline constexpr TextPair kUpdateNoticeText{"An update of your software is now available",
                                            "Eine neue Version Ihres Programms ist verfügbar."};
inline constexpr const char* kUpdaterCaption = "Updater";
// The local version text of a program file without version information.
inline constexpr TextPair kVersionNotAvailable{"Not available", "Nicht verfügbar"};

} // namespace velmora
