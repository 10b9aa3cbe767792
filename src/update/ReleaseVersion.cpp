#include "update/ReleaseVersion.h"

#include "common/Errors.h"
#include "common/LanguageText.h"
#include "common/TextFile.h"
#include "common/Utf8Path.h"
#include "update/UpdateTexts.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <limits>
#include <system_error>

namespace velmora {

namespace {
// Only the first line counts; a release file bigger than this must have ended it by then.
constexpr std::size_t kReleaseReadLimit = 64 * 1024;

bool IsBlankOrControl(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && IsBlankOrControl(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlankOrControl(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string WithoutDots(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        if (c != '.') result.push_back(c);
    }
    return result;
}
} // namespace

std::string ProgramVersionText(std::int32_t language, std::string_view buildVersion)
{
    if (Trimmed(buildVersion).empty()) return Pick(language, kVersionNotAvailable);
    return std::string(buildVersion);
}

std::string ReadReleaseVersion(const std::string& releaseFile)
{
    // A pipe or device in place of the file would block or never end; only plain files are read.
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(PathFromUtf8(releaseFile), ec);
    if (!ec && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        throw VelmoraError("Datei kann nicht geöffnet werden '" + releaseFile + "': keine gewöhnliche Datei");
    }
    std::ifstream in(PathFromUtf8(releaseFile), std::ios::binary);
    if (!in) throw VelmoraError(SystemErrorText("Datei kann nicht geöffnet werden", releaseFile, errno));
    std::string bytes(kReleaseReadLimit + 1, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) throw VelmoraError(SystemErrorText("Datei kann nicht gelesen werden", releaseFile, errno));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    const bool truncated = bytes.size() > kReleaseReadLimit;
    if (truncated) bytes.resize(kReleaseReadLimit);

    const std::string text = DecodeTextFile(bytes);
    const std::size_t lineEnd = text.find_first_of("\r\n");
    if (truncated && lineEnd == std::string::npos) {
        throw VelmoraError("Die erste Zeile der Datei '" + releaseFile + "' ist zu lang");
    }
    return std::string(Trimmed(std::string_view(text).substr(0, lineEnd)));
}

std::int32_t ParseVersionNumber(std::string_view digits)
{
    std::string_view rest = digits;
    bool negative = false;
    if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
        negative = rest.front() == '-';
        rest.remove_prefix(1);
    }
    const auto invalid = [&] { return VelmoraError("'" + std::string(digits) + "' ist kein gültiger Integerwert"); };
    if (rest.empty()) throw invalid();
    // Accumulated as a negative number, which reaches the full 32-bit range on both sides.
    std::int64_t value = 0;
    for (char c : rest) {
        if (c < '0' || c > '9') throw invalid();
        value = value * 10 - (c - '0');
        if (value < std::int64_t{std::numeric_limits<std::int32_t>::min()}) throw invalid();
    }
    if (!negative) {
        value = -value;
        if (value > std::numeric_limits<std::int32_t>::max()) throw invalid();
    }
    return static_cast<std::int32_t>(value);
}

ReleaseVerdict CompareReleases(std::string_view localVersion, std::string_view onlineVersion)
{
    const std::string local = WithoutDots(localVersion);
    std::string online = WithoutDots(onlineVersion);
    if (Trimmed(local).empty() || Trimmed(online).empty()) return ReleaseVerdict::Unusable;
    // 1.4 against 1.3.0.0 means 1400 against 1300: the online number is padded, never the local one.
    if (online.size() < local.size()) online.append(local.size() - online.size(), '0');
    const std::int32_t localNumber = ParseVersionNumber(local);
    const std::int32_t onlineNumber = ParseVersionNumber(online);
    return localNumber < onlineNumber ? ReleaseVerdict::Newer : ReleaseVerdict::NotNewer;
}

} // namespace velmora
