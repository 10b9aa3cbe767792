#pragma once
// The shortcut window's rules on its three fields, on plain strings.
#include "common/PathRules.h"

#include <string>
#include <string_view>

namespace velmora {

// The shortcut path proposed for a file: its extension replaced by ".lnk", or ".lnk"
// added when it has none. An empty path proposes nothing.
std::string ProposedLinkPath(std::string_view path, const PathRules& rules);

// The argument text stored in the shortcut for a (trimmed) start parameter: nothing
// for an empty parameter, else the parameter as one double-quoted argument, so a
// program receives it whole even when it holds blanks. A parameter that already is
// one quoted argument is taken as it stands; quotes inside and backslashes before the
// closing quote are escaped the way Windows programs split their command line.
std::string LinkArguments(std::string_view parameter);

// The folder the file manager shows once a shortcut is written: the folder part of
// the link (its trailing separator kept); a relative one, or none at all, is taken
// from currentFolder, where a relative shortcut path was written.
std::string FolderToShow(std::string_view link, const PathRules& rules, std::string_view currentFolder);

} // namespace velmora
