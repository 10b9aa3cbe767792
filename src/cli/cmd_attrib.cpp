#include "cli/CliCommand.h"
#include "common/QuotedName.h"

#include "common/Errors.h"
#include "common/LanguageText.h"
#include "fileops/AttributeEdit.h"
#include "fileops/FileTarget.h"
#include "platform/IFileAttributes.h"

#include <ostream>

namespace velmora::cli {

int RunAttrib(const CommandArgs& args, CliContext& context)
{
    const std::string& path = args.arguments[0];
    std::optional<std::uint32_t> wanted;
    if (args.arguments.size() == 2) {
        wanted = ParseAttributeLetters(args.arguments[1]);
        if (!wanted) {
            return UsageError("attrib",
                              "LETTERS are taken from A, R, H and S, or '-' for none, not " +
                                  QuotedInText(args.arguments[1]),
                              context);
        }
    }
    IFileAttributes* attributes = context.platform.attributes;
    if (attributes == nullptr) throw VelmoraError("attributes are not supported on this system");
    if (!IsExistingFile(path)) {
        context.err << "velmora-cli attrib: " << QuotedInText(path) << " is no file: " << WhyNotA(path, PathKind::File)
                    << "\n";
        return kExitFailed;
    }
    if (wanted && attributes->RefusalFor(path, *wanted) == AttributeRefusal::NameAlwaysHidden) {
        context.err << "velmora-cli attrib: " << QuotedInText(path)
                    << ": Hidden cannot be cleared: a name that begins with a dot is always hidden; nothing was "
                       "changed\n";
        return kExitFailed;
    }
    if (wanted) {
        if (const Result<void> written = attributes->WriteAttributes(path, *wanted); !written) {
            context.err << "velmora-cli attrib: " << ErrorText(written.error(), kEnglish) << "\n";
            return kExitFailed;
        }
    }
    const std::optional<std::uint32_t> now = attributes->ReadAttributes(path);
    if (!now) {
        const Error unread{Error::Kind::Io, path, 0, "cannot read the attributes of"};
        context.err << "velmora-cli attrib: " << ErrorText(unread, kEnglish) << "\n";
        return kExitFailed;
    }
    const std::uint32_t shown = *now & kSettableAttributes;
    context.out << AttributeLetters(shown) << "\n";
    if (wanted && shown != *wanted) {
        // A name that starts with a dot is hidden whatever its attributes say.
        context.err << "velmora-cli attrib: note: " << QuotedInText(path) << " reads back as "
                    << AttributeLetters(shown) << "\n";
    }
    return kExitOk;
}

} // namespace velmora::cli
