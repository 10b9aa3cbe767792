#include "platform/posix/DesktopEntry.h"

namespace velmora {

namespace {
// Resolves the escapes of a desktop-file string value: \s \n \t \r \\ (others stay).
std::string UnescapeValue(std::string_view value)
{
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            const char next = value[i + 1];
            const char* replacement = next == 's'    ? " "
                                      : next == 'n'  ? "\n"
                                      : next == 't'  ? "\t"
                                      : next == 'r'  ? "\r"
                                      : next == '\\' ? "\\"
                                                     : nullptr;
            if (replacement) {
                out += replacement;
                ++i;
                continue;
            }
        }
        out += value[i];
    }
    return out;
}

bool IsTrue(std::string_view value)
{
    return value == "true" || value == "1";
}
} // namespace

std::vector<std::string> SplitList(std::string_view value)
{
    std::vector<std::string> items;
    std::size_t start = 0;
    while (start <= value.size()) {
        std::size_t end = value.find(';', start);
        if (end == std::string_view::npos) {
            end = value.size();
        }
        std::string_view item = value.substr(start, end - start);
        while (!item.empty() && (item.front() == ' ' || item.front() == '\t')) {
            item.remove_prefix(1);
        }
        while (!item.empty() && (item.back() == ' ' || item.back() == '\t')) {
            item.remove_suffix(1);
        }
        if (!item.empty()) {
            items.emplace_back(item);
        }
        start = end + 1;
    }
    return items;
}

std::optional<DesktopEntry> ParseDesktopEntry(std::string_view content)
{
    DesktopEntry entry;
    bool found = false;
    ForEachIniEntry(content, [&](std::string_view group, std::string_view key, std::string_view value) {
        if (group != "Desktop Entry") {
            return; // actions and other groups
        }
        found = true;
        if (key == "Type") {
            entry.type = value;
        } else if (key == "Name") {
            entry.name = UnescapeValue(value);
        } else if (key == "Exec") {
            entry.exec = UnescapeValue(value);
        } else if (key == "TryExec") {
            entry.tryExec = UnescapeValue(value);
        } else if (key == "Hidden") {
            entry.hidden = IsTrue(value);
        } else if (key == "MimeType") {
            entry.mimeTypes = SplitList(value);
        }
    });
    if (!found) {
        return std::nullopt;
    }
    return entry;
}

bool IsLaunchable(const DesktopEntry& entry)
{
    return (entry.type.empty() || entry.type == "Application") && !entry.hidden && !SplitExec(entry.exec).empty();
}

std::vector<std::string> SplitExec(std::string_view exec)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    bool onlyFieldCode = false; // the word so far is exactly one field code
    auto finish = [&] {
        if (inWord && !onlyFieldCode) {
            words.push_back(word);
        }
        word.clear();
        inWord = false;
        onlyFieldCode = false;
    };
    for (std::size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (quoted) {
            if (c == '\\' && i + 1 < exec.size() &&
                (exec[i + 1] == '"' || exec[i + 1] == '`' || exec[i + 1] == '$' || exec[i + 1] == '\\')) {
                word += exec[++i];
            } else if (c == '"') {
                quoted = false;
            } else {
                word += c;
            }
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\n') {
            finish();
            continue;
        }
        if (c == '"') {
            quoted = true;
            inWord = true;
            onlyFieldCode = false;
            continue;
        }
        if (c == '%' && i + 1 < exec.size()) {
            const char code = exec[++i];
            if (code == '%') {
                word += '%';
                inWord = true;
                onlyFieldCode = false;
            } else {
                // A field code stands for values the program would get (files, URLs, the
                // icon, the name); none are passed here, so it disappears.
                if (!inWord) {
                    onlyFieldCode = true;
                }
                inWord = true;
            }
            continue;
        }
        word += c;
        inWord = true;
        onlyFieldCode = false;
    }
    if (quoted) {
        return {};
    }
    finish();
    return words;
}

} // namespace velmora
