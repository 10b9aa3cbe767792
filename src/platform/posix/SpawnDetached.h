#pragma once
// Starting a program without a shell and without waiting for it.
#include <string>
#include <vector>

namespace velmora {

// Starts a program detached (its own session, stdin/stdout/stderr on /dev/null),
// searching PATH when the name has no slash. True when exec succeeded.
bool SpawnDetached(const std::string& program, const std::vector<std::string>& arguments);

} // namespace velmora
