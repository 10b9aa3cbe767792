#include "common/AsciiText.h"

namespace velmora {

namespace {
bool IsBlank(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}
} // namespace

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string AsciiLower(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        c = AsciiLower(c);
    return lower;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

} // namespace velmora
