#include "archive/gzip/GzipReader.h"
#include "cli/CliCommand.h"
#include "cli/ProgressLine.h"
#include "common/Errors.h"
#include "common/LanguageText.h"
#include "common/QuotedName.h"
#include "common/Utf8Path.h"
#include "platform/IFileAttributes.h"

#include <ostream>

namespace velmora::cli {

int RunGunzip(const CommandArgs& args, CliContext& context)
{
    const std::filesystem::path file = PathFromUtf8(args.arguments[0]);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
        context.err << "velmora-cli gunzip: cannot read " << QuotedInText(Utf8FromPath(file)) << ": "
                    << WhyNotA(Utf8FromPath(file), PathKind::File) << "\n";
        return kExitFailed;
    }
    GunzipOptions options;
    IFileAttributes* service = context.platform.attributes;
    options.clearAttributes = [service](const std::filesystem::path& path) {
        static_cast<void>(service->WriteAttributes(Utf8FromPath(path), 0)); // failures are ignored
    };
    options.attributes = [service](const std::filesystem::path& path) {
        return service->ReadAttributes(Utf8FromPath(path));
    };
    ProgressLine progress(context);
    options.progress = progress.Callback();
    const GunzipResult result = GUnzipToFile(file, options);
    progress.Finish();
    if (!result.outcome) {
        context.err << "velmora-cli gunzip: " << QuotedInText(Utf8FromPath(file)) << ": "
                    << QuotedName(ErrorText(result.outcome.error(), kEnglish)) << "\n";
        return kExitFailed;
    }
    context.out << Utf8FromPath(result.output) << "\n";
    return kExitOk;
}

} // namespace velmora::cli
