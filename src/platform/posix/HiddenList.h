#pragma once
// The ".hidden" file of a folder: one file name per line, the names that Linux file
// managers do not show.
#include <string>
#include <string_view>

namespace velmora {

bool HiddenListContains(std::string_view content, std::string_view name);
// The content with the name added (once, at the end) or every line naming it removed.
// Other lines, their order and a missing final newline are kept.
std::string HiddenListWith(std::string_view content, std::string_view name, bool hidden);

} // namespace velmora
