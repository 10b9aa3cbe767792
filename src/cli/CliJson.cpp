#include "cli/CliCommand.h"

#include "common/Utf.h"

#include <cstdio>

namespace velmora::cli {

// A JSON string; bytes that are not UTF-8 (Linux names may hold any bytes) become U+FFFD
// so the output stays valid JSON.
std::string JsonString(std::string_view text)
{
    std::string out = "\"";
    std::size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x80) {
            const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
            if (length > 1 && i + length <= text.size() && IsValidUtf8(text.substr(i, length))) {
                out.append(text.substr(i, length));
                i += length;
            } else {
                out += "\xEF\xBF\xBD";
                ++i;
            }
            continue;
        }
        switch (byte) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (byte < 0x20 || byte == 0x7F) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                out += escaped;
            } else {
                out += static_cast<char>(byte);
            }
        }
        ++i;
    }
    return out + "\"";
}

} // namespace velmora::cli
