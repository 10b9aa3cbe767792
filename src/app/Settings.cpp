#include "app/Settings.h"

#include "common/Errors.h"
#include "common/TextFile.h"
#include "common/Utf8Path.h"
#include "platform/FileDurability.h"

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
    namespace fs = std::filesystem;
    std::error_code ec;
    // A missing file, a link to nothing, or a folder of that name, leaves the language as
    // it is. Anything else that cannot be read (no permission, a link loop) is an error.
    if (fs::status(PathFromUtf8(settingsFile), ec).type() == fs::file_type::not_found) return;
    if (fs::is_directory(PathFromUtf8(settingsFile), ec)) return;
    std::ifstream in(PathFromUtf8(settingsFile), std::ios::binary);
    if (!in) throw VelmoraError(SystemErrorText("Cannot open file", settingsFile, errno));
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) throw VelmoraError(SystemErrorText("Cannot read file", settingsFile, errno));
    language = LanguageFromSettingsBytes(content.str());
}

void SaveSettingsFile(const std::string& settingsFile, std::int32_t language)
{
    int err = 0;
    if (!ReplaceFileAtomically(settingsFile, std::to_string(language) + "\r\n", &err)) {
        throw VelmoraError(SystemErrorText("Cannot write file", settingsFile, err));
    }
}

} // namespace velmora
