#include "inspect/InspectRules.h"

#include "common/AsciiText.h"

namespace velmora {

namespace {
constexpr std::uint64_t kKiB = 1024;
constexpr std::uint64_t kMiB = 1024 * 1024;
} // namespace

SizeText FileSizeText(std::uint64_t bytes, char decimalSeparator)
{
    if (bytes > kMiB) {
        // Exact rounding to thousandths, half up, without going through binary fractions.
        std::uint64_t whole = bytes / kMiB;
        std::uint64_t thousandths = ((bytes % kMiB) * 1000 + kMiB / 2) / kMiB;
        if (thousandths == 1000) {
            ++whole;
            thousandths = 0;
        }
        std::string fraction = std::to_string(thousandths);
        fraction.insert(0, 3 - fraction.size(), '0');
        return {std::to_string(whole) + decimalSeparator + fraction, " MB"};
    }
    if (bytes > kKiB) {
        return {std::to_string((bytes + kKiB - 1) / kKiB), " KB"};
    }
    return {std::to_string(bytes), " Bytes"};
}

std::string CleanCommandText(std::string_view text)
{
    std::string result(text.substr(0, text.find('%')));
    if (!result.empty() && result.front() == '"') {
        result.erase(0, 1);
    }
    if (!result.empty() && result.back() == '"') {
        result.pop_back();
    }
    while (!result.empty() && (result.back() == ' ' || result.back() == '"')) {
        result.pop_back();
    }
    return result;
}

std::string CleanExtension(std::string_view extension)
{
    std::string lower(extension);
    for (char& c : lower) {
        c = AsciiLower(c);
    }
    if (lower.size() <= 4) {
        return lower;
    }
    std::size_t keep = lower.size();
    for (std::size_t i = 3; i < lower.size(); ++i) {
        if (lower[i] < 'a' || lower[i] > 'z') {
            break;
        }
        keep = i + 1;
    }
    return lower.substr(0, keep);
}

std::string TextBeforeFirstDot(std::string_view name)
{
    const std::size_t dot = name.find('.');
    return dot == std::string_view::npos ? std::string() : std::string(name.substr(0, dot));
}

std::string DefaultAppName(std::string_view command, const PathRules& rules, bool wholeNameWithoutDot)
{
    const std::string name = rules.FileName(command);
    const std::size_t lastDot = name.rfind('.');
    std::string result;
    if (lastDot == std::string::npos && wholeNameWithoutDot) {
        result = name.substr(0, name.find(' '));
        std::erase(result, '"');
    } else {
        const std::string extension = lastDot == std::string::npos ? std::string() : name.substr(lastDot);
        result = TextBeforeFirstDot(name) + CleanExtension(extension);
    }
    return TrimBlanks(result).empty() ? std::string("undefined") : result;
}

bool IsWindows10(std::string_view productName)
{
    std::string lower(productName);
    for (char& c : lower) {
        c = AsciiLower(c);
    }
    return lower.find("windows 10") != std::string::npos;
}

} // namespace velmora
