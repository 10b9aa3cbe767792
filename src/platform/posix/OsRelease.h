#pragma once
// The os-release file of Linux systems (/etc/os-release), which names the system.
#include <string>
#include <string_view>

namespace velmora {

// The value of a key in an os-release file ("KEY=value", the value possibly quoted).
std::string OsReleaseValue(std::string_view content, std::string_view key);

} // namespace velmora
