#pragma once
#include <string>

namespace velmora {

// True when a file can be written at the given system root: writes "adtest.txt"
// with the line "TestAdmin" and deletes it again.
bool TestAdminRights(const std::string& systemRoot);

} // namespace velmora
