#include "cli/CliCommand.h"
#include "common/AsciiText.h"
#include "common/Errors.h"
#include "common/LanguageText.h"
#include "common/QuotedName.h"
#include "shortcut/LinkRequest.h"
#include "shortcut/ShellLinkWriter.h"

#include <optional>
#include <ostream>
#include <string_view>

namespace velmora::cli {

int RunLnk(const CommandArgs& args, CliContext& context)
{
    const std::optional<std::string> parameter = args.Value("--args");
    // The fields are trimmed of blanks at both ends, as the shortcut window trims its edit fields.
    const std::string target(TrimBlanks(args.arguments[0]));
    const std::string link(TrimBlanks(args.arguments[1]));
    if (target.empty() || link.empty()) return UsageError("lnk", "TARGET and LINK must not be empty", context);

    if (InspectLinkPath(link) == LinkPathState::OtherFile) {
        context.err << "velmora-cli lnk: " << QuotedInText(link)
                    << " exists and is not a shortcut; it was not replaced\n";
        return kExitFailed;
    }
    const std::string parameterText = parameter.value_or(std::string());
    if (const Result<void> saved = SaveShellLink(link, target, LinkArguments(TrimBlanks(parameterText))); !saved) {
        context.err << "velmora-cli lnk: " << ErrorText(saved.error(), kEnglish) << "\n";
        return kExitFailed;
    }
    context.out << "Link created: " << QuotedName(link) << "\n";
    return kExitOk;
}

} // namespace velmora::cli
