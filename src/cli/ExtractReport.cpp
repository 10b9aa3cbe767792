#include "cli/ExtractReport.h"

#include "archive/codecs/EntryDecoder.h"
#include "archive/zip/ZipIndex.h"
#include "archive/zip/ZipNames.h"
#include "common/Errors.h"
#include "common/LanguageText.h"
#include "common/QuotedName.h"

#include <map>
#include <optional>
#include <ostream>
#include <set>

namespace velmora::cli {

namespace {

bool Contains(const std::string& text, const char* part)
{
    return text.find(part) != std::string::npos;
}

// "'name': cause" -> name, cause; other texts have no entry name.
bool SplitEntryText(const std::string& text, std::string& name, std::string& cause)
{
    if (text.size() < 4 || text.front() != '\'') {
        return false;
    }
    const std::size_t close = text.find("': ");
    if (close == std::string::npos) {
        return false;
    }
    name = text.substr(1, close - 1);
    cause = text.substr(close + 3);
    return true;
}

// Why a refused entry was skipped: the name rule it breaks, or else the reader's own
// text for it (an entry sharing its data with another).
std::string RefusalText(const std::string& name, const std::vector<std::string>& failures)
{
    const std::string reason = archive::UnsafeNameReason(name);
    if (!reason.empty()) {
        return "unsafe name: " + reason;
    }
    for (const std::string& text : failures) {
        std::string failed;
        std::string cause;
        if (SplitEntryText(text, failed, cause) && failed == name) {
            return cause;
        }
    }
    return "refused";
}

// The first entry of that name, in full (empty when there is none).
std::optional<ZipEntryInfo> FindEntry(const archive::ZipIndex& index, const std::string& name)
{
    for (std::size_t i = 0; i < index.size(); ++i) {
        if (index.Name(i) == name) {
            return index.Entry(i);
        }
    }
    return std::nullopt;
}

} // namespace

std::string ExplainEntryFailure(const ZipEntryInfo* entry, const std::string& readerText)
{
    if (entry) {
        // Strong encryption (bit 6) and AES (method 99) are told apart from a wrong
        // password or an unknown method: no password would help.
        if (entry->encrypted && (entry->flags & 0x0040)) {
            return "uses PKWARE strong encryption, which is not supported";
        }
        if (entry->method == 99) {
            // The cipher is read; what may be missing is the method inside it.
            return Contains(readerText, "is not supported") ? "is AES-encrypted and uses " + readerText
                   : Contains(readerText, "encrypted") || Contains(readerText, "password")
                       ? "is AES-encrypted: " + std::string(Contains(readerText, "wrong")
                                                                ? "wrong password"
                                                                : "give the password with --password")
                       : "is AES-encrypted: " + readerText;
        }
        if (Contains(readerText, "is not supported") && entry->method != 0 && entry->method != 8) {
            return "is compressed with " + MethodText(entry->method) + ", which is not supported";
        }
    }
    if (Contains(readerText, "wrong or missing password")) {
        return "wrong password";
    }
    if (Contains(readerText, "the entry is encrypted")) {
        return "is encrypted: give the password with --password";
    }
    if (Contains(readerText, "links are not extracted")) {
        return "is a link: links are not extracted";
    }
    if (Contains(readerText, "CRC-32 mismatch")) {
        return "is damaged: CRC-32 mismatch";
    }
    return readerText;
}

int ReportExtraction(const std::string& command, const std::filesystem::path& archive, const ZipExtractResult& result,
                     CliContext& context)
{
    const std::string prefix = "velmora-cli " + command + ": ";
    for (const std::string& warning : result.warnings) {
        context.err << prefix << "warning: " << QuotedName(warning) << "\n";
    }
    // The compact index: an archive of a million entries is read again without a full
    // record per entry.
    archive::ZipIndex listing;
    if (const Result<void> opened = archive::OpenZipIndex(archive, listing); !opened) {
        // The archive itself could not be read: nothing was extracted.
        const Error& shown = result.outcome ? opened.error() : result.outcome.error();
        context.err << prefix << QuotedName(ErrorText(shown, kEnglish)) << "\n";
        return kExitFailed;
    }
    // Each failure as the reader words it: "'<entry or path>': <cause>", or a text of its own.
    std::vector<std::string> failures;
    for (const Error& failure : result.failures)
        failures.push_back(ErrorText(failure, kEnglish));
    const std::set<std::string> rejected(result.rejected.begin(), result.rejected.end());
    for (const std::string& name : result.rejected) {
        const std::optional<ZipEntryInfo> entry = FindEntry(listing, name);
        const bool link = entry && ((entry->externalAttributes >> 16) & 0170000u) == 0120000u;
        context.err << prefix << QuotedInText(name)
                    << " skipped: " << (link ? "links are not extracted" : RefusalText(name, failures)) << "\n";
    }
    std::size_t failed = 0;
    const std::size_t skipped = result.rejected.size();
    for (const std::string& text : failures) {
        std::string name;
        std::string cause;
        if (SplitEntryText(text, name, cause)) {
            if (rejected.count(name)) {
                continue;
            }
            const std::optional<ZipEntryInfo> entry = FindEntry(listing, name);
            context.err << prefix << QuotedInText(name) << " " << ExplainEntryFailure(entry ? &*entry : nullptr, cause)
                        << "\n";
        } else {
            context.err << prefix << QuotedName(text) << "\n";
        }
        ++failed;
    }
    context.err << prefix << result.filesWritten << (result.filesWritten == 1 ? " file" : " files") << " extracted";
    if (skipped > 0) {
        context.err << ", " << skipped << (skipped == 1 ? " entry" : " entries") << " skipped";
    }
    if (failed > 0) {
        context.err << ", " << failed << (failed == 1 ? " entry" : " entries") << " failed";
    }
    context.err << "\n";
    return result.outcome ? kExitOk : kExitFailed;
}

} // namespace velmora::cli
