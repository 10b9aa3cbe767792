#include "common/QuotedName.h"

#include <cstdio>

namespace velmora {

namespace {

// The length of the valid UTF-8 sequence at text[at], 0 when the bytes there are not one.
std::size_t SequenceLength(std::string_view text, std::size_t at, char32_t& codePoint)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
        value = (value << 6) | (byte(at + i) & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    codePoint = value;
    return length;
}

bool IsControl(char32_t c)
{
    return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F);
}

} // namespace

bool NeedsQuoting(std::string_view name)
{
    for (std::size_t at = 0; at < name.size();) {
        char32_t c = 0;
        const std::size_t length = SequenceLength(name, at, c);
        if (length == 0 || IsControl(c)) return true;
        at += length;
    }
    return false;
}

std::string QuotedName(std::string_view name)
{
    if (!NeedsQuoting(name)) return std::string(name);
    std::string out = "$'";
    char escape[16];
    for (std::size_t at = 0; at < name.size();) {
        char32_t c = 0;
        const std::size_t length = SequenceLength(name, at, c);
        if (length == 0) {
            std::snprintf(escape, sizeof escape, "\\%03o", static_cast<unsigned>(static_cast<unsigned char>(name[at])));
            out += escape;
            ++at;
            continue;
        }
        switch (c) {
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\a':
            out += "\\a";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\v':
            out += "\\v";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\'':
            out += "\\'";
            break;
        default:
            if (c >= 0x80 && c <= 0x9F) {
                std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
                out += escape;
            } else if (IsControl(c)) {
                std::snprintf(escape, sizeof escape, "\\%03o", static_cast<unsigned>(c));
                out += escape;
            } else {
                out.append(name.substr(at, length));
            }
        }
        at += length;
    }
    out += "'";
    return out;
}

std::string QuotedInText(std::string_view name)
{
    return NeedsQuoting(name) ? QuotedName(name) : "'" + std::string(name) + "'";
}

} // namespace velmora
