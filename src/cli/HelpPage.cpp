#include "cli/HelpPage.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <ostream>
#include <sstream>

namespace velmora::cli {

namespace {

constexpr std::size_t kLineWidth = 100;

class HelpFormatter : public CLI::FormatterBase {
public:
    explicit HelpFormatter(const CommandDefinition& definition) : m_spec(definition) {}

    std::string make_help(const CLI::App* app, std::string, CLI::AppFormatMode) const override
    {
        std::vector<std::pair<std::string, std::string>> arguments, options;
        for (const CLI::Option* option : app->get_options()) {
            if (option->get_positional()) {
                arguments.emplace_back(option->get_name(), option->get_description());
            } else {
                std::string name = option->get_name(false, true);
                if (option->get_expected_max() > 0) name += " " + option->get_type_name();
                options.emplace_back(std::move(name), option->get_description());
            }
        }
        std::size_t column = 0;
        for (const auto* list : {&arguments, &options}) {
            for (const auto& row : *list)
                column = std::max(column, row.first.size());
        }
        column = std::min<std::size_t>(column, 24) + 4;

        std::ostringstream out;
        out << "Usage: velmora-cli " << m_spec.synopsis << "\n\n" << Wrapped(m_spec.summary, 0, kLineWidth) << "\n";
        const auto section = [&](const char* title, const std::vector<std::pair<std::string, std::string>>& rows) {
            if (rows.empty()) return;
            out << "\n" << title << ":\n";
            for (const auto& [name, help] : rows) {
                std::string line = "  " + name;
                line += line.size() < column ? std::string(column - line.size(), ' ') : "\n" + std::string(column, ' ');
                out << line << Wrapped(help, column, kLineWidth - column) << "\n";
            }
        };
        section("Arguments", arguments);
        section("Options", options);
        if (!arguments.empty()) {
            out << "\nAfter \"--\", every word is an argument, even one that begins with \"-\".\n";
        }
        return out.str();
    }

private:
    const CommandDefinition& m_spec;
};

} // namespace

std::string Wrapped(const std::string& text, std::size_t indent, std::size_t width)
{
    std::string result;
    std::size_t lineLength = 0;
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        if (lineLength > 0 && lineLength + 1 + word.size() > width) {
            result += "\n" + std::string(indent, ' ');
            lineLength = 0;
        } else if (lineLength > 0) {
            result += ' ';
            ++lineLength;
        }
        result += word;
        lineLength += word.size();
    }
    return result;
}

void PrintOverview(std::ostream& out)
{
    out << "Usage: velmora-cli COMMAND [ARGS]\n\n"
           "Shows and changes the properties of files, packs and extracts archives,\n"
           "and writes shortcut files. Exit status: 0 success, 1 failure, 2 usage error.\n\n"
           "Commands:\n";
    for (const CommandDefinition& c : Commands()) {
        if (c.hidden) continue;
        out << "  velmora-cli " << c.synopsis << "\n      " << Wrapped(c.summary, 6, kLineWidth - 6) << "\n";
    }
    out << "\nLong zip, unzip, protect and gunzip runs show their progress on stderr when it is a\n"
           "terminal; --quiet keeps them silent.\n"
           "Run 'velmora-cli COMMAND --help' for one command, 'velmora-cli --version' for the version.\n";
}

std::shared_ptr<CLI::FormatterBase> MakeHelpFormatter(const CommandDefinition& definition)
{
    return std::make_shared<HelpFormatter>(definition);
}

} // namespace velmora::cli
