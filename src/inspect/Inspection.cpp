#include "inspect/Inspection.h"

#include "common/AsciiText.h"
#include "common/Errors.h"
#include "common/Utf8Path.h"
#include "inspect/InspectRules.h"
#include "platform/IAssociations.h"
#include "platform/IFileAttributes.h"
#include "platform/IFileTimes.h"
#include "platform/IFileUsage.h"
#include "platform/ILocaleFormats.h"

#include <filesystem>

namespace velmora {

namespace {
namespace fs = std::filesystem;

// Windows path rules keep "\" and ":" as separators; a backend with only "/" runs
// programs without extensions.
bool ProgramsCarryNoExtension(const PathRules& rules)
{
    return rules.separators == "/";
}
} // namespace

Result<AssociatedExecutable> FindAssociatedExecutable(const std::string& path, Platform& platform)
{
    AssociatedExecutable result;
    if (TrimBlanks(path).empty()) {
        result.code = kFindNoAssociation;
        return result;
    }
    const PathRules& rules = platform.environment->Paths();
    result.file = rules.FileName(path);
    result.folder = rules.FolderWithSeparator(path);
    const ExecutableLookup lookup = platform.associations->FindExecutable(result.file, result.folder);
    result.asked = true;
    result.code = lookup.code;
    if (lookup.code == kFindOutOfResources) {
        // The system's words for it, as the lookup gives no more.
        return Fail(Error{Error::Kind::Io, path, 0, "Zu wenig Arbeitsspeicher"});
    }
    if (lookup.code > 32) {
        result.executable = lookup.executable;
    }
    return result;
}

std::string ReadDefaultCommand(const std::string& extensionWithoutDot, Platform& platform)
{
    IAssociations& associations = *platform.associations;
    const std::string raw = IsWindows10(associations.ProductName())
                                ? associations.ReadOpenWithListCommand(extensionWithoutDot)
                                : associations.ReadShellOpenCommand(extensionWithoutDot);
    return CleanCommandText(raw);
}

TDateTime LastAccessThroughDos(std::optional<TDateTime> local)
{
    if (!local) {
        return 0;
    }
    const std::uint32_t packed = PackDosDateTime(DecodeDateTime(*local));
    return packed == 0 ? 0 : EncodeDateTime(UnpackDosDateTime(packed));
}

Result<InspectedFile> GatherInspection(const std::string& path, Platform& platform)
{
    InspectedFile record;
    record.path = path;
    const PathRules& rules = platform.environment->Paths();
    const LocaleFormats formats = platform.localeFormats->Formats();

    // The file's own state is read first: finding the program may read the file's
    // content to learn its type, which can move its last access time.
    std::error_code ec;
    const fs::file_status status = path.empty() ? fs::file_status() : fs::status(PathFromUtf8(path), ec);
    const bool isFile = !ec && fs::exists(status) && !fs::is_directory(status);
    if (isFile && fs::is_regular_file(status)) {
        const std::uintmax_t size = fs::file_size(PathFromUtf8(path), ec);
        record.sizeBytes = ec ? 0 : static_cast<std::uint64_t>(size);
    }
    if (isFile) {
        record.modified = platform.times->ModificationTime(path).value_or(0);
    }
    record.lastAccess = LastAccessThroughDos(path.empty() ? std::nullopt : platform.times->LastAccessTime(path));
    record.attributes = path.empty() ? std::nullopt : platform.attributes->ReadAttributes(path);

    record.inUse = platform.usage->IsFileInUse(path);
    record.extension = rules.Extension(path);

    const Result<AssociatedExecutable> found = FindAssociatedExecutable(path, platform);
    if (!found) return Fail(found.error());
    const AssociatedExecutable& executable = *found;
    record.lookupCode = executable.code;
    record.lookupFile = executable.file;
    record.lookupFolder = executable.folder;
    record.userChoiceApplication = executable.executable;

    const std::string extensionWithoutDot = record.extension.empty() ? std::string() : record.extension.substr(1);
    record.defaultApplicationName =
        DefaultAppName(ReadDefaultCommand(extensionWithoutDot, platform), rules, ProgramsCarryNoExtension(rules));

    const SizeText size = FileSizeText(record.sizeBytes, formats.decimalSeparator);
    record.sizeNumber = size.number;
    record.sizeUnit = size.unit;
    record.modifiedText = FormatDateTimeText(record.modified, formats);
    record.lastAccessText = FormatDateTimeText(record.lastAccess, formats);

    const std::uint32_t word = record.attributes.value_or(0);
    record.archive = (word & kAttributeArchive) != 0;
    record.readOnly = (word & kAttributeReadOnly) != 0;
    record.hidden = (word & kAttributeHidden) != 0;
    record.system = (word & kAttributeSystem) != 0;
    return record;
}

} // namespace velmora
