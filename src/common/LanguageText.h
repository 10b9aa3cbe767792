#pragma once
// English/German text pairs and the rule that picks one: any non-zero language is English.
#include <cstdint>

namespace velmora {

inline constexpr std::int32_t kEnglish = 1;
inline constexpr std::int32_t kGerman = 0;

struct TextPair {
    const char* english;
    const char* german;
};

inline bool IsEnglish(std::int32_t language)
{
    return language != 0;
}
inline const char* Pick(std::int32_t language, const TextPair& text)
{
    return IsEnglish(language) ? text.english : text.german;
}

// The language after a switch: 0 becomes 1, anything else becomes 0.
inline std::int32_t SwitchedLanguage(std::int32_t language)
{
    return language == 0 ? kEnglish : kGerman;
}

} // namespace velmora
