#pragma once
// What a copy of a file must keep besides its bytes: owner, permissions, extended
// attributes (access control lists included) and access and modification times.
#include <string>

namespace velmora {

// Gives 'to' the metadata of 'from' (a file, folder or link; links are not followed).
// True only when every part was copied; otherwise error (when given) says which part
// failed. Call it on a folder after its content is complete: the times are set last.
bool CopyMetadata(const std::string& from, const std::string& to, std::string* error = nullptr);

// True when both paths (links not followed) have the same owner, permissions, extended
// attributes and modification time.
bool SameMetadata(const std::string& a, const std::string& b);

} // namespace velmora
