#pragma once
// What velmora-cli prints for --help: the overview of every command, and one command's
// page (synopsis, what it does, each argument and option with its description).
#include "cli/CommandDefinition.h"

#include <iosfwd>
#include <memory>
#include <string>

namespace CLI {
class FormatterBase;
}

namespace velmora::cli {

// The overview: the synopsis and summary of every command that is not hidden.
void PrintOverview(std::ostream& out);

// The formatter that writes a command's help page from its CLI11 application.
std::shared_ptr<CLI::FormatterBase> MakeHelpFormatter(const CommandDefinition& definition);

// text broken into lines of at most width characters (longer words stay whole), every
// line after the first indented by indent spaces.
std::string Wrapped(const std::string& text, std::size_t indent, std::size_t width);

} // namespace velmora::cli
