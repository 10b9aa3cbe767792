#include "update/UpdateNotice.h"

#include "common/Utf8Path.h"
#include "update/ReleaseVersion.h"

#include <filesystem>
#include <system_error>

namespace velmora {

namespace {
// A folder, a dangling link or a path that cannot be examined counts as no release file.
bool ReleaseFileExists(const std::string& path)
{
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(PathFromUtf8(path), ec);
    return !ec && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}
} // namespace

Result<UpdateTickResult> UpdateTick(std::int32_t& tickCount, const std::string& releaseFile,
                                    const std::string& localVersion, std::int32_t language)
{
    ++tickCount;
    if (tickCount > kUpdateTickLimit) return UpdateTickResult::StopPolling;
    if (!ReleaseFileExists(releaseFile)) return UpdateTickResult::KeepPolling;
    Result<std::string> onlineVersion = ReadReleaseVersion(releaseFile, language);
    if (!onlineVersion) return Fail(std::move(onlineVersion).error());
    Result<ReleaseVerdict> verdict = CompareReleases(localVersion, *onlineVersion, language);
    if (!verdict) return Fail(std::move(verdict).error());
    switch (*verdict) {
    case ReleaseVerdict::Newer:
        return UpdateTickResult::ShowNotice;
    case ReleaseVerdict::Unusable:
        return UpdateTickResult::StopPolling;
    case ReleaseVerdict::NotNewer:
        break;
    }
    return UpdateTickResult::KeepPolling;
}

} // namespace velmora
