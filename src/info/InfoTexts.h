#pragma once
// Texts of the About box and the start screen.
#include "common/LanguageText.h"

namespace velmora {

inline constexpr TextPair kAboutCaption{"About...", "Über..."};
inline constexpr const char* kProductName = "Velmora";
inline constexpr const char* kReleaseLabel = "Release";
// The About box names this release whatever the build's version says.
inline constexpr const char* kAboutReleaseText = "1.3.0.0";
inline constexpr const char* kFreewareText = "Freeware";
inline constexpr const char* kAboutCloseText = "Ok";
inline constexpr const char* kStartButtonText = "Start";

} // namespace velmora
