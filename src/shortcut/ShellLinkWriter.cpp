#include "shortcut/ShellLinkWriter.h"

#include "common/CodePages.h"
#include "common/Errors.h"
#include "common/LanguageText.h"
#include "common/Utf.h"
#include "common/Utf8Path.h"
#include "platform/FileDurability.h"
#include "platform/SmallFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace velmora {

namespace {
// Text that the format cannot hold; caught in BuildShellLink and returned as its Error.
class Unstorable : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

constexpr std::array<unsigned char, 16> kShellLinkClsid{0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                        0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
// {20D04FE0-3AEA-1069-A2D8-08002B30309D}, the "My Computer" folder at the root of a drive path.
constexpr std::array<unsigned char, 16> kMyComputerClsid{0xE0, 0x4F, 0xD0, 0x20, 0xEA, 0x3A, 0x69, 0x10,
                                                         0xA2, 0xD8, 0x08, 0x00, 0x2B, 0x30, 0x30, 0x9D};

constexpr std::uint32_t kHeaderSize = 0x4C;
constexpr std::uint32_t kHasLinkTargetIdList = 0x00000001;
constexpr std::uint32_t kHasLinkInfo = 0x00000002;
constexpr std::uint32_t kHasArguments = 0x00000020;
constexpr std::uint32_t kIsUnicode = 0x00000080;
constexpr std::uint32_t kShowNormal = 1;

constexpr std::uint32_t kVolumeIdAndLocalBasePath = 0x1;
constexpr std::uint32_t kDriveUnknown = 0;
constexpr std::uint32_t kDriveFixed = 3;

constexpr std::uint8_t kRootFolderItem = 0x1F;
constexpr std::uint8_t kMyComputerSortIndex = 0x50;
constexpr std::uint8_t kVolumeItem = 0x2F;
constexpr std::uint8_t kFolderItem = 0x31;
constexpr std::uint8_t kFileItem = 0x32;
constexpr std::uint8_t kItemNameIsUnicode = 0x04;
constexpr std::uint16_t kFolderAttribute = 0x10;
constexpr std::uint32_t kFileEntryExtensionSignature = 0xBEEF0004;

constexpr std::size_t kMaxU16 = std::numeric_limits<std::uint16_t>::max();

void PutU8(std::string& out, std::uint8_t v)
{
    out.push_back(static_cast<char>(v));
}
void PutU16(std::string& out, std::uint16_t v)
{
    PutU8(out, static_cast<std::uint8_t>(v & 0xFF));
    PutU8(out, static_cast<std::uint8_t>(v >> 8));
}
void PutU32(std::string& out, std::uint32_t v)
{
    PutU16(out, static_cast<std::uint16_t>(v & 0xFFFF));
    PutU16(out, static_cast<std::uint16_t>(v >> 16));
}
void PutU64(std::string& out, std::uint64_t v)
{
    PutU32(out, static_cast<std::uint32_t>(v & 0xFFFFFFFFu));
    PutU32(out, static_cast<std::uint32_t>(v >> 32));
}
void PutBytes(std::string& out, const std::array<unsigned char, 16>& bytes)
{
    for (unsigned char b : bytes)
        PutU8(out, b);
}
void PutZeros(std::string& out, std::size_t count)
{
    out.append(count, '\0');
}
void PutUtf16(std::string& out, std::u16string_view text)
{
    for (char16_t c : text)
        PutU16(out, static_cast<std::uint16_t>(c));
}
void SetU16(std::string& out, std::size_t at, std::uint16_t v)
{
    out[at] = static_cast<char>(v & 0xFF);
    out[at + 1] = static_cast<char>(v >> 8);
}
void SetU32(std::string& out, std::size_t at, std::uint32_t v)
{
    SetU16(out, at, static_cast<std::uint16_t>(v & 0xFFFF));
    SetU16(out, at + 2, static_cast<std::uint16_t>(v >> 16));
}

// Text as it is stored: UTF-16 for the Unicode fields, the ANSI page for the others.
struct StoredText {
    std::u16string utf16;
    std::string ansi; // unrepresentable characters as '?'
    bool ansiIsExact = true;
};

StoredText ToStoredText(std::string_view utf8, const char* what)
{
    const std::optional<std::u32string> codePoints = DecodeUtf8(utf8);
    if (!codePoints) throw Unstorable(std::string("The ") + what + " is not valid UTF-8 text");
    StoredText text;
    for (char32_t cp : *codePoints) {
        if (cp == 0) throw Unstorable(std::string("The ") + what + " contains a NUL character");
        if (cp >= 0x10000) {
            const char32_t v = cp - 0x10000;
            text.utf16.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
            text.utf16.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
        } else {
            text.utf16.push_back(static_cast<char16_t>(cp));
        }
        if (const std::optional<unsigned char> byte = UnicodeToCodePage(CodePage::Ansi1252, cp)) {
            text.ansi.push_back(static_cast<char>(*byte));
        } else {
            text.ansi.push_back('?');
            text.ansiIsExact = false;
        }
    }
    return text;
}

bool IsAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsWindowsSeparator(char c)
{
    return c == '\\' || c == '/';
}

// "X:\" or "X:/" at the start: a full path on a Windows drive.
bool IsDrivePath(std::string_view target)
{
    return target.size() >= 3 && IsAsciiLetter(target[0]) && target[1] == ':' && IsWindowsSeparator(target[2]);
}

// One file-entry item: a folder or file name as a simple item without file data
// (the target is not looked up), followed by the extension block with the long name.
std::string FileEntryItem(std::string_view name, bool isFolder)
{
    const StoredText text = ToStoredText(name, "link target");
    std::string item;
    PutU16(item, 0); // size, set below
    std::uint8_t type = isFolder ? kFolderItem : kFileItem;
    if (!text.ansiIsExact) type |= kItemNameIsUnicode;
    PutU8(item, type);
    PutU8(item, 0);
    PutU32(item, 0); // file size
    PutU32(item, 0); // modification time (MS-DOS date and time): unknown
    PutU16(item, isFolder ? kFolderAttribute : 0);
    if (text.ansiIsExact) {
        item += text.ansi;
        PutU8(item, 0);
        if (item.size() % 2 != 0) PutU8(item, 0);
    } else {
        PutUtf16(item, text.utf16);
        PutU16(item, 0);
    }

    const std::size_t blockStart = item.size();
    PutU16(item, 0); // block size, set below
    PutU16(item, 7); // block version
    PutU32(item, kFileEntryExtensionSignature);
    PutU32(item, 0); // creation time: unknown
    PutU32(item, 0); // last access time: unknown
    PutU16(item, 0x26);
    PutU16(item, 0);
    PutU64(item, 0); // file reference: none
    PutU64(item, 0);
    PutU16(item, 0); // no localized name
    PutUtf16(item, text.utf16);
    PutU16(item, 0);
    PutU16(item, static_cast<std::uint16_t>(blockStart));

    if (item.size() > kMaxU16) throw Unstorable("A name in the link target is too long for a shortcut");
    SetU16(item, blockStart, static_cast<std::uint16_t>(item.size() - blockStart));
    SetU16(item, 0, static_cast<std::uint16_t>(item.size()));
    return item;
}

// My Computer, the drive, then one item per path segment; every segment but the last
// is a folder, and the last one too when the path ends with a separator.
std::string TargetIdList(std::string_view target)
{
    std::string items;
    PutU16(items, 0x14);
    PutU8(items, kRootFolderItem);
    PutU8(items, kMyComputerSortIndex);
    PutBytes(items, kMyComputerClsid);

    PutU16(items, 0x19);
    PutU8(items, kVolumeItem);
    std::string drive(target.substr(0, 2));
    drive.push_back('\\');
    items += drive;
    PutZeros(items, 0x19 - 3 - drive.size());

    std::vector<std::string_view> segments;
    std::size_t start = 3;
    for (std::size_t i = 3; i <= target.size(); ++i) {
        if (i == target.size() || IsWindowsSeparator(target[i])) {
            if (i > start) segments.push_back(target.substr(start, i - start));
            start = i + 1;
        }
    }
    const bool endsWithSeparator = IsWindowsSeparator(target.back());
    for (std::size_t i = 0; i < segments.size(); ++i) {
        const bool isFolder = i + 1 < segments.size() || endsWithSeparator;
        items += FileEntryItem(segments[i], isFolder);
    }
    PutU16(items, 0); // terminal item

    if (items.size() > kMaxU16) throw Unstorable("The link target is too long for a shortcut");
    std::string list;
    PutU16(list, static_cast<std::uint16_t>(items.size()));
    return list + items;
}

// "\\server\share" followed by nothing or by a separator and the rest of the path:
// the share (without a trailing separator) and that rest. Device paths ("\\?\",
// "\\.\") are no shares.
struct NetworkPath {
    std::string_view share;
    std::string_view suffix;
};

std::optional<NetworkPath> SplitNetworkPath(std::string_view target)
{
    if (target.size() < 5 || target[0] != '\\' || target[1] != '\\') return std::nullopt;
    const std::size_t serverEnd = target.find('\\', 2);
    if (serverEnd == std::string_view::npos || serverEnd == 2) return std::nullopt;
    const std::string_view server = target.substr(2, serverEnd - 2);
    if (server == "?" || server == ".") return std::nullopt;
    const std::size_t shareEnd = std::min(target.find('\\', serverEnd + 1), target.size());
    if (shareEnd == serverEnd + 1) return std::nullopt;
    NetworkPath path{target.substr(0, shareEnd), {}};
    if (shareEnd < target.size()) path.suffix = target.substr(shareEnd + 1);
    return path;
}

constexpr std::uint32_t kCommonNetworkRelativeLinkAndPathSuffix = 0x2;

// The link information: for a path on a share, the share as the network location and
// the rest as the common path suffix; for any other target, the volume (unknown except
// for the kind of drive) and the target as the local base path. Strings are in the
// ANSI page, and in UTF-16 as well when that page cannot hold them.
std::string LinkInfo(std::string_view target, bool isDrivePath)
{
    const std::optional<NetworkPath> network = SplitNetworkPath(target);
    const StoredText base = ToStoredText(network ? network->share : target, "link target");
    const StoredText suffix = ToStoredText(network ? network->suffix : std::string_view(), "link target");
    const bool withUnicode = !base.ansiIsExact || !suffix.ansiIsExact;
    const std::uint32_t headerSize = withUnicode ? 0x24 : 0x1C;

    std::string info;
    PutU32(info, 0); // size, set below
    PutU32(info, headerSize);
    PutU32(info, network ? kCommonNetworkRelativeLinkAndPathSuffix : kVolumeIdAndLocalBasePath);
    PutU32(info, 0); // volume id offset
    PutU32(info, 0); // local base path offset
    PutU32(info, 0); // network location offset
    PutU32(info, 0); // common path suffix offset
    if (withUnicode) {
        PutU32(info, 0); // local base path offset (Unicode)
        PutU32(info, 0); // common path suffix offset (Unicode)
    }

    if (network) {
        const std::size_t start = info.size();
        SetU32(info, 20, static_cast<std::uint32_t>(start));
        const std::uint32_t fixedSize = withUnicode ? 0x1C : 0x14;
        PutU32(info, 0);         // size, set below
        PutU32(info, 0);         // no device name, no provider type
        PutU32(info, fixedSize); // net name offset
        PutU32(info, 0);         // device name offset
        PutU32(info, 0);         // provider type
        if (withUnicode) {
            PutU32(info, 0); // net name offset (Unicode)
            PutU32(info, 0); // device name offset (Unicode)
        }
        info += base.ansi;
        PutU8(info, 0);
        if (withUnicode) {
            SetU32(info, start + 20, static_cast<std::uint32_t>(info.size() - start));
            PutUtf16(info, base.utf16);
            PutU16(info, 0);
        }
        SetU32(info, start, static_cast<std::uint32_t>(info.size() - start));
    } else {
        SetU32(info, 12, static_cast<std::uint32_t>(info.size()));
        PutU32(info, 0x11);
        PutU32(info, isDrivePath ? kDriveFixed : kDriveUnknown);
        PutU32(info, 0);    // serial number: unknown
        PutU32(info, 0x10); // volume label offset
        PutU8(info, 0);     // empty label

        SetU32(info, 16, static_cast<std::uint32_t>(info.size()));
        info += base.ansi;
        PutU8(info, 0);
    }
    SetU32(info, 24, static_cast<std::uint32_t>(info.size()));
    info += suffix.ansi;
    PutU8(info, 0);
    if (withUnicode) {
        if (!network) {
            SetU32(info, 28, static_cast<std::uint32_t>(info.size()));
            PutUtf16(info, base.utf16);
            PutU16(info, 0);
        }
        SetU32(info, 32, static_cast<std::uint32_t>(info.size()));
        PutUtf16(info, suffix.utf16);
        PutU16(info, 0);
    }
    SetU32(info, 0, static_cast<std::uint32_t>(info.size()));
    return info;
}

} // namespace

namespace {
std::string ShellLinkBytes(std::string_view target, std::string_view arguments)
{
    if (target.empty()) throw Unstorable("The link target is empty");
    const bool isDrivePath = IsDrivePath(target);
    const StoredText args = ToStoredText(arguments, "start parameter");
    if (args.utf16.size() > kMaxU16) throw Unstorable("The start parameter is too long for a shortcut");

    std::uint32_t flags = kHasLinkInfo | kIsUnicode;
    if (isDrivePath) flags |= kHasLinkTargetIdList;
    if (!args.utf16.empty()) flags |= kHasArguments;

    std::string out;
    PutU32(out, kHeaderSize);
    PutBytes(out, kShellLinkClsid);
    PutU32(out, flags);
    PutU32(out, 0); // file attributes: unknown
    PutU64(out, 0); // creation, access and write times: unknown
    PutU64(out, 0);
    PutU64(out, 0);
    PutU32(out, 0); // file size
    PutU32(out, 0); // icon index
    PutU32(out, kShowNormal);
    PutU16(out, 0); // hot key
    PutU16(out, 0);
    PutU32(out, 0);
    PutU32(out, 0);

    if (isDrivePath) out += TargetIdList(target);
    out += LinkInfo(target, isDrivePath);
    if (!args.utf16.empty()) {
        PutU16(out, static_cast<std::uint16_t>(args.utf16.size()));
        PutUtf16(out, args.utf16);
    }
    PutU32(out, 0); // terminal block
    return out;
}
} // namespace

Result<std::string> BuildShellLink(std::string_view target, std::string_view arguments)
{
    try {
        return ShellLinkBytes(target, arguments);
    } catch (const Unstorable& refused) {
        return Fail(Error{Error::Kind::InvalidInput, {}, 0, refused.what()});
    }
}

bool HasShellLinkHeader(std::string_view bytes)
{
    if (bytes.size() < 20) return false;
    if (bytes.substr(0, 4) != std::string_view("\x4C\0\0\0", 4)) return false;
    for (std::size_t i = 0; i < kShellLinkClsid.size(); ++i) {
        if (static_cast<unsigned char>(bytes[4 + i]) != kShellLinkClsid[i]) return false;
    }
    return true;
}

LinkPathState InspectLinkPath(const std::string& linkPath)
{
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(PathFromUtf8(linkPath), ec);
    if (status.type() == std::filesystem::file_type::not_found) return LinkPathState::Missing;
    if (status.type() == std::filesystem::file_type::directory) return LinkPathState::Directory;
    if (ec) return LinkPathState::Missing; // unreadable: the write reports the reason
    // Only the head of a regular file is read; a pipe or device there is some other file.
    std::string head;
    if (ReadSmallRegularFile(linkPath, head, 20, nullptr, LongerFile::TakeHead) && head.size() == 20 &&
        HasShellLinkHeader(head)) {
        return LinkPathState::ShellLink;
    }
    return LinkPathState::OtherFile;
}

Result<void> SaveShellLink(const std::string& linkPath, std::string_view target, std::string_view arguments)
{
    const Result<std::string> bytes = BuildShellLink(target, arguments);
    if (!bytes) return Fail(bytes.error());
    if (Result<void> written = ReplaceFileAtomically(linkPath, *bytes); !written) {
        return Fail(WithDetail(std::move(written).error(), "Cannot write"));
    }
    return Ok();
}

} // namespace velmora
