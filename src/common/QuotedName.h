#pragma once
// Names (of files, programs, archive entries) in plain text meant for a terminal or a
// one-line message: a name may hold a newline, a tab or an escape sequence, which would
// split a line or drive the terminal. Such a name is written the way ls writes it on a
// terminal, as a shell string $'...' with every such byte escaped; any other name is
// written as it is. JSON output escapes by its own rules and does not use this.
#include <string>
#include <string_view>

namespace velmora {

// True when the name holds a control character (C0, DEL, C1) or bytes that are not UTF-8.
bool NeedsQuoting(std::string_view name);

// The name unchanged, or as $'...' when NeedsQuoting: \n \t \r \a \b \f \v by letter, a
// backslash and a quote escaped, other control characters and stray bytes as three
// octal digits (ESC is \033), C1 characters as \u0080 to \u009f.
std::string QuotedName(std::string_view name);

// The name as messages quote it: 'name', or QuotedName(name) alone when it needs quoting.
std::string QuotedInText(std::string_view name);

} // namespace velmora
