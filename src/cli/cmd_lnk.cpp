#include "cli/CliCommand.h"
#include "common/AsciiText.h"
#include "common/QuotedName.h"
#include "shortcut/LinkRequest.h"
#include "shortcut/ShellLinkWriter.h"

#include <optional>
#include <ostream>
#include <string_view>

namespace velmora::cli {

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
            return UsageError("lnk", "unknown option " + QuotedInText(a), context);
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() != 2) return UsageError("lnk", "expects TARGET and LINK", context);
    // The fields are trimmed of blanks at both ends, as the shortcut window trims its edit fields.
    const std::string target(TrimBlanks(positional[0]));
    const std::string link(TrimBlanks(positional[1]));
    if (target.empty() || link.empty()) return UsageError("lnk", "TARGET and LINK must not be empty", context);

    if (InspectLinkPath(link) == LinkPathState::OtherFile) {
        context.err << "velmora-cli lnk: " << QuotedInText(link)
                    << " exists and is not a shortcut; it was not replaced\n";
        return kExitFailed;
    }
    const std::string parameterText = parameter.value_or(std::string());
    SaveShellLink(link, target, LinkArguments(TrimBlanks(parameterText)));
    context.out << "Link created: " << QuotedName(link) << "\n";
    return kExitOk;
}

} // namespace velmora::cli
