#include "platform/posix/DosAttributeBlob.h"

#include <cstdio>

namespace velmora {

namespace {

struct BinaryLayout {
    std::size_t textEnd = 0;      // index of the NUL after the text
    std::uint16_t version = 0;
    std::size_t infoOffset = 0;   // start of the version's info
    std::size_t wordOffset = 0;   // the attribute word inside the blob
};

std::size_t AlignUp(std::size_t value, std::size_t alignment) { return (value + alignment - 1) / alignment * alignment; }

std::uint32_t ReadLe32(std::string_view bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    }
    return value;
}

void WriteLe32(std::string& bytes, std::size_t at, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFFu);
    }
}

// "0x" followed by 1 to 8 hex digits.
std::optional<std::uint32_t> ParseHexText(std::string_view text)
{
    if (text.size() < 3 || text.size() > 10 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (char c : text.substr(2)) {
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return std::nullopt;
        }
        value = (value << 4) | static_cast<std::uint32_t>(digit);
    }
    return value;
}

std::optional<BinaryLayout> FindBinaryLayout(std::string_view blob)
{
    const std::size_t nul = blob.find('\0');
    if (nul == std::string_view::npos) {
        return std::nullopt;
    }
    BinaryLayout layout;
    layout.textEnd = nul;
    const std::size_t versionOffset = AlignUp(nul + 1, 2);
    if (versionOffset + 2 > blob.size()) {
        return std::nullopt;
    }
    layout.version = static_cast<std::uint16_t>(static_cast<unsigned char>(blob[versionOffset]) |
                                                (static_cast<unsigned char>(blob[versionOffset + 1]) << 8));
    if (layout.version < 1 || layout.version > 5) {
        return std::nullopt;
    }
    layout.infoOffset = AlignUp(versionOffset + 2, 4);
    layout.wordOffset = layout.infoOffset + (layout.version == 1 ? 0 : 4);
    if (layout.wordOffset + 4 > blob.size()) {
        return std::nullopt;
    }
    return layout;
}

// Versions 3 to 5 start their info with flags that say which fields are valid.
constexpr std::uint32_t kValidAttribute = 0x1;

} // namespace

std::optional<std::uint32_t> ParseDosAttributeBlob(std::string_view blob)
{
    if (const auto layout = FindBinaryLayout(blob)) {
        if (layout->version < 3 || (ReadLe32(blob, layout->infoOffset) & kValidAttribute) != 0) {
            return ReadLe32(blob, layout->wordOffset);
        }
        // The record does not carry the word; its text still does.
        return ParseHexText(blob.substr(0, layout->textEnd));
    }
    // The text form, possibly followed by one NUL.
    std::string_view text = blob;
    if (!text.empty() && text.back() == '\0') {
        text.remove_suffix(1);
    }
    return ParseHexText(text);
}

std::string DosAttributeText(std::uint32_t attributes)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(attributes));
    return text;
}

std::string UpdatedDosAttributeBlob(std::string_view oldBlob, std::uint32_t attributes)
{
    const auto layout = FindBinaryLayout(oldBlob);
    if (!layout) {
        return DosAttributeText(attributes);
    }
    // Lay the record out again behind the new text: the info keeps its 4-byte alignment,
    // so its fields move as one block.
    std::string blob = DosAttributeText(attributes);
    blob.push_back('\0');
    blob.resize(AlignUp(blob.size(), 2), '\0');
    blob.push_back(static_cast<char>(layout->version & 0xFF));
    blob.push_back(static_cast<char>(layout->version >> 8));
    blob.resize(AlignUp(blob.size(), 4), '\0');
    const std::size_t newInfo = blob.size();
    blob.append(oldBlob.substr(layout->infoOffset));
    WriteLe32(blob, newInfo + (layout->wordOffset - layout->infoOffset), attributes);
    if (layout->version >= 3) {
        WriteLe32(blob, newInfo, ReadLe32(blob, newInfo) | kValidAttribute);
    }
    return blob;
}

} // namespace velmora
