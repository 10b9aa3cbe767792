#include "cli/CliCommand.h"
#include "shortcut/LinkRequest.h"
#include "shortcut/ShellLinkWriter.h"

#include <optional>
#include <ostream>
#include <string_view>

namespace velmora::cli {

namespace {
// The fields are trimmed as the shortcut window trims its edit fields.
std::string Trimmed(std::string_view text)
{
    constexpr std::string_view blanks = " \t\n\v\f\r";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    const std::size_t last = text.find_last_not_of(blanks);
    return std::string(text.substr(first, last - first + 1));
}
} // namespace

int RunLnk(const std::vector<std::string>& args, CliContext& context)
{
    std::vector<std::string> positional;
    std::optional<std::string> parameter;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsEnded) {
            positional.push_back(a);
        } else if (a == "--") {
            optionsEnded = true;
        } else if (a == "--args") {
            if (i + 1 >= args.size()) return UsageError("lnk", "--args needs a value", context);
            parameter = args[++i];
        } else if (a.rfind("--args=", 0) == 0) {
            parameter = a.substr(7);
        } else if (a.size() > 1 && a[0] == '-') {
            return UsageError("lnk", "unknown option '" + a + "'", context);
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() != 2) return UsageError("lnk", "expects TARGET and LINK", context);
    const std::string target = Trimmed(positional[0]);
    const std::string link = Trimmed(positional[1]);
    if (target.empty() || link.empty()) return UsageError("lnk", "TARGET and LINK must not be empty", context);

    if (InspectLinkPath(link) == LinkPathState::OtherFile) {
        context.err << "velmora-cli lnk: '" << link << "' exists and is not a shortcut; it was not replaced\n";
        return kExitFailed;
    }
    SaveShellLink(link, target, LinkArguments(Trimmed(parameter.value_or(std::string()))));
    context.out << "Link created: " << link << "\n";
    return kExitOk;
}

} // namespace velmora::cli
