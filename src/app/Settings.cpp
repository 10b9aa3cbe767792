#include "app/Settings.h"

#include "common/Errors.h"
#include "common/LanguageText.h"
#include "common/TextFile.h"
#include "common/Utf8Path.h"
#include "platform/FileDurability.h"
#include "platform/SmallFile.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <system_error>

namespace velmora {

std::optional<std::string> FirstLine(std::string_view text)
{
    if (text.empty()) return std::nullopt;
    const std::size_t end = text.find_first_of("\r\n");
    return std::string(text.substr(0, end));
}

std::optional<std::int32_t> ParseSettingsNumber(std::string_view line)
{
    std::size_t i = 0;
    while (i < line.size() && line[i] == ' ')
        ++i;
    bool negative = false;
    if (i < line.size() && (line[i] == '+' || line[i] == '-')) {
        negative = line[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < line.size() && line[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < line.size() && line[i] == '0' && (line[i + 1] == 'x' || line[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == line.size()) return std::nullopt;
    std::int64_t value = 0;
    for (; i < line.size(); ++i) {
        const char c = line[i];
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return std::nullopt;
        }
        value = value * base + digit;
        if (value > 0x1'0000'0000LL) return std::nullopt;
    }
    if (base == 16 && !negative && value <= 0xFFFF'FFFFLL) {
        // A hexadecimal number names the 32-bit pattern, so $FFFFFFFF is -1.
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    }
    if (negative) value = -value;
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

std::int32_t LanguageFromSettingsBytes(std::string_view bytes)
{
    const std::optional<std::string> line = FirstLine(DecodeTextFile(bytes));
    if (!line) return 1;
    return ParseSettingsNumber(*line).value_or(1);
}

void LoadSettingsFile(const std::string& settingsFile, std::int32_t& language)
{
    // A missing file, a link to nothing, a folder, pipe or device of that name, or a file
    // far too large to be a settings file, counts as no settings: the language stays as
    // it is. Only what cannot be read for another reason (no permission, a link loop) is
    // an error. A pipe is opened without waiting and never read.
    std::string content;
    int error = 0;
    if (!ReadSmallRegularFile(settingsFile, content, kSettingsReadLimit, &error)) {
        if (error == ENOENT || error == ENOTDIR || error == EINVAL || error == EFBIG) return;
        throw VelmoraError(SystemErrorText("Cannot open file", settingsFile, error));
    }
    language = LanguageFromSettingsBytes(content);
}

void SaveSettingsFile(const std::string& settingsFile, std::int32_t language)
{
    if (const Result<void> written = ReplaceFileAtomically(settingsFile, std::to_string(language) + "\r\n"); !written) {
        throw VelmoraError(ErrorText(WithDetail(written.error(), "Cannot write file"), kEnglish));
    }
}

} // namespace velmora
