#include "platform/FileMetadata.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace velmora {

namespace {

bool Fail(std::string* error, const std::string& what, const std::string& path, int err)
{
    if (error) *error = what + " '" + path + "': " + std::strerror(err);
    return false;
}

// Every extended attribute of the path (links not followed) by name; false when they
// cannot be listed or read.
bool ReadAttributes(const std::string& path, std::map<std::string, std::string>& values, int& err)
{
    ssize_t size = llistxattr(path.c_str(), nullptr, 0);
    if (size < 0) {
        err = errno;
        // A file system without extended attributes has none to keep.
        return err == ENOTSUP;
    }
    std::string names(static_cast<std::size_t>(size), '\0');
    size = llistxattr(path.c_str(), names.data(), names.size());
    if (size < 0) {
        err = errno;
        return false;
    }
    names.resize(static_cast<std::size_t>(size));
    for (std::size_t start = 0; start < names.size();) {
        const std::string name(names.c_str() + start);
        start += name.size() + 1;
        if (name.empty()) continue;
        const ssize_t length = lgetxattr(path.c_str(), name.c_str(), nullptr, 0);
        if (length < 0) {
            err = errno;
            return false;
        }
        std::string value(static_cast<std::size_t>(length), '\0');
        const ssize_t got = lgetxattr(path.c_str(), name.c_str(), value.data(), value.size());
        if (got < 0) {
            err = errno;
            return false;
        }
        value.resize(static_cast<std::size_t>(got));
        values[name] = value;
    }
    return true;
}

} // namespace

bool CopyMetadata(const std::string& from, const std::string& to, std::string* error)
{
    struct stat source {};
    if (lstat(from.c_str(), &source) != 0) return Fail(error, "Reading the properties of", from, errno);
    struct stat target {};
    if (lstat(to.c_str(), &target) != 0) return Fail(error, "Reading the properties of", to, errno);

    // Owner first: a change of owner clears the set-user and set-group bits, which the
    // mode below gives back. Where the owner cannot be kept, the copy would belong to
    // someone else than the original: that is a failure, not a detail.
    if ((source.st_uid != target.st_uid || source.st_gid != target.st_gid) &&
        lchown(to.c_str(), source.st_uid, source.st_gid) != 0) {
        return Fail(error, "Keeping the owner of", from, errno);
    }
    const bool link = S_ISLNK(source.st_mode);
    if (!link && chmod(to.c_str(), source.st_mode & 07777) != 0) {
        return Fail(error, "Keeping the permissions of", from, errno);
    }

    // Extended attributes, the access control lists among them ("system.posix_acl_*").
    std::map<std::string, std::string> values;
    int err = 0;
    if (!ReadAttributes(from, values, err)) return Fail(error, "Reading the extended attributes of", from, err);
    for (const auto& [name, value] : values) {
        if (lsetxattr(to.c_str(), name.c_str(), value.data(), value.size(), 0) != 0) {
            return Fail(error, "Keeping the extended attribute " + name + " of", from, errno);
        }
    }

    const timespec times[2] = {source.st_atim, source.st_mtim};
    if (utimensat(AT_FDCWD, to.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
        return Fail(error, "Keeping the times of", from, errno);
    }
    return true;
}

bool SameMetadata(const std::string& a, const std::string& b)
{
    struct stat sa {};
    struct stat sb {};
    if (lstat(a.c_str(), &sa) != 0 || lstat(b.c_str(), &sb) != 0) return false;
    if (sa.st_uid != sb.st_uid || sa.st_gid != sb.st_gid) return false;
    if (!S_ISLNK(sa.st_mode) && (sa.st_mode & 07777) != (sb.st_mode & 07777)) return false;
    if (sa.st_mtim.tv_sec != sb.st_mtim.tv_sec || sa.st_mtim.tv_nsec != sb.st_mtim.tv_nsec) return false;
    std::map<std::string, std::string> va;
    std::map<std::string, std::string> vb;
    int err = 0;
    return ReadAttributes(a, va, err) && ReadAttributes(b, vb, err) && va == vb;
}

} // namespace velmora
