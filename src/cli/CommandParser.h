#pragma once
// Reads one command's words by its definition (CLI11): options anywhere before "--",
// "--name=value" or "--name value", "-h"/"--help" for its help page, and everything after
// "--" taken as an argument. Usage errors keep the command's own texts.
#include "cli/CliCommand.h"
#include "cli/CommandDefinition.h"

#include <optional>
#include <string>
#include <vector>

namespace velmora::cli {

// Fills parsed from words (the command line after the command's name). Returns the exit
// code when the command is not to run: 0 after its help page was printed, kExitUsage after
// a usage error. --quiet turns the progress line off in context.
std::optional<int> ParseCommand(const CommandDefinition& definition, const std::vector<std::string>& words,
                                CliContext& context, CommandArgs& parsed);

} // namespace velmora::cli
