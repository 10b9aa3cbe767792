// The protect command's work folders beside the zip path, and removing those a killed run left.
#include "protect/WorkFolders.h"

#include "common/Errors.h"
#include "common/LanguageText.h"
#include "common/QuotedName.h"
#include "common/Utf8Path.h"
#include "platform/PrivateFolder.h"

#include <cerrno>
#include <chrono>
#include <random>

namespace velmora {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kInfix = ".protect-";

// The part after ".protect-" in ".NAME.protect-PID-START-NUMBER" (or the older
// ".NAME.protect-NUMBER"); empty when the name is no work folder's.
std::string WorkFolderTail(const std::string& name)
{
    if (name.size() < 2 || name.front() != '.') return {};
    const std::size_t infix = name.rfind(kInfix);
    if (infix == std::string::npos || infix == 0 || infix + kInfix.size() == name.size()) return {};
    const std::string tail = name.substr(infix + kInfix.size());
    if (tail.find_first_not_of("0123456789-") != std::string::npos || tail.front() == '-' || tail.back() == '-')
        return {};
    return tail;
}

// The process that made the folder, as OwnProcessIdentity wrote it into the name; empty
// for a name that carries none.
std::string NamedIdentity(const std::string& tail)
{
    const std::size_t first = tail.find('-');
    const std::size_t second = first == std::string::npos ? first : tail.find('-', first + 1);
    if (second == std::string::npos || tail.find('-', second + 1) != std::string::npos) return {};
    return tail.substr(0, first) + ":" + tail.substr(first + 1, second - first - 1);
}

// OwnProcessIdentity ("PID:START") as a name part.
std::string IdentityInName()
{
    std::string identity = OwnProcessIdentity();
    for (char& c : identity) {
        if (c < '0' || c > '9') c = '-';
    }
    return identity;
}

} // namespace

Result<fs::path> CreateWorkFolder(const fs::path& zipPath)
{
    std::random_device device;
    std::mt19937_64 generator(device() ^
                              static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    const fs::path parent = zipPath.parent_path().empty() ? PathFromUtf8(".") : zipPath.parent_path();
    for (int attempt = 0; attempt < 20; ++attempt) {
        // The name itself is the owner's mark: made in the same step as the folder, so no
        // moment exists at which the folder is there but its owner is not known.
        const fs::path candidate =
            parent / PathFromUtf8("." + Utf8FromPath(zipPath.filename()) + std::string(kInfix) + IdentityInName() +
                                  "-" + std::to_string(generator() % 1000000007));
        const Result<void> created = CreatePrivateFolder(Utf8FromPath(candidate));
        if (created) return candidate;
        if (created.error().systemError != EEXIST) return Fail(WithDetail(created.error(), "Creating work folder"));
    }
    return Fail(Error{Error::Kind::Exists,
                      {},
                      0,
                      "Creating a work folder beside " + QuotedInText(Utf8FromPath(zipPath)) + " failed"});
}

std::vector<std::string> RemoveStaleWorkFolders(const fs::path& folder)
{
    std::vector<std::string> remaining;
    std::error_code ec;
    std::vector<fs::path> candidates;
    for (fs::directory_iterator it(folder.empty() ? PathFromUtf8(".") : folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        if (!WorkFolderTail(Utf8FromPath(it->path().filename())).empty()) candidates.push_back(it->path());
    }
    for (const fs::path& path : candidates) {
        const std::string shown = QuotedInText(Utf8FromPath(path));
        if (!IsOwnFolder(Utf8FromPath(path))) continue; // a link, a file, or another user's
        const std::string identity = NamedIdentity(WorkFolderTail(Utf8FromPath(path.filename())));
        std::error_code removeError;
        if (!identity.empty()) {
            if (IsProcessRunning(identity)) continue; // a run still going
            fs::remove_all(path, removeError);
            if (removeError) {
                remaining.push_back("a work folder left by an earlier run could not be removed: " + shown + ": " +
                                    removeError.message() + "; it may hold unencrypted copies");
            }
            continue;
        }
        // No owner in the name (an older version's folder): only an empty one is removed,
        // once it is old enough not to be a run that has only just begun.
        std::error_code timeError;
        const auto age = fs::file_time_type::clock::now() - fs::last_write_time(path, timeError);
        if (fs::is_empty(path, removeError) && !removeError) {
            if (!timeError && age > std::chrono::minutes(1)) fs::remove(path, removeError);
            continue;
        }
        remaining.push_back("a folder named like a work folder of an earlier run does not name its owner, so it was "
                            "not removed: " +
                            shown + "; it may hold unencrypted copies");
    }
    return remaining;
}

} // namespace velmora
