#include "cli/CliCommand.h"
#include "common/QuotedName.h"

#include "common/Errors.h"
#include "common/LanguageText.h"
#include "fileops/FileDateEdit.h"
#include "fileops/FileTarget.h"

#include <cstdio>
#include <ostream>

namespace velmora::cli {

namespace {
std::string IsoText(TDateTime value)
{
    const DateTimeParts p = DecodeDateTime(value);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute,
                  p.second);
    return text;
}
} // namespace

int RunTouch(const CommandArgs& args, CliContext& context)
{
    const std::string& path = args.arguments[0];
    const std::string& date = args.arguments[1];
    const std::optional<TDateTime> value = ParseIsoDateTime(date);
    if (!value) {
        return UsageError("touch", QuotedInText(date) + " is no date of the form YYYY-MM-DD[ HH:MM[:SS]]", context);
    }
    Platform& platform = context.platform;
    if (!IsExistingFile(path)) {
        context.err << "velmora-cli touch: " << QuotedInText(path) << " is no file: " << WhyNotA(path, PathKind::File)
                    << "\n";
        return kExitFailed;
    }
    const FileDateOutcome outcome =
        ApplyFileDate(path, *value, {*platform.times, *platform.attributes, *platform.usage});
    std::string problem;
    switch (outcome.result) {
    case FileDateResult::Stored:
        context.out << (outcome.readBack ? IsoText(*outcome.readBack) : IsoText(*StorableFileDate(*value))) << "\n";
        return kExitOk;
    case FileDateResult::OutOfRange:
        problem = "only dates from 1980 to 2107 can be stored; " + QuotedInText(path) + " is unchanged";
        break;
    case FileDateResult::ReadOnly:
        problem = QuotedInText(path) + " is read-only; its date is unchanged";
        break;
    case FileDateResult::InUse:
        problem = QuotedInText(path) + " is in use by another program; its date is unchanged";
        break;
    case FileDateResult::WriteFailed:
        problem = ErrorText(outcome.error, kEnglish);
        break;
    }
    context.err << "velmora-cli touch: " << problem << "\n";
    return kExitFailed;
}

} // namespace velmora::cli
