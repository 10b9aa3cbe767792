#include "common/ExecLauncher.h"

#include <algorithm>
#include <array>
#include <optional>

namespace velmora {

namespace {

std::string Lower(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

std::string BaseName(std::string_view path)
{
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// "python", "python3", "python3.11": a stem followed by digits and dots only.
bool IsVersionOf(std::string_view name, std::string_view stem)
{
    if (name.substr(0, stem.size()) != stem) return false;
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(stem.size()), name.end(),
                       [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
}

constexpr std::array kShells{"sh", "bash", "dash", "zsh", "ksh", "mksh", "csh", "tcsh", "fish", "busybox", "ash"};
constexpr std::array kInterpreters{"python", "pypy",   "perl",   "ruby",      "lua",    "luajit",
                                   "php",    "node",   "nodejs", "tclsh",     "wish",   "java",
                                   "mono",   "dotnet", "gjs",    "osascript", "Rscript"};
// Launchers that hand the file to another program, naming none themselves.
constexpr std::array kOpeners{"gio",       "xdg-open",    "gtk-launch", "exo-open",  "kde-open",
                              "kde-open5", "kioclient",   "kioclient5", "kfmclient", "mimeopen",
                              "see",       "run-mailcap", "gnome-open"};
// Wrappers that run the rest of the line, with options of their own in front of it.
constexpr std::array kWrappers{"env",
                               "nohup",
                               "setsid",
                               "nice",
                               "ionice",
                               "sudo",
                               "pkexec",
                               "dbus-launch",
                               "prime-run",
                               "gamemoderun",
                               "systemd-run",
                               "firejail",
                               "torsocks",
                               "flatpak",
                               "snap",
                               "flatpak-spawn",
                               "bwrap",
                               "chrt",
                               "taskset",
                               "stdbuf",
                               "timeout",
                               "xterm",
                               "x-terminal-emulator",
                               "gnome-terminal",
                               "konsole"};

template <std::size_t N> bool IsOneOf(std::string_view name, const std::array<const char*, N>& names)
{
    return std::any_of(names.begin(), names.end(), [&](const char* n) { return name == Lower(n); });
}

bool IsShell(std::string_view name)
{
    return IsOneOf(name, kShells);
}

bool IsInterpreter(std::string_view name)
{
    return std::any_of(kInterpreters.begin(), kInterpreters.end(),
                       [&](const char* stem) { return IsVersionOf(name, Lower(stem)); });
}

bool IsAssignment(std::string_view word)
{
    const std::size_t equals = word.find('=');
    return equals != std::string_view::npos && equals > 0 && word.front() != '-';
}

// Splits a shell command the simple way: blanks separate words, single and double quotes
// group them, a backslash escapes the next character. Nothing when the command uses shell
// syntax beyond one plain command (pipes, lists, substitutions, redirections).
std::optional<std::vector<std::string>> SplitShellCommand(std::string_view command)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (std::size_t i = 0; i < command.size(); ++i) {
        const char c = command[i];
        if (quote == '\'') {
            if (c == '\'') {
                quote = 0;
            } else {
                word += c;
            }
            continue;
        }
        if (c == '\\' && i + 1 < command.size()) {
            word += command[++i];
            inWord = true;
            continue;
        }
        if (quote == '"') {
            if (c == '"') {
                quote = 0;
            } else if (c == '$' || c == '`') {
                return std::nullopt;
            } else {
                word += c;
            }
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
            inWord = true;
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
            continue;
        }
        if (std::string_view(";|&<>()$`{}*?[").find(c) != std::string_view::npos) return std::nullopt;
        word += c;
        inWord = true;
    }
    if (quote != 0) return std::nullopt;
    if (inWord) words.push_back(word);
    // "exec prog" and leading assignments still name prog.
    std::size_t first = 0;
    while (first < words.size() && (words[first] == "exec" || IsAssignment(words[first])))
        ++first;
    words.erase(words.begin(), words.begin() + static_cast<std::ptrdiff_t>(first));
    // Field codes that a desktop entry put inside the command stand for the file.
    std::erase_if(words, [](const std::string& w) { return w.size() == 2 && w[0] == '%' && w[1] != '%'; });
    return words;
}

// Options of the wrappers that take the next word as their value.
bool TakesValue(std::string_view wrapper, std::string_view option)
{
    struct Entry {
        const char* wrapper;
        const char* options; // blank-separated
    };
    static constexpr Entry kEntries[] = {
        {"env", "-u --unset -C --chdir -S --split-string"},
        {"nice", "-n --adjustment"},
        {"ionice", "-c --class -n --classdata -p --pid"},
        {"sudo", "-u --user -g --group -C --close-from -D --chdir -h --host -p --prompt -r --role -t --type -U "
                 "--other-user -T --command-timeout"},
        {"pkexec", "--user"},
        {"systemd-run", "-u --unit -p --property -E --setenv -M --machine --slice --description -t --timer"},
        {"chrt", ""},
        {"timeout", "-s --signal -k --kill-after"},
        {"stdbuf", "-i -o -e"},
        {"xterm", "-title -T -geometry -g -fn -bg -fg -class -name"},
        {"bwrap", ""},
    };
    for (const Entry& entry : kEntries) {
        if (wrapper != entry.wrapper) continue;
        std::string_view list = entry.options;
        while (!list.empty()) {
            const std::size_t blank = list.find(' ');
            if (list.substr(0, blank) == option) return true;
            if (blank == std::string_view::npos) break;
            list.remove_prefix(blank + 1);
        }
    }
    return false;
}

} // namespace

bool IsLauncherProgram(std::string_view fileName)
{
    const std::string name = Lower(fileName);
    return IsShell(name) || IsInterpreter(name) || IsOneOf(name, kOpeners) || IsOneOf(name, kWrappers);
}

ExecProgram ResolveExecLauncher(const std::vector<std::string>& words)
{
    ExecProgram result;
    std::vector<std::string> rest = words;
    for (int depth = 0; depth < 16 && !rest.empty(); ++depth) {
        const std::string name = Lower(BaseName(rest.front()));
        if (!IsLauncherProgram(name)) {
            result.words = rest;
            return result;
        }
        result.launcher = BaseName(rest.front());
        std::vector<std::string> next;
        std::size_t i = 1;
        if (IsShell(name)) {
            // "sh -c 'command'": the command names the program; "sh script" runs a script.
            for (; i < rest.size() && !rest[i].empty() && rest[i].front() == '-'; ++i) {
                if (rest[i] != "--" && rest[i].find('c') != std::string::npos && rest[i][1] != '-') {
                    if (i + 1 >= rest.size()) return result;
                    const auto command = SplitShellCommand(rest[i + 1]);
                    if (!command || command->empty()) return result;
                    next = *command;
                    break;
                }
            }
            if (next.empty()) {
                if (i >= rest.size()) return result;
                result.words.assign(rest.begin() + static_cast<std::ptrdiff_t>(i), rest.end());
                result.script = true;
                return result;
            }
        } else if (IsInterpreter(name)) {
            // "python3 -m module", "python3 script.py", "java -jar app.jar"; "-c code" and
            // "-e code" name no program.
            for (; i < rest.size() && !rest[i].empty() && rest[i].front() == '-'; ++i) {
                const std::string& option = rest[i];
                if (option == "-c" || option == "-e" || option == "-E" || option == "--eval") return result;
                if ((option == "-m" || option == "-jar") && i + 1 < rest.size()) {
                    ++i;
                    break;
                }
            }
            if (i >= rest.size()) return result;
            result.words.assign(rest.begin() + static_cast<std::ptrdiff_t>(i), rest.end());
            result.script = true;
            return result;
        } else if (name == "flatpak" || name == "snap") {
            // "flatpak run [options] app.id": the program is the one of --command, if named.
            if (i >= rest.size() || rest[i] != "run") return result;
            std::string command;
            for (++i; i < rest.size() && !rest[i].empty() && rest[i].front() == '-'; ++i) {
                if (rest[i].rfind("--command=", 0) == 0) command = rest[i].substr(10);
                if (rest[i] == "--command" && i + 1 < rest.size()) command = rest[++i];
            }
            if (i >= rest.size()) return result;
            if (name == "snap") {
                // "snap run name" starts the snap's command of that name.
                next.assign(rest.begin() + static_cast<std::ptrdiff_t>(i), rest.end());
            } else if (!command.empty()) {
                next.push_back(command);
                next.insert(next.end(), rest.begin() + static_cast<std::ptrdiff_t>(i) + 1, rest.end());
            } else {
                return result;
            }
            result.words = next;
            return result;
        } else if (IsOneOf(name, kOpeners)) {
            return result;
        } else {
            // A wrapper: its options (and their values), assignments for env, then the
            // program. "env -S 'prog args'" carries the rest as one string.
            for (; i < rest.size(); ++i) {
                const std::string& word = rest[i];
                if (word == "--") {
                    ++i;
                    break;
                }
                if (name == "env" && (word == "-S" || word == "--split-string") && i + 1 < rest.size()) {
                    const auto split = SplitShellCommand(rest[i + 1]);
                    if (!split) return result;
                    next = *split;
                    next.insert(next.end(), rest.begin() + static_cast<std::ptrdiff_t>(i) + 2, rest.end());
                    break;
                }
                if (!word.empty() && word.front() == '-') {
                    if (TakesValue(name, word)) ++i;
                    continue;
                }
                if (name == "env" && IsAssignment(word)) continue;
                if ((name == "nice" || name == "chrt" || name == "taskset" || name == "timeout") &&
                    word.find_first_not_of("0123456789.xXabcdefABCDEF,-smhd") == std::string::npos) {
                    continue; // a priority, CPU mask or duration before the program
                }
                break;
            }
            if (next.empty())
                next.assign(rest.begin() + static_cast<std::ptrdiff_t>(std::min(i, rest.size())), rest.end());
        }
        rest = next;
    }
    return result;
}

std::string JoinExecWords(const std::vector<std::string>& words)
{
    std::string text;
    for (const std::string& word : words) {
        if (!text.empty()) text += ' ';
        if (word.find_first_of(" \t\"\\") == std::string::npos && !word.empty()) {
            text += word;
            continue;
        }
        text += '"';
        for (char c : word) {
            if (c == '"' || c == '\\') text += '\\';
            text += c;
        }
        text += '"';
    }
    return text;
}

} // namespace velmora
