#pragma once
// The attribute set the main window's four boxes stand for, and its letter form
// (A archive, R read-only, H hidden, S system) for the command line.
#include "platform/IFileAttributes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

struct AttributeBoxes {
    bool archive = false;
    bool readOnly = false;
    bool hidden = false;
    bool system = false;
};

// The attribute word to write: exactly the ticked boxes. With no box ticked the file ends
// with none of the four attributes.
std::uint32_t AttributesFromBoxes(const AttributeBoxes& boxes);

// Letters from A, R, H and S in any order and case, or "-" for none; nothing when the text
// holds anything else.
std::optional<std::uint32_t> ParseAttributeLetters(std::string_view letters);
// The four attributes as letters in the order A R H S, "-" when none is set.
std::string AttributeLetters(std::uint32_t attributes);

} // namespace velmora
