#include "cli/CliCommand.h"
#include "cli/JsonText.h"
#include "common/QuotedName.h"

#include "common/Errors.h"
#include "common/LanguageText.h"
#include "common/Utf.h"
#include "common/Utf8Path.h"
#include "inspect/Inspection.h"
#include "platform/IAssociations.h"
#include "platform/IFileUsage.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <system_error>

#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace velmora::cli {

namespace {

std::string IsoText(TDateTime value)
{
    const DateTimeParts p = DecodeDateTime(value);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute,
                  p.second);
    return text;
}

const char* Bool(bool value)
{
    return value ? "true" : "false";
}

std::string AttributeText(const InspectedFile& r)
{
    std::string text;
    const std::pair<bool, const char*> names[] = {
        {r.archive, "Archive"}, {r.readOnly, "Read only"}, {r.hidden, "Hidden"}, {r.system, "System"}};
    for (const auto& [set, name] : names) {
        if (set) {
            text += text.empty() ? "" : ", ";
            text += name;
        }
    }
    return text.empty() ? "none" : text;
}

// The in-use line: "yes" only where another process holds the file or a lock refuses
// us, "no" only where the file was taken for exclusive use; otherwise why no test was made.
std::string UsageText(const UsageCheck& check)
{
    switch (check.state) {
    case UsageCheck::State::InUse:
        return "yes";
    case UsageCheck::State::Free:
        return "no";
    case UsageCheck::State::Unchecked:
        break;
    }
    if (check.folder) return "not checked: a folder cannot be opened for exclusive use";
    if (check.readOnly) return "not checked: the file is read-only, so it cannot be opened for writing; no holder seen";
    return std::string("not checked: it cannot be opened for writing (") + std::strerror(check.reason) +
           "); no holder seen";
}

void PrintJson(const InspectedFile& r, const UsageCheck& usage, std::ostream& out)
{
    out << "{\"path\":" << JsonString(r.path) << ",\"extension\":" << JsonString(r.extension)
        << ",\"inUse\":" << Bool(usage.state == UsageCheck::State::InUse)
        << ",\"inUseChecked\":" << Bool(usage.state != UsageCheck::State::Unchecked)
        << ",\"userChoiceApplication\":" << JsonString(r.userChoiceApplication)
        << ",\"defaultApplication\":" << JsonString(r.defaultApplicationName)
        << ",\"sizeNumber\":" << JsonString(r.sizeNumber) << ",\"sizeUnit\":" << JsonString(r.sizeUnit)
        << ",\"modified\":" << JsonString(IsoText(r.modified))
        << ",\"lastAccess\":" << JsonString(IsoText(r.lastAccess)) << ",\"archive\":" << Bool(r.archive)
        << ",\"readOnly\":" << Bool(r.readOnly) << ",\"hidden\":" << Bool(r.hidden) << ",\"system\":" << Bool(r.system)
        << "}\n";
}

void PrintText(const InspectedFile& r, const UsageCheck& usage, std::ostream& out)
{
    out << "Path:                " << QuotedName(r.path) << "\n"
        << "Extension:           " << QuotedName(r.extension) << "\n"
        << "In use:              " << UsageText(usage) << "\n"
        << "Application:         " << QuotedName(r.userChoiceApplication) << "\n"
        << "Default application: " << QuotedName(r.defaultApplicationName) << "\n"
        << "Size:                " << r.sizeNumber << r.sizeUnit << "\n"
        << "Modified:            " << r.modifiedText << "\n"
        << "Last access:         " << r.lastAccessText << "\n"
        << "Attributes:          " << AttributeText(r) << "\n";
}

} // namespace

int RunInspect(const CommandArgs& args, CliContext& context)
{
    const bool json = args.Has("--json");

    // A path that names nothing is a failure with its reason, and no record claims
    // anything about it.
    const std::string& path = args.arguments.front();
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(PathFromUtf8(path), ec);
    if (path.empty() || ec || status.type() == std::filesystem::file_type::not_found) {
        const int err = !path.empty() && ec ? ec.value() : ENOENT;
        context.err << "velmora-cli inspect: " << ErrorText(ErrorFromErrno(err, path, "cannot inspect"), kEnglish)
                    << "\n";
        return kExitFailed;
    }

    Result<InspectedFile> gathered = GatherInspection(path, context.platform);
    if (!gathered) {
        context.err << "velmora-cli inspect: " << ErrorText(gathered.error(), kEnglish) << "\n";
        return kExitFailed;
    }
    const InspectedFile record = std::move(gathered).value();
    if (record.lookupCode == kFindFileNotFound) {
        context.err << "File not found: \"" << QuotedName(record.lookupFile) << "\" .\n";
    } else if (record.lookupCode == kFindPathNotFound) {
        context.err << "Path \"" << QuotedName(record.lookupFolder) << "\" not found.\n";
    } else if (record.lookupCode == kFindBadFormat) {
        context.err << "Invalid Executable\n";
    }
    const UsageCheck usage = context.platform.usage->CheckUsage(path);
    if (json) {
        PrintJson(record, usage, context.out);
    } else {
        PrintText(record, usage, context.out);
#if !defined(_WIN32)
        // The Linux in-use test cannot see every holder; the Windows one is exact.
        if (usage.state != UsageCheck::State::InUse && geteuid() != 0) {
            context.err
                << "note: where the file system grants no leases, files that other users' processes hold open are "
                   "only seen when run as root\n";
        }
#endif
    }
    // The record is printed either way; a path that names nothing is a failure.
    return record.attributes ? kExitOk : kExitFailed;
}

} // namespace velmora::cli
