#include "cli/Completions.h"
#include "cli/CliCommand.h"
#include "cli/CommandDefinition.h"

#include <algorithm>
#include <ostream>
#include <string>

namespace velmora::cli {

namespace {

// Every option a command takes, as the parser adds them.
std::vector<OptionDefinition> AllOptions(const CommandDefinition& command)
{
    std::vector<OptionDefinition> options = command.options;
    options.push_back({"--quiet", nullptr, command.showsProgress ? "show no progress line" : "accepted and ignored"});
    options.push_back({"--help", nullptr, "print this help and exit"});
    return options;
}

std::string Join(const std::vector<const char*>& words, const char* separator)
{
    std::string text;
    for (const char* word : words)
        text += (text.empty() ? "" : separator) + std::string(word);
    return text;
}

// The first clause of a help text, for the one-line descriptions shells show.
std::string Brief(const std::string& help)
{
    const std::string text = help.substr(0, std::min(help.find_first_of(";:("), help.find(". ")));
    return text.substr(0, text.find_last_not_of(' ') + 1);
}

// text inside single quotes, for bash, zsh and fish alike.
std::string Quoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

const char* KindName(WordKind kind)
{
    switch (kind) {
    case WordKind::File:
        return "file";
    case WordKind::Folder:
        return "folder";
    case WordKind::Path:
        return "path";
    case WordKind::Text:
        break;
    }
    return "text";
}

void WriteBash(std::ostream& out)
{
    std::string names;
    for (const CommandDefinition& c : Commands()) {
        if (!c.hidden) names += std::string(names.empty() ? "" : " ") + c.name;
    }
    out << "# bash completion for velmora-cli; made by 'velmora-cli completions bash'.\n"
           "_velmora_cli() {\n"
           "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} at=$((COMP_CWORD - 1))\n"
           "    COMPREPLY=()\n"
           "    # \"--links=in\" comes as \"--links\" \"=\" \"in\".\n"
           "    if [[ $prev == = ]]; then prev=${COMP_WORDS[COMP_CWORD-2]}; at=$((COMP_CWORD - 2)); fi\n"
           "    if [[ $cur == = ]]; then cur=''; prev=${COMP_WORDS[COMP_CWORD-1]}; at=$((COMP_CWORD - 1)); fi\n"
           "    if ((COMP_CWORD == 1)); then\n"
           "        COMPREPLY=($(compgen -W '"
        << names
        << " --help --version' -- \"$cur\"))\n"
           "        return\n"
           "    fi\n"
           "    local options='' valued='' kinds='' repeats=0 choices=''\n"
           "    case ${COMP_WORDS[1]} in\n";
    for (const CommandDefinition& c : Commands()) {
        if (c.hidden) continue;
        std::vector<const char*> options, valued, kinds;
        for (const OptionDefinition& o : AllOptions(c)) {
            options.push_back(o.name);
            if (o.valueName) valued.push_back(o.name);
        }
        for (const ArgumentDefinition& a : c.arguments)
            kinds.push_back(KindName(a.kind));
        out << "    " << c.name << ")\n        options='" << Join(options, " ") << "' valued='" << Join(valued, " ")
            << "' kinds='" << Join(kinds, " ") << "' repeats=" << (c.maxArguments > c.arguments.size() ? 1 : 0) << "\n";
        for (const OptionDefinition& o : c.options) {
            if (!o.choices.empty())
                out << "        [[ $prev == " << o.name << " ]] && choices='" << Join(o.choices, " ") << "'\n";
        }
        out << "        ;;\n";
    }
    out << "    *) return ;;\n"
           "    esac\n"
           "    if [[ -n $choices ]]; then\n"
           "        COMPREPLY=($(compgen -W \"$choices\" -- \"$cur\"))\n"
           "        return\n"
           "    fi\n"
           "    # The value of an option: free text.\n"
           "    [[ \" $valued \" == *\" $prev \"* && $at -ge 2 ]] && return\n"
           "    # Which argument the word is: options and their values do not count, and after\n"
           "    # \"--\" every word is an argument.\n"
           "    local i word index=0 ended=0\n"
           "    for ((i = 2; i < COMP_CWORD; i++)); do\n"
           "        word=${COMP_WORDS[i]}\n"
           "        if ((ended)); then\n"
           "            index=$((index + 1))\n"
           "        elif [[ $word == -- ]]; then\n"
           "            ended=1\n"
           "        elif [[ $word == -* ]]; then\n"
           "            [[ \" $valued \" == *\" $word \"* && ${COMP_WORDS[i+1]} != = ]] && i=$((i + 1))\n"
           "            [[ ${COMP_WORDS[i+1]} == = ]] && i=$((i + 2))\n"
           "        else\n"
           "            index=$((index + 1))\n"
           "        fi\n"
           "    done\n"
           "    if ((!ended)) && [[ $cur == -* ]]; then\n"
           "        COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
           "        return\n"
           "    fi\n"
           "    local -a named=($kinds)\n"
           "    local kind=${named[index]}\n"
           "    ((repeats)) && [[ -z $kind ]] && kind=${named[-1]}\n"
           "    case $kind in\n"
           "    folder) COMPREPLY=($(compgen -d -- \"$cur\")) ;;\n"
           "    file | path) COMPREPLY=($(compgen -f -- \"$cur\")) ;;\n"
           "    esac\n"
           "}\n"
           "complete -o filenames -F _velmora_cli velmora-cli\n";
}

std::string ZshAction(WordKind kind)
{
    switch (kind) {
    case WordKind::Folder:
        return "_files -/";
    case WordKind::File:
    case WordKind::Path:
        return "_files";
    case WordKind::Text:
        break;
    }
    return " ";
}

// Brackets and colons end a field of an _arguments definition.
std::string ZshEscaped(const std::string& text)
{
    std::string escaped;
    for (char c : text) {
        if (c == '[' || c == ']' || c == ':' || c == '\\') escaped += '\\';
        escaped += c;
    }
    return escaped;
}

void WriteZsh(std::ostream& out)
{
    out << "#compdef velmora-cli\n"
           "# zsh completion for velmora-cli; made by 'velmora-cli completions zsh'.\n"
           "_velmora-cli() {\n"
           "    local -a commands\n"
           "    commands=(\n";
    for (const CommandDefinition& c : Commands()) {
        if (!c.hidden) out << "        " << Quoted(std::string(c.name) + ":" + Brief(c.summary)) << "\n";
    }
    out << "    )\n"
           "    if ((CURRENT == 2)); then\n"
           "        _describe -t commands 'velmora-cli command' commands\n"
           "        _arguments '--help[list the commands]' '--version[print the version]'\n"
           "        return\n"
           "    fi\n"
           "    local command=${words[2]}\n"
           "    shift words\n"
           "    ((CURRENT--))\n"
           "    case $command in\n";
    for (const CommandDefinition& c : Commands()) {
        if (c.hidden) continue;
        out << "    " << c.name << ")\n        _arguments -S";
        for (const OptionDefinition& o : AllOptions(c)) {
            std::string definition =
                std::string(o.name) + (o.valueName ? "=" : "") + "[" + ZshEscaped(Brief(o.help)) + "]";
            if (o.valueName) {
                definition += ":" + ZshEscaped(o.valueName) + ":";
                definition += o.choices.empty() ? " " : "(" + Join(o.choices, " ") + ")";
            }
            out << " \\\n            " << Quoted(definition);
        }
        for (std::size_t i = 0; i < c.arguments.size(); ++i) {
            const ArgumentDefinition& a = c.arguments[i];
            const bool repeats = i + 1 == c.arguments.size() && c.maxArguments > c.arguments.size();
            const bool optional = i >= c.minArguments;
            std::string definition = std::string(repeats ? "*" : optional ? "::" : ":");
            if (repeats) definition += ":";
            definition += ZshEscaped(a.name) + ":" + ZshAction(a.kind);
            out << " \\\n            " << Quoted(definition);
        }
        out << "\n        ;;\n";
    }
    out << "    esac\n"
           "}\n"
           "_velmora-cli \"$@\"\n";
}

void WriteFish(std::ostream& out)
{
    out << "# fish completion for velmora-cli; made by 'velmora-cli completions fish'.\n"
           "complete -c velmora-cli -f\n"
           "complete -c velmora-cli -n __fish_use_subcommand -l help -d 'list the commands'\n"
           "complete -c velmora-cli -n __fish_use_subcommand -l version -d 'print the version'\n";
    for (const CommandDefinition& c : Commands()) {
        if (c.hidden) continue;
        const std::string name = c.name;
        out << "complete -c velmora-cli -n __fish_use_subcommand -a " << name << " -d " << Quoted(Brief(c.summary))
            << "\n";
        const std::string when = " -n '__fish_seen_subcommand_from " + name + "'";
        for (const OptionDefinition& o : AllOptions(c)) {
            out << "complete -c velmora-cli" << when << " -l " << std::string(o.name).substr(2);
            if (o.valueName) out << " -x";
            if (!o.choices.empty()) out << " -a " << Quoted(Join(o.choices, " "));
            out << " -d " << Quoted(Brief(o.help)) << "\n";
        }
        bool files = false, folders = false;
        for (const ArgumentDefinition& a : c.arguments) {
            files = files || a.kind == WordKind::File || a.kind == WordKind::Path;
            folders = folders || a.kind == WordKind::Folder;
        }
        if (files) {
            out << "complete -c velmora-cli" << when << " -F\n";
        } else if (folders) {
            out << "complete -c velmora-cli" << when << " -a '(__fish_complete_directories)'\n";
        }
    }
}

} // namespace

bool WriteCompletionScript(std::string_view shell, std::ostream& out)
{
    if (shell == "bash") {
        WriteBash(out);
    } else if (shell == "zsh") {
        WriteZsh(out);
    } else if (shell == "fish") {
        WriteFish(out);
    } else {
        return false;
    }
    return true;
}

int RunCompletions(const CommandArgs& args, CliContext& context)
{
    if (!WriteCompletionScript(args.arguments[0], context.out))
        return UsageError("completions", "expects one SHELL: bash, zsh or fish", context);
    return kExitOk;
}

} // namespace velmora::cli
