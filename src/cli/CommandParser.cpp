#include "cli/CommandParser.h"
#include "cli/HelpPage.h"
#include "common/QuotedName.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <ostream>

namespace velmora::cli {

bool CommandArgs::Has(std::string_view option) const
{
    return std::any_of(m_options.begin(), m_options.end(), [option](const auto& o) { return o.first == option; });
}

std::optional<std::string> CommandArgs::Value(std::string_view option) const
{
    for (auto it = m_options.rbegin(); it != m_options.rend(); ++it) {
        if (it->first == option) return it->second;
    }
    return std::nullopt;
}

void CommandArgs::Set(std::string option, std::optional<std::string> value)
{
    m_options.emplace_back(std::move(option), std::move(value));
}

namespace {

constexpr const char* kQuiet = "--quiet";

// A command's CLI11 application. Words it cannot place are kept rather than refused, so
// that the usage errors can be the command's own: an unknown option is named, and the
// arguments beyond the named ones count towards the command's number of arguments.
class CommandApp : public CLI::App {
public:
    explicit CommandApp(const CommandDefinition& definition) : CLI::App(definition.summary, definition.name)
    {
        allow_extras(true);
        // "/name" is a path, on Windows too.
        allow_windows_style_options(false);
        set_help_flag("-h,--help", "print this help and exit");
        formatter(MakeHelpFormatter(definition));
        for (const ArgumentDefinition& argument : definition.arguments) {
            m_arguments.push_back(add_option(argument.name, argument.help));
        }
        for (const OptionDefinition& option : definition.options) {
            CLI::Option* added = option.valueName ? add_option(option.name, option.help)
                                                        ->type_name(option.valueName)
                                                        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
                                                  : add_flag(option.name)->description(option.help);
            m_options.push_back(added);
        }
        m_quiet =
            add_flag(kQuiet)->description(definition.showsProgress ? "show no progress line, even on a terminal"
                                                                   : "accepted and ignored: this command shows no "
                                                                     "progress line");
    }

    const std::vector<CLI::Option*>& Arguments() const { return m_arguments; }
    const std::vector<CLI::Option*>& Options() const { return m_options; }
    bool Quiet() const { return m_quiet->count() > 0; }

    // The first word that looked like an option but names none of the command's.
    std::optional<std::string> UnknownOption() const
    {
        for (const auto& [kind, word] : missing_) {
            if (kind == CLI::detail::Classifier::LONG || kind == CLI::detail::Classifier::SHORT) return word;
        }
        return std::nullopt;
    }

    // The arguments beyond the named ones, in their order.
    std::vector<std::string> ExtraArguments() const
    {
        std::vector<std::string> words;
        for (const auto& [kind, word] : missing_) {
            if (kind == CLI::detail::Classifier::NONE) words.push_back(word);
        }
        return words;
    }

private:
    std::vector<CLI::Option*> m_arguments;
    std::vector<CLI::Option*> m_options;
    CLI::Option* m_quiet = nullptr;
};

std::string MissingValueText(const OptionDefinition& option)
{
    return *option.missingValue ? option.missingValue : std::string(option.name) + " needs a value";
}

std::string ChoicesText(const OptionDefinition& option)
{
    std::string text = std::string(option.name) + " takes ";
    for (std::size_t i = 0; i < option.choices.size(); ++i) {
        text += i == 0 ? "" : i + 1 == option.choices.size() ? " or " : ", ";
        text += option.choices[i];
    }
    return text;
}

} // namespace

std::optional<int> ParseCommand(const CommandDefinition& definition, const std::vector<std::string>& words,
                                CliContext& context, CommandArgs& parsed)
{
    CommandApp app(definition);
    std::vector<std::string> reversed(words.rbegin(), words.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        context.out << app.help();
        return kExitOk;
    } catch (const CLI::ArgumentMismatch& error) {
        // An option runs out of values only as the last word ("--password" or "--password=").
        for (const OptionDefinition& option : definition.options) {
            const std::string& last = words.back();
            if (option.valueName && (last == option.name || last == std::string(option.name) + "="))
                return UsageError(definition.name, MissingValueText(option), context);
        }
        return UsageError(definition.name, error.what(), context);
    } catch (const CLI::ParseError& error) {
        return UsageError(definition.name, error.what(), context);
    }
    if (const std::optional<std::string> unknown = app.UnknownOption())
        return UsageError(definition.name, "unknown option " + QuotedInText(*unknown), context);

    for (const CLI::Option* argument : app.Arguments()) {
        if (argument->count() > 0) parsed.arguments.push_back(argument->results().back());
    }
    for (std::string& extra : app.ExtraArguments())
        parsed.arguments.push_back(std::move(extra));
    if (parsed.arguments.size() < definition.minArguments)
        return UsageError(definition.name, definition.tooFewArguments, context);
    if (parsed.arguments.size() > definition.maxArguments)
        return UsageError(definition.name, definition.tooManyArguments, context);

    for (std::size_t i = 0; i < definition.options.size(); ++i) {
        const OptionDefinition& option = definition.options[i];
        const CLI::Option* given = app.Options()[i];
        if (given->count() == 0) continue;
        if (!option.valueName) {
            parsed.Set(option.name, std::nullopt);
            continue;
        }
        const std::string value = given->results().back();
        if (!option.choices.empty() &&
            std::find(option.choices.begin(), option.choices.end(), value) == option.choices.end()) {
            return UsageError(definition.name, ChoicesText(option), context);
        }
        parsed.Set(option.name, value);
    }
    if (app.Quiet()) context.progressToTerminal = false;
    return std::nullopt;
}

} // namespace velmora::cli
