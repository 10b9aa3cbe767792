#pragma once
// The definition of one velmora-cli command: its arguments and options with their help,
// the usage texts it answers with, and its entry point. The parser, the --help pages and
// the shell completions are all made from these definitions.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::cli {

struct CliContext;

// What a word on the command line names, so a shell can offer the right completions.
enum class WordKind {
    Text,   // free text: a date, a name, a password
    File,   // an existing file
    Folder, // a folder
    Path,   // a file or a folder, existing or to be made
};

struct ArgumentDefinition {
    const char* name; // "FOLDER"
    const char* help;
    WordKind kind;
};

struct OptionDefinition {
    const char* name;      // "--password"
    const char* valueName; // "P"; nullptr for a flag
    const char* help;
    std::vector<const char*> choices = {}; // the only values taken, when not empty
    // The usage error when the value is missing; empty for "NAME needs a value". A value
    // that is not one of the choices is answered with "NAME takes A, B or C".
    const char* missingValue = "";
};

// The words a command was given, once parsed: its arguments in order (everything after
// "--" among them) and the options that were present.
class CommandArgs {
public:
    std::vector<std::string> arguments;

    bool Has(std::string_view option) const;
    // The last value given to the option, if it was given.
    std::optional<std::string> Value(std::string_view option) const;

    void Set(std::string option, std::optional<std::string> value);

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> m_options;
};

using CommandFunction = int (*)(const CommandArgs& args, CliContext& context);

struct CommandDefinition {
    const char* name;
    const char* synopsis; // "NAME ARGS", shown in the overview and on the help page
    const char* summary;  // what it does, one paragraph
    std::vector<ArgumentDefinition> arguments;
    std::vector<OptionDefinition> options;
    // How many arguments it takes (the last one repeats when maxArguments exceeds the
    // named ones), and the usage errors for too few and too many.
    std::size_t minArguments;
    std::size_t maxArguments;
    const char* tooFewArguments;
    const char* tooManyArguments;
    CommandFunction run;
    bool showsProgress = false; // long runs show a progress line; --quiet keeps it silent
    bool hidden = false;        // left out of the overview and the completions
};

inline constexpr std::size_t kAnyNumber = static_cast<std::size_t>(-1);

// Every command, in the order the overview lists them.
const std::vector<CommandDefinition>& Commands();
const CommandDefinition* FindCommand(std::string_view name);

} // namespace velmora::cli
