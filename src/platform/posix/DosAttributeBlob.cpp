#include "platform/posix/DosAttributeBlob.h"

#include <cstdio>

namespace velmora {

namespace {

struct BinaryLayout {
    std::size_t textEnd = 0; // index of the NUL after the text
    std::uint16_t version = 0;
    std::size_t infoOffset = 0; // start of the version's info, after the level
    std::size_t wordOffset = 0; // the attribute word inside the blob
};

std::size_t AlignUp(std::size_t value, std::size_t alignment)
{
    return (value + alignment - 1) / alignment * alignment;
}

std::uint16_t ReadLe16(std::string_view bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                      (static_cast<unsigned char>(bytes[at + 1]) << 8));
}

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

// The fixed part of each version's info (fields of variable length at its end, such as
// the name of version 2, are not counted).
std::size_t FixedInfoSize(std::uint16_t version)
{
    switch (version) {
    case 1:
        return 4 + 4 + 8 + 8 + 8 + 8; // attrib, ea_size, size, alloc_size, create, change
    case 2:
        return 4 + 4 + 4 + 8 + 8 + 8 + 8 + 8; // flags, attrib, ea_size, sizes, three times
    case 3:
        return 4 + 4 + 4 + 8 + 8 + 8 + 8; // valid_flags, attrib, ea_size, sizes, two times
    case 4:
        return 4 + 4 + 8 + 8; // valid_flags, attrib, itime, create_time
    case 5:
        return 4 + 4 + 8; // valid_flags, attrib, create_time
    default:
        return 0;
    }
}

// A text followed by a NUL and more bytes is a binary record; nothing when there is no NUL
// or nothing after it (the text form).
bool LooksBinary(std::string_view blob)
{
    const std::size_t nul = blob.find('\0');
    return nul != std::string_view::npos && nul + 1 < blob.size();
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
    const std::size_t levelOffset = versionOffset + 2;
    if (levelOffset + 2 > blob.size()) {
        return std::nullopt;
    }
    layout.version = ReadLe16(blob, versionOffset);
    // The union repeats its level; a record whose level differs is not one we know.
    if (FixedInfoSize(layout.version) == 0 || ReadLe16(blob, levelOffset) != layout.version) {
        return std::nullopt;
    }
    layout.infoOffset = AlignUp(levelOffset + 2, 4);
    layout.wordOffset = layout.infoOffset + (layout.version == 1 ? 0 : 4);
    if (layout.infoOffset + FixedInfoSize(layout.version) > blob.size()) {
        return std::nullopt;
    }
    return layout;
}

// Versions 3 to 5 start their info with flags that say which fields are valid.
constexpr std::uint32_t kValidAttribute = 0x1;

bool HasValidFlags(std::uint16_t version)
{
    return version >= 3;
}

} // namespace

std::optional<std::uint32_t> ParseDosAttributeBlob(std::string_view blob)
{
    if (const auto layout = FindBinaryLayout(blob)) {
        if (!HasValidFlags(layout->version) || (ReadLe32(blob, layout->infoOffset) & kValidAttribute) != 0) {
            return ReadLe32(blob, layout->wordOffset);
        }
        // The record does not carry the word; its text still may.
        return ParseHexText(blob.substr(0, layout->textEnd));
    }
    if (LooksBinary(blob)) {
        return std::nullopt;
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

std::optional<std::string> UpdatedDosAttributeBlob(std::string_view oldBlob, std::uint32_t attributes)
{
    const auto layout = FindBinaryLayout(oldBlob);
    if (!layout) {
        if (LooksBinary(oldBlob)) {
            return std::nullopt;
        }
        return DosAttributeText(attributes);
    }
    if (layout->textEnd == 0) {
        // An empty text: the record stays byte for byte the same apart from the word.
        std::string blob(oldBlob);
        WriteLe32(blob, layout->wordOffset, attributes);
        if (HasValidFlags(layout->version)) {
            WriteLe32(blob, layout->infoOffset, ReadLe32(blob, layout->infoOffset) | kValidAttribute);
        }
        return blob;
    }
    // A text of the old kind is kept in step with the word. The info keeps its 4-byte
    // alignment behind the new text, so its fields move as one block.
    std::string blob = DosAttributeText(attributes);
    blob.push_back('\0');
    blob.resize(AlignUp(blob.size(), 2), '\0');
    const std::size_t versionOffset = AlignUp(layout->textEnd + 1, 2);
    blob.append(oldBlob.substr(versionOffset, 4)); // version and level
    blob.resize(AlignUp(blob.size(), 4), '\0');
    const std::size_t newInfo = blob.size();
    blob.append(oldBlob.substr(layout->infoOffset));
    WriteLe32(blob, newInfo + (layout->wordOffset - layout->infoOffset), attributes);
    if (HasValidFlags(layout->version)) {
        WriteLe32(blob, newInfo, ReadLe32(blob, newInfo) | kValidAttribute);
    }
    return blob;
}

} // namespace velmora
