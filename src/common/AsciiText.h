#pragma once
// Small text rules used throughout: trimming blanks and ASCII letter case. Bytes above
// 0x7F (UTF-8 sequences, code-page letters) are never changed or counted as blanks.
#include <string>
#include <string_view>
#include <type_traits>

namespace velmora {

// The text without leading and trailing blanks, where a blank is every character up to
// and including the space: tabs, line breaks and the other control characters too.
std::string_view TrimBlanks(std::string_view text);
// The result views its argument, so a temporary string cannot be trimmed: name it first.
template <typename T>
requires std::is_same_v<std::remove_cvref_t<T>, std::string> &&(!std::is_lvalue_reference_v<T>)std::string_view
    TrimBlanks(T&& temporary) = delete;

// 'A'..'Z' as 'a'..'z'; every other character as it is.
constexpr char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The text with 'A'..'Z' as 'a'..'z'.
std::string AsciiLower(std::string_view text);

// True when both texts are equal apart from the letter case of 'A'..'Z'.
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

} // namespace velmora
