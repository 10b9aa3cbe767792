#include "folders/FolderTools.h"

#include "common/Errors.h"
#include "common/FolderSafety.h"
#include "common/Utf8Path.h"
#include "platform/FolderRemoval.h"

#include <array>
#include <fstream>

namespace velmora {

namespace fs = std::filesystem;

std::optional<std::size_t> TargetRow(const std::vector<bool>& selected)
{
    if (selected.size() == 1) return 0;
    for (std::size_t i = 0; i < selected.size(); ++i) {
        if (selected[i]) return i;
    }
    return std::nullopt;
}

std::string RecreationCopyPath(std::string_view path)
{
    return WithoutTrailingSeparator(path) + "2";
}

namespace {
bool CopyTree(const fs::path& source, const fs::path& destination, const MetadataService& metadata, std::string* error)
{
    std::error_code ec;
    fs::create_directory(destination, source, ec);
    if (ec) {
        if (error) *error = SystemErrorText("Creating folder", Utf8FromPath(destination), ec.value());
        return false;
    }
    fs::directory_iterator it(source, ec);
    if (ec) {
        if (error) *error = SystemErrorText("Reading folder", Utf8FromPath(source), ec.value());
        return false;
    }
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        const fs::path from = it->path();
        const fs::path to = destination / from.filename();
        const fs::file_status status = it->symlink_status(ec);
        if (ec) break;
        if (fs::is_symlink(status)) {
            fs::copy_symlink(from, to, ec);
        } else if (fs::is_directory(status)) {
            if (!CopyTree(from, to, metadata, error)) return false;
            continue; // its properties were copied when its content was complete
        } else if (fs::is_regular_file(status)) {
            fs::copy_file(from, to, fs::copy_options::none, ec);
        } else {
            if (error) *error = "Copying '" + Utf8FromPath(from) + "': not a file, folder or link";
            return false;
        }
        if (ec) {
            if (error) *error = SystemErrorText("Copying", Utf8FromPath(from), ec.value());
            return false;
        }
        if (!metadata.copy(Utf8FromPath(from), Utf8FromPath(to), error)) return false;
    }
    if (ec) {
        if (error) *error = SystemErrorText("Reading folder", Utf8FromPath(source), ec.value());
        return false;
    }
    // The folder's own properties last: adding its entries changed its times.
    return metadata.copy(Utf8FromPath(source), Utf8FromPath(destination), error);
}

bool SameFileBytes(const fs::path& a, const fs::path& b)
{
    std::ifstream fa(a, std::ios::binary);
    std::ifstream fb(b, std::ios::binary);
    if (!fa || !fb) return false;
    std::array<char, 65536> ba{};
    std::array<char, 65536> bb{};
    while (true) {
        fa.read(ba.data(), ba.size());
        fb.read(bb.data(), bb.size());
        const std::streamsize na = fa.gcount();
        const std::streamsize nb = fb.gcount();
        if (na != nb) return false;
        if (!std::equal(ba.begin(), ba.begin() + na, bb.begin())) return false;
        if (na == 0 || fa.eof() || fb.eof()) return fa.eof() == fb.eof() && !fa.bad() && !fb.bad();
    }
}

// Every entry of 'a' has its twin in 'b'; counts the entries seen.
bool Covers(const fs::path& a, const fs::path& b, const MetadataService& metadata, std::size_t& count)
{
    std::error_code ec;
    fs::directory_iterator it(a, ec);
    if (ec) return false;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        ++count;
        const fs::path other = b / it->path().filename();
        const fs::file_status sa = it->symlink_status(ec);
        if (ec) return false;
        const fs::file_status sb = fs::symlink_status(other, ec);
        if (ec || sa.type() != sb.type()) return false;
        if (!metadata.same(Utf8FromPath(it->path()), Utf8FromPath(other))) return false;
        if (fs::is_symlink(sa)) {
            const fs::path ta = fs::read_symlink(it->path(), ec);
            if (ec) return false;
            const fs::path tb = fs::read_symlink(other, ec);
            if (ec || ta != tb) return false;
        } else if (fs::is_directory(sa)) {
            if (!Covers(it->path(), other, metadata, count)) return false;
        } else if (fs::is_regular_file(sa)) {
            if (!SameFileBytes(it->path(), other)) return false;
        } else {
            return false;
        }
    }
    return !ec;
}
} // namespace

bool CopyFolder(const fs::path& source, const fs::path& destination, const MetadataService& metadata,
                std::string* error)
{
    std::error_code ec;
    if (fs::exists(fs::symlink_status(destination, ec))) {
        if (error) *error = "Copying to '" + Utf8FromPath(destination) + "': it exists already";
        return false;
    }
    if (!fs::is_directory(fs::status(source, ec))) {
        if (error) *error = "Copying '" + Utf8FromPath(source) + "': not a folder";
        return false;
    }
    return CopyTree(source, destination, metadata, error);
}

bool SameFolderContent(const fs::path& a, const fs::path& b, const MetadataService& metadata)
{
    std::size_t countA = 0;
    std::size_t countB = 0;
    return metadata.same(Utf8FromPath(a), Utf8FromPath(b)) && Covers(a, b, metadata, countA) &&
           Covers(b, a, metadata, countB) && countA == countB;
}

RecreateOutcome RecreateFolder(const fs::path& folder, const std::vector<fs::path>& keep,
                               const MetadataService& metadata, std::string* error)
{
    if (IsGuardedFolder(folder, keep)) return RecreateOutcome::Guarded;
    const fs::path original = PathFromUtf8(WithoutTrailingSeparator(Utf8FromPath(folder)));
    const fs::path copy = PathFromUtf8(RecreationCopyPath(Utf8FromPath(folder)));
    std::error_code ec;
    // Anything of that name, or a name that cannot be checked, stops the re-creation.
    if (fs::symlink_status(copy, ec).type() != fs::file_type::not_found) return RecreateOutcome::CopyExists;
    // The copy did not exist before, so removing it on failure touches nothing of the user's.
    if (!CopyFolder(original, copy, metadata, error) || !SameFolderContent(original, copy, metadata)) {
        if (error != nullptr && error->empty()) *error = "the copy of '" + Utf8FromPath(original) + "' differs from it";
        fs::remove_all(copy, ec);
        return RecreateOutcome::CopyFailed;
    }
    if (!DeleteFolderPermanently(original)) return RecreateOutcome::DeleteFailed;
    fs::rename(copy, original, ec);
    return ec ? RecreateOutcome::RenameFailed : RecreateOutcome::Recreated;
}

} // namespace velmora
