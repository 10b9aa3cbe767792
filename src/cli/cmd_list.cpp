#include "archive/codecs/EntryDecoder.h"
#include "archive/crypto/WinZipAes.h"
#include "archive/zip/ZipReader.h"
#include "cli/CliCommand.h"
#include "cli/JsonText.h"
#include "common/QuotedName.h"
#include "common/Utf8Path.h"

#include <cstdio>
#include <ostream>

namespace velmora::cli {

namespace {

// The MS-DOS time of an entry as "YYYY-MM-DD HH:MM:SS" (no time zone: the field has none).
std::string DosText(std::uint32_t dos)
{
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", 1980 + (dos >> 25), (dos >> 21) & 15u,
                  (dos >> 16) & 31u, (dos >> 11) & 31u, (dos >> 5) & 63u, (dos & 31u) * 2);
    return text;
}

struct Row {
    std::string method;
    std::string encryption;
};

Row Describe(const ZipEntryInfo& e)
{
    Row row;
    std::uint16_t method = e.method;
    if (e.method == zipmethod::kAes) {
        if (const auto aes = FindAesExtra(e.extra)) {
            method = aes->method;
            row.encryption = "AES-" + std::to_string(AesKeySize(aes->strength) * 8);
        } else {
            row.encryption = "AES (damaged field)";
        }
    } else if (e.encrypted) {
        row.encryption = (e.flags & 0x0040) ? "PKWARE strong" : "ZipCrypto";
    }
    row.method = MethodName(method);
    if (row.method.empty()) row.method = std::to_string(method);
    return row;
}

} // namespace

int RunList(const CommandArgs& args, CliContext& context)
{
    const bool json = args.Has("--json");
    const ZipListing listing = ListZipArchive(PathFromUtf8(args.arguments[0]));
    if (!listing.ok) {
        context.err << "velmora-cli list: " << QuotedName(listing.error) << "\n";
        return kExitFailed;
    }
    for (const std::string& warning : listing.warnings) {
        context.err << "velmora-cli list: warning: " << warning << "\n";
    }
    if (json) {
        context.out << "[";
        bool first = true;
        for (const ZipEntryInfo& e : listing.entries) {
            const Row row = Describe(e);
            context.out << (first ? "" : ",") << "\n  {\"name\":" << JsonString(e.name)
                        << ",\"size\":" << e.uncompressedSize << ",\"compressedSize\":" << e.compressedSize
                        << ",\"method\":" << JsonString(row.method) << ",\"encryption\":" << JsonString(row.encryption)
                        << ",\"modified\":" << JsonString(DosText(e.dosDateTime))
                        << ",\"directory\":" << (e.isDirectory ? "true" : "false") << "}";
            first = false;
        }
        context.out << (first ? "]\n" : "\n]\n");
        return kExitOk;
    }
    char line[160];
    std::snprintf(line, sizeof line, "%14s %14s  %-10s %-10s %-19s  %s\n", "Size", "Packed", "Method", "Encryption",
                  "Modified", "Name");
    context.out << line;
    std::uint64_t size = 0;
    std::uint64_t packed = 0;
    for (const ZipEntryInfo& e : listing.entries) {
        const Row row = Describe(e);
        std::snprintf(line, sizeof line, "%14llu %14llu  %-10s %-10s %-19s  ",
                      static_cast<unsigned long long>(e.uncompressedSize),
                      static_cast<unsigned long long>(e.compressedSize), row.method.c_str(),
                      row.encryption.empty() ? "-" : row.encryption.c_str(), DosText(e.dosDateTime).c_str());
        context.out << line << QuotedName(e.name) << "\n";
        size += e.uncompressedSize;
        packed += e.compressedSize;
    }
    std::snprintf(line, sizeof line, "%14llu %14llu  %zu entries\n", static_cast<unsigned long long>(size),
                  static_cast<unsigned long long>(packed), listing.entries.size());
    context.out << line;
    return kExitOk;
}

} // namespace velmora::cli
