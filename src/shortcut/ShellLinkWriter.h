#pragma once
// Writes Windows shortcut (.lnk) files: the binary shell-link format that the Windows
// shell reads. Only the target and the arguments are stored; working folder,
// description, icon, show command and hot key keep the format's defaults.
#include "common/Result.h"

#include <string>
#include <string_view>

namespace velmora {

// The bytes of a shortcut to target (UTF-8) with the given argument text (UTF-8, may
// be empty). A target of the form "X:\..." gets an item list (My Computer, the drive,
// one item per path segment) besides the link information; a target "\\server\share\..."
// is stored as a network location and the path below it; any other target (a Linux
// path, a relative name) is stored as given as the local path. The target is not
// looked up. An Error (InvalidInput) for text that cannot be stored: empty target,
// invalid UTF-8, a NUL character, or strings longer than the format's 16-bit sizes.
Result<std::string> BuildShellLink(std::string_view target, std::string_view arguments);

// True when the bytes start like a shortcut file (header size 0x4C and the shell-link
// class identifier).
bool HasShellLinkHeader(std::string_view bytes);

// What is at a shortcut path before it is written.
enum class LinkPathState { Missing, ShellLink, Directory, OtherFile };
LinkPathState InspectLinkPath(const std::string& linkPath);

// BuildShellLink, then the file replaced atomically (platform/FileDurability.h): an
// existing file is either fully replaced or left untouched. The Error names the path and
// the system's reason, or the text that cannot be stored.
Result<void> SaveShellLink(const std::string& linkPath, std::string_view target, std::string_view arguments);

} // namespace velmora
