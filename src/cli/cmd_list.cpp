#include "archive/codecs/EntryDecoder.h"
#include "archive/crypto/WinZipAes.h"
#include "archive/zip/ZipIndex.h"
#include "archive/zip/ZipReader.h"
#include "cli/CliCommand.h"
#include "cli/JsonText.h"
#include "common/Errors.h"
#include "common/LanguageText.h"
#include "common/QuotedName.h"
#include "common/Utf8Path.h"

#include <cstdio>
#include <filesystem>
#include <map>
#include <ostream>
#include <string_view>

namespace velmora::cli {

namespace {

// Lines are made in one buffer and handed to the stream in large pieces: a listing of a
// million entries then costs a few hundred milliseconds, not seconds of stream calls.
class LineBuffer {
public:
    explicit LineBuffer(std::ostream& out) : m_out(out) { m_text.reserve(kFlushAt + 4096); }
    ~LineBuffer() { Flush(); }
    LineBuffer(const LineBuffer&) = delete;
    LineBuffer& operator=(const LineBuffer&) = delete;

    void Append(std::string_view text)
    {
        m_text.append(text);
        if (m_text.size() >= kFlushAt) Flush();
    }
    void Append(char c) { m_text.push_back(c); }
    // The decimal digits of value, right-aligned in width characters (as "%*llu").
    void Number(std::uint64_t value, std::size_t width = 0)
    {
        char digits[20];
        std::size_t n = 0;
        do {
            digits[n++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value != 0);
        if (width > n) m_text.append(width - n, ' ');
        while (n > 0)
            m_text.push_back(digits[--n]);
    }
    // text left-aligned in width characters (as "%-*s").
    void Left(std::string_view text, std::size_t width)
    {
        m_text.append(text);
        if (width > text.size()) m_text.append(width - text.size(), ' ');
    }
    // The MS-DOS time as "YYYY-MM-DD HH:MM:SS" (no time zone: the field has none). Every
    // field fits its width: the year is 1980 to 2107, the others below 100.
    void DosTime(std::uint32_t dos)
    {
        const auto two = [&](unsigned v) {
            m_text.push_back(static_cast<char>('0' + v / 10));
            m_text.push_back(static_cast<char>('0' + v % 10));
        };
        const unsigned year = 1980 + (dos >> 25);
        two(year / 100);
        two(year % 100);
        m_text.push_back('-');
        two((dos >> 21) & 15u);
        m_text.push_back('-');
        two((dos >> 16) & 31u);
        m_text.push_back(' ');
        two((dos >> 11) & 31u);
        m_text.push_back(':');
        two((dos >> 5) & 63u);
        m_text.push_back(':');
        two((dos & 31u) * 2);
    }
    void Flush()
    {
        m_out.write(m_text.data(), static_cast<std::streamsize>(m_text.size()));
        m_text.clear();
    }

private:
    static constexpr std::size_t kFlushAt = 1u << 16;
    std::ostream& m_out;
    std::string m_text;
};

struct Row {
    std::string method;
    std::string encryption;
};

// The method and encryption columns of entry i. The names of methods are made once per
// method.
class Describer {
public:
    explicit Describer(const archive::ZipIndex& index) : m_index(index) {}
    Row Describe(std::size_t i)
    {
        const archive::ZipIndex::Record& e = m_index[i];
        Row row;
        std::uint16_t method = e.method;
        if (e.method == zipmethod::kAes) {
            if (const auto aes = FindAesExtra(m_index.Extra(i))) {
                method = aes->method;
                row.encryption = "AES-" + std::to_string(AesKeySize(aes->strength) * 8);
            } else {
                row.encryption = "AES (damaged field)";
            }
        } else if (e.Encrypted()) {
            row.encryption = (e.flags & 0x0040) ? "PKWARE strong" : "ZipCrypto";
        }
        row.method = Name(method);
        return row;
    }

private:
    const std::string& Name(std::uint16_t method)
    {
        auto it = m_names.find(method);
        if (it == m_names.end()) {
            std::string name = MethodName(method);
            if (name.empty()) name = std::to_string(method);
            it = m_names.emplace(method, std::move(name)).first;
        }
        return it->second;
    }
    const archive::ZipIndex& m_index;
    std::map<std::uint16_t, std::string> m_names;
};

} // namespace

int RunList(const CommandArgs& args, CliContext& context)
{
    const bool json = args.Has("--json");
    // The compact index: a million entries take well under a hundred bytes each.
    archive::ZipIndex index;
    // A pipe, a device or a folder is named as what it is (reading it would fail or wait).
    std::error_code ec;
    if (std::filesystem::exists(PathFromUtf8(args.arguments[0]), ec)) {
        if (const std::string why = WhyNotA(args.arguments[0], PathKind::File); !why.empty()) {
            context.err << "velmora-cli list: " << QuotedInText(args.arguments[0]) << ": " << why << "\n";
            return kExitFailed;
        }
    }
    if (const Result<void> opened = archive::OpenZipIndex(PathFromUtf8(args.arguments[0]), index); !opened) {
        context.err << "velmora-cli list: " << QuotedName(ErrorText(opened.error(), kEnglish)) << "\n";
        return kExitFailed;
    }
    for (const std::string& warning : index.warnings) {
        context.err << "velmora-cli list: warning: " << warning << "\n";
    }
    Describer describer(index);
    LineBuffer out(context.out);
    if (json) {
        out.Append("[");
        for (std::size_t i = 0; i < index.size(); ++i) {
            const archive::ZipIndex::Record& e = index[i];
            const Row row = describer.Describe(i);
            out.Append(i == 0 ? "\n  {\"name\":" : ",\n  {\"name\":");
            out.Append(JsonString(index.Name(i)));
            out.Append(",\"size\":");
            out.Number(e.uncompressedSize);
            out.Append(",\"compressedSize\":");
            out.Number(e.compressedSize);
            out.Append(",\"method\":");
            out.Append(JsonString(row.method));
            out.Append(",\"encryption\":");
            out.Append(JsonString(row.encryption));
            out.Append(",\"modified\":\"");
            out.DosTime(e.dosDateTime);
            out.Append("\",\"directory\":");
            out.Append(e.isDirectory ? "true}" : "false}");
        }
        out.Append(index.empty() ? "]\n" : "\n]\n");
        return kExitOk;
    }
    char line[160];
    std::snprintf(line, sizeof line, "%14s %14s  %-10s %-10s %-19s  %s\n", "Size", "Packed", "Method", "Encryption",
                  "Modified", "Name");
    out.Append(line);
    std::uint64_t size = 0;
    std::uint64_t packed = 0;
    for (std::size_t i = 0; i < index.size(); ++i) {
        const archive::ZipIndex::Record& e = index[i];
        const Row row = describer.Describe(i);
        out.Number(e.uncompressedSize, 14);
        out.Append(' ');
        out.Number(e.compressedSize, 14);
        out.Append("  ");
        out.Left(row.method, 10);
        out.Append(' ');
        out.Left(row.encryption.empty() ? "-" : row.encryption, 10);
        out.Append(' ');
        out.DosTime(e.dosDateTime);
        out.Append("  ");
        const std::string_view name = index.Name(i);
        if (NeedsQuoting(name)) {
            out.Append(QuotedName(name));
        } else {
            out.Append(name);
        }
        out.Append("\n");
        size += e.uncompressedSize;
        packed += e.compressedSize;
    }
    std::snprintf(line, sizeof line, "%14llu %14llu  %zu entries\n", static_cast<unsigned long long>(size),
                  static_cast<unsigned long long>(packed), index.size());
    out.Append(line);
    return kExitOk;
}

} // namespace velmora::cli
