#include "fileops/AttributeEdit.h"

#include <array>

namespace velmora {

namespace {
struct LetterBit {
    char letter;
    std::uint32_t bit;
};
constexpr std::array<LetterBit, 4> kLetters{{
    {'A', kAttributeArchive},
    {'R', kAttributeReadOnly},
    {'H', kAttributeHidden},
    {'S', kAttributeSystem},
}};
} // namespace

std::uint32_t AttributesFromBoxes(const AttributeBoxes& boxes)
{
    std::uint32_t value = 0;
    if (boxes.archive) value |= kAttributeArchive;
    if (boxes.readOnly) value |= kAttributeReadOnly;
    if (boxes.hidden) value |= kAttributeHidden;
    if (boxes.system) value |= kAttributeSystem;
    return value;
}

std::optional<std::uint32_t> ParseAttributeLetters(std::string_view letters)
{
    if (letters == "-") return 0u;
    if (letters.empty()) return std::nullopt;
    std::uint32_t value = 0;
    for (char c : letters) {
        const char upper = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        bool known = false;
        for (const LetterBit& entry : kLetters) {
            if (entry.letter == upper) {
                value |= entry.bit;
                known = true;
            }
        }
        if (!known) return std::nullopt;
    }
    return value;
}

std::string AttributeLetters(std::uint32_t attributes)
{
    std::string text;
    for (const LetterBit& entry : kLetters) {
        if ((attributes & entry.bit) != 0) text.push_back(entry.letter);
    }
    return text.empty() ? std::string("-") : text;
}

} // namespace velmora
