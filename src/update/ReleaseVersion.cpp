#include "update/ReleaseVersion.h"

#include "common/Errors.h"
#include "common/LanguageText.h"
#include "common/Result.h"
#include "common/TextFile.h"
#include "common/Utf8Path.h"
#include "platform/SmallFile.h"
#include "update/UpdateTexts.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <limits>
#include <system_error>
#include <vector>

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

std::string WithPath(const char* pattern, std::string_view value)
{
    std::string text(pattern);
    const std::size_t at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, value);
    return text;
}

// A failure whose whole text, in the language, is its detail.
Failure FailWithText(Error::Kind kind, std::string text)
{
    return Fail(Error{kind, {}, 0, std::move(text)});
}

// The dot-separated fields of a version text, each taken as a number.
Result<std::vector<std::int32_t>> VersionFields(std::string_view text, std::int32_t language)
{
    std::vector<std::int32_t> fields;
    std::string_view rest = text;
    for (;;) {
        const std::size_t dot = rest.find('.');
        const Result<std::int32_t> field = ParseVersionNumber(rest.substr(0, dot), language);
        // The whole text is named, not the field.
        if (!field) return FailWithText(Error::Kind::InvalidData, WithPath(Pick(language, kReleaseNotANumber), text));
        fields.push_back(*field);
        if (dot == std::string_view::npos) break;
        rest.remove_prefix(dot + 1);
    }
    return fields;
}

// Nothing but dots and blanks: no version at all.
bool IsEmptyVersion(std::string_view text)
{
    for (char c : text) {
        if (c != '.' && !IsBlankOrControl(c)) return false;
    }
    return true;
}
} // namespace

std::string ProgramVersionText(std::int32_t language, std::string_view buildVersion)
{
    if (Trimmed(buildVersion).empty()) return Pick(language, kVersionNotAvailable);
    return std::string(buildVersion);
}

Result<std::string> ReadReleaseVersion(const std::string& releaseFile, std::int32_t language)
{
    // A pipe or device in place of the file would block or never end; only a regular file
    // is read, opened without waiting, and no more of it than the first line can need.
    std::string bytes;
    bool truncated = false;
    int error = 0;
    if (!ReadSmallRegularFile(releaseFile, bytes, kReleaseReadLimit, &error, LongerFile::TakeHead, &truncated)) {
        if (error == EINVAL) {
            return FailWithText(Error::Kind::InvalidInput, std::string(Pick(language, kReleaseCannotOpen)) + " '" +
                                                               releaseFile +
                                                               "': " + Pick(language, kReleaseNotRegular));
        }
        return Fail(ErrorFromErrno(error, releaseFile, Pick(language, kReleaseCannotOpen)));
    }

    const std::string text = DecodeTextFile(bytes);
    const std::size_t lineEnd = text.find_first_of("\r\n");
    if (truncated && lineEnd == std::string::npos) {
        return FailWithText(Error::Kind::InvalidData, WithPath(Pick(language, kReleaseLineTooLong), releaseFile));
    }
    return std::string(Trimmed(std::string_view(text).substr(0, lineEnd)));
}

Result<std::int32_t> ParseVersionNumber(std::string_view digits, std::int32_t language)
{
    const auto invalid = [&] {
        return FailWithText(Error::Kind::InvalidData, WithPath(Pick(language, kReleaseNotANumber), digits));
    };
    if (digits.empty()) return invalid();
    std::int64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return invalid();
        value = value * 10 + (c - '0');
        if (value > std::numeric_limits<std::int32_t>::max()) return invalid();
    }
    return static_cast<std::int32_t>(value);
}

Result<ReleaseVerdict> CompareReleases(std::string_view localVersion, std::string_view onlineVersion,
                                       std::int32_t language)
{
    if (IsEmptyVersion(localVersion) || IsEmptyVersion(onlineVersion)) return ReleaseVerdict::Unusable;
    Result<std::vector<std::int32_t>> localFields = VersionFields(localVersion, language);
    if (!localFields) return Fail(std::move(localFields).error());
    Result<std::vector<std::int32_t>> onlineFields = VersionFields(onlineVersion, language);
    if (!onlineFields) return Fail(std::move(onlineFields).error());
    std::vector<std::int32_t>& local = *localFields;
    std::vector<std::int32_t>& online = *onlineFields;
    // 1.4 against 1.3.0.0 is 1.4.0.0 against 1.3.0.0: missing fields are zeros.
    const std::size_t count = std::max(local.size(), online.size());
    local.resize(count, 0);
    online.resize(count, 0);
    return local < online ? ReleaseVerdict::Newer : ReleaseVerdict::NotNewer;
}

} // namespace velmora
