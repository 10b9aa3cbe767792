#include "platform/posix/PosixFileAttributes.h"

#include "common/RetryOnInterrupt.h"
#include "platform/FileDurability.h"
#include "platform/SmallFile.h"
#include "platform/posix/DosAttributeBlob.h"
#include "platform/posix/HiddenList.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace velmora {

namespace {

constexpr long kMsdosMagic = 0x4d44;
constexpr long kNtfs3Magic = 0x5346544e;
constexpr long kFuseMagic = 0x65735546;
constexpr long kCifsMagic = static_cast<long>(0xFF534D42u);
constexpr long kSmb2Magic = static_cast<long>(0xFE534D42u);

constexpr const char* kNtfsAttribute = "system.ntfs_attrib";
constexpr const char* kCifsAttribute = "user.cifs.dosattrib";
constexpr const char* kDosAttribute = "user.DOSATTRIB";
// The write bits that setting read-only took away, as octal text ("220").
constexpr const char* kWriteBitsAttribute = "user.velmora.writebits";

constexpr std::uint32_t kDirectory = 0x10;
constexpr mode_t kAnyWrite = S_IWUSR | S_IWGRP | S_IWOTH;

enum class Store { Fat, Ntfs, Cifs, DosAttrib };

// Reads an extended attribute (links followed). ENODATA gives an empty value with true.
bool GetAttribute(const std::string& path, const char* name, std::string& value, int& err)
{
    value.assign(256, '\0');
    for (int attempt = 0; attempt < 3; ++attempt) {
        const ssize_t n = getxattr(path.c_str(), name, value.data(), value.size());
        if (n >= 0) {
            value.resize(static_cast<std::size_t>(n));
            return true;
        }
        err = errno;
        if (err == ENODATA) {
            value.clear();
            return true;
        }
        if (err != ERANGE) {
            return false;
        }
        const ssize_t size = getxattr(path.c_str(), name, nullptr, 0);
        if (size < 0) {
            err = errno;
            return false;
        }
        value.assign(static_cast<std::size_t>(size) + 16, '\0');
    }
    return false;
}

std::uint32_t Le32(const std::string& bytes)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4 && i < bytes.size(); ++i) {
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
    }
    return value;
}

std::string Le32Bytes(std::uint32_t value)
{
    std::string bytes(4, '\0');
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFFu);
    }
    return bytes;
}

// The file system type of a path (links followed); 0 when it cannot be asked.
long FileSystemType(const std::string& path)
{
    struct statfs fs {};
    return statfs(path.c_str(), &fs) == 0 ? static_cast<long>(fs.f_type) : 0;
}

Store ProbeStore(const std::string& path)
{
    const long type = FileSystemType(path);
    if (type == kMsdosMagic) {
        return Store::Fat;
    }
    if (type == kNtfs3Magic || type == kFuseMagic) {
        std::string value;
        int err = 0;
        if (GetAttribute(path, kNtfsAttribute, value, err) && value.size() >= 4) {
            return Store::Ntfs;
        }
    }
    if (type == kCifsMagic || type == kSmb2Magic) {
        return Store::Cifs;
    }
    return Store::DosAttrib;
}

bool FatAttributes(const std::string& path, bool write, std::uint32_t& value, int& err)
{
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        err = errno;
        return false;
    }
    const int rc = RetryOnInterrupt(
        [&] { return ioctl(fd, write ? FAT_IOCTL_SET_ATTRIBUTES : FAT_IOCTL_GET_ATTRIBUTES, &value); });
    err = rc == 0 ? 0 : errno;
    close(fd);
    return rc == 0;
}

// The stored attribute word: nothing when the store cannot be read (no such xattr
// support, or no value): the mode and the name still count.
std::optional<std::uint32_t> ReadStoredWord(const std::string& path, Store store)
{
    std::string value;
    int err = 0;
    switch (store) {
    case Store::Fat: {
        std::uint32_t word = 0;
        return FatAttributes(path, false, word, err) ? std::optional<std::uint32_t>(word) : std::nullopt;
    }
    case Store::Ntfs:
    case Store::Cifs:
        if (GetAttribute(path, store == Store::Ntfs ? kNtfsAttribute : kCifsAttribute, value, err) &&
            value.size() >= 4) {
            return Le32(value);
        }
        return std::nullopt;
    case Store::DosAttrib:
        if (GetAttribute(path, kDosAttribute, value, err) && !value.empty()) {
            return ParseDosAttributeBlob(value);
        }
        return std::nullopt;
    }
    return std::nullopt;
}

bool IsDotName(const std::string& name);

// The stored attribute word of a path on a file system of the given type: the store that
// ProbeStore picks, read with one request where the probe itself reads the word (NTFS).
std::optional<std::uint32_t> StoredWordOn(long type, const std::string& path)
{
    if (type == kMsdosMagic) {
        return ReadStoredWord(path, Store::Fat);
    }
    if (type == kNtfs3Magic || type == kFuseMagic) {
        std::string value;
        int err = 0;
        if (GetAttribute(path, kNtfsAttribute, value, err) && value.size() >= 4) {
            return Le32(value);
        }
    }
    if (type == kCifsMagic || type == kSmb2Magic) {
        return ReadStoredWord(path, Store::Cifs);
    }
    return ReadStoredWord(path, Store::DosAttrib);
}

// The attribute word from the stored word, the mode and the name; listedHidden tells
// whether the folder's ".hidden" names the entry (asked only where no word is stored).
template <typename ListedHidden>
std::uint32_t ComposeWord(const std::optional<std::uint32_t>& stored, mode_t mode, const std::string& name,
                          ListedHidden&& listedHidden)
{
    std::uint32_t word = stored.value_or(0);
    if (S_ISDIR(mode)) {
        word |= kDirectory;
    }
    if ((mode & kAnyWrite) == 0) {
        word |= kAttributeReadOnly;
    }
    // The folder's ".hidden" list counts where no attribute word is stored: a stored word
    // is what other programs (file servers, compatibility layers) change, so it decides.
    if (IsDotName(name) || (!stored && listedHidden())) {
        word |= kAttributeHidden;
    }
    return word;
}

// The last part of the path as the user named it (a link keeps its own name).
std::string NameOf(const std::string& path, std::string& folder)
{
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') {
        trimmed.pop_back();
    }
    const std::size_t slash = trimmed.rfind('/');
    if (slash == std::string::npos) {
        folder = ".";
        return trimmed;
    }
    folder.assign(trimmed, 0, slash == 0 ? 1 : slash);
    return std::string(trimmed, slash + 1);
}

bool IsDotName(const std::string& name)
{
    return name.size() > 1 && name[0] == '.' && name != "..";
}

bool ListedInHiddenFile(const std::string& folder, const std::string& name)
{
    std::string content;
    if (name.empty() || name == "." || name == ".." || !ReadSmallRegularFile(folder + "/.hidden", content, 1 << 20)) {
        return false;
    }
    return HiddenListContains(content, name);
}

bool UpdateHiddenFile(const std::string& folder, const std::string& name, bool hidden, int& err)
{
    const std::string listPath = folder + "/.hidden";
    std::string content;
    if (!ReadSmallRegularFile(listPath, content, 1 << 20)) {
        if (errno != ENOENT) {
            err = errno;
            return false;
        }
        if (!hidden) {
            return true;
        }
        content.clear();
    }
    const std::string updated = HiddenListWith(content, name, hidden);
    if (updated == content) {
        return true;
    }
    if (updated.empty()) {
        if (unlink(listPath.c_str()) != 0 && errno != ENOENT) {
            err = errno;
            return false;
        }
        return true;
    }
    const Result<void> replaced = ReplaceFileAtomically(listPath, updated);
    if (!replaced) err = replaced.error().systemError;
    return replaced.has_value();
}

// The write bits remembered when read-only was set; nothing when there is no valid record.
std::optional<mode_t> RememberedWriteBits(const std::string& path)
{
    std::string value;
    int err = 0;
    if (!GetAttribute(path, kWriteBitsAttribute, value, err) || value.empty() || value.size() > 4) {
        return std::nullopt;
    }
    mode_t bits = 0;
    for (char c : value) {
        if (c < '0' || c > '7') return std::nullopt;
        bits = static_cast<mode_t>(bits * 8 + static_cast<mode_t>(c - '0'));
    }
    // Only write bits are ever given back, whatever the record says.
    bits &= kAnyWrite;
    return bits != 0 ? std::optional<mode_t>(bits) : std::nullopt;
}

bool RememberWriteBits(const std::string& path, mode_t bits, int& err)
{
    char text[8];
    std::snprintf(text, sizeof text, "%o", static_cast<unsigned>(bits & kAnyWrite));
    if (setxattr(path.c_str(), kWriteBitsAttribute, text, std::strlen(text), 0) != 0) {
        err = errno;
        return false;
    }
    return true;
}

void ForgetWriteBits(const std::string& path)
{
    removexattr(path.c_str(), kWriteBitsAttribute);
}

bool SetMode(const std::string& path, mode_t mode, int& err)
{
    if (chmod(path.c_str(), mode & 07777) != 0) {
        err = errno;
        return false;
    }
    return true;
}

} // namespace

std::optional<std::uint32_t> PosixFileAttributes::ReadAttributes(const std::string& path)
{
    struct stat st {};
    if (path.empty() || stat(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
    const std::optional<std::uint32_t> stored = StoredWordOn(FileSystemType(path), path);
    std::string folder;
    const std::string name = NameOf(path, folder);
    return ComposeWord(stored, st.st_mode, name, [&] { return ListedInHiddenFile(folder, name); });
}

Result<std::vector<FolderEntry>> PosixFileAttributes::ListFolder(const std::string& folder, bool followLinks)
{
    std::vector<FolderEntry> entries;
    const auto fail = [&](int err) { return Fail(ErrorFromErrno(err, folder, kListFolderFailed)); };
    const int fd = RetryOnInterrupt([&] { return open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
    if (fd < 0) {
        return fail(errno);
    }
    DIR* dir = fdopendir(fd);
    if (dir == nullptr) {
        const int err = errno;
        close(fd);
        return fail(err);
    }
    struct DirCloser {
        DIR* dir;
        ~DirCloser() { closedir(dir); }
    } closer{dir};

    // Asked once for the folder: its device and file system type hold for every entry on
    // the same device; an entry elsewhere (a mount point, a link's target) is asked itself.
    struct stat folderStat {};
    if (fstat(fd, &folderStat) != 0) {
        return fail(errno);
    }
    struct statfs folderFs {};
    const long folderType = fstatfs(fd, &folderFs) == 0 ? static_cast<long>(folderFs.f_type) : 0;
    const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    // The ".hidden" list, read when the first entry without a stored word needs it.
    std::optional<std::string> hiddenList;
    const auto listedHidden = [&](const std::string& name) {
        if (!hiddenList) {
            std::string content;
            hiddenList = ReadSmallRegularFile(prefix + ".hidden", content, 1 << 20) ? content : std::string();
        }
        return HiddenListContains(*hiddenList, name);
    };

    const int statFlags = AT_NO_AUTOMOUNT | (followLinks ? 0 : AT_SYMLINK_NOFOLLOW);
    for (;;) {
        errno = 0;
        const dirent* item = readdir(dir);
        if (item == nullptr) {
            if (errno != 0) {
                return fail(errno);
            }
            break;
        }
        const std::string name = item->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        FolderEntry entry;
        entry.name = name;
        struct statx sx {};
        if (statx(fd, item->d_name, statFlags, STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_MTIME, &sx) != 0) {
            entry.kind = FolderEntry::Kind::Unreadable;
            entry.error = errno;
            entries.push_back(std::move(entry));
            continue;
        }
        const mode_t mode = sx.stx_mode;
        if (S_ISLNK(mode)) {
            entry.kind = FolderEntry::Kind::Link;
        } else if (S_ISREG(mode) || S_ISDIR(mode)) {
            entry.kind = S_ISDIR(mode) ? FolderEntry::Kind::Folder : FolderEntry::Kind::File;
            entry.size = S_ISREG(mode) ? sx.stx_size : 0;
            entry.permissions = static_cast<std::filesystem::perms>(mode & 07777);
            entry.modified = std::chrono::file_clock::from_sys(std::chrono::sys_time<std::chrono::nanoseconds>(
                std::chrono::seconds(sx.stx_mtime.tv_sec) + std::chrono::nanoseconds(sx.stx_mtime.tv_nsec)));
            const std::string path = prefix + name;
            const bool sameDevice = makedev(sx.stx_dev_major, sx.stx_dev_minor) == folderStat.st_dev;
            const std::optional<std::uint32_t> stored =
                StoredWordOn(sameDevice ? folderType : FileSystemType(path), path);
            entry.attributes = ComposeWord(stored, mode, name, [&] { return listedHidden(name); });
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

AttributeRefusal PosixFileAttributes::RefusalFor(const std::string& path, std::uint32_t attributes)
{
    // A name that begins with a dot is hidden by every Linux file manager; no attribute
    // can show it.
    std::string folder;
    if ((attributes & kAttributeHidden) == 0 && IsDotName(NameOf(path, folder))) {
        return AttributeRefusal::NameAlwaysHidden;
    }
    return AttributeRefusal::None;
}

Result<void> PosixFileAttributes::WriteAttributes(const std::string& path, std::uint32_t attributes)
{
    attributes &= kSettableAttributes;
    int err = 0;
    auto fail = [&](int e) -> Result<void> { return Fail(ErrorFromErrno(e, path, kWriteAttributesFailed)); };
    struct stat st {};
    if (path.empty() || stat(path.c_str(), &st) != 0) {
        return fail(path.empty() ? ENOENT : errno);
    }
    if (RefusalFor(path, attributes) != AttributeRefusal::None) {
        return fail(EPERM);
    }
    const bool readOnly = (attributes & kAttributeReadOnly) != 0;
    // A folder's read-only flag is only a mark; taking its write bits would stop files
    // from being created or deleted in it, so its mode is left alone.
    const bool keepMode = S_ISDIR(st.st_mode);
    const Store store = ProbeStore(path);

    if (store == Store::Fat) {
        // The FAT attribute byte carries read-only itself; the mode follows from it.
        std::uint32_t word = 0;
        if (!FatAttributes(path, false, word, err)) {
            return fail(err);
        }
        word = (word & ~kSettableAttributes) | attributes;
        if (!FatAttributes(path, true, word, err)) {
            return fail(err);
        }
    } else {
        // Writing the attribute needs write access, so the write bits come back before
        // it, and go only after it.
        if (!keepMode && !readOnly && (st.st_mode & kAnyWrite) == 0) {
            const mode_t bits = RememberedWriteBits(path).value_or(S_IWUSR);
            if (!SetMode(path, st.st_mode | bits, err)) {
                return fail(err);
            }
        }
        const std::optional<std::uint32_t> old = ReadStoredWord(path, store);
        const std::uint32_t word = (old.value_or(0) & ~kSettableAttributes) | attributes;
        int rc = 0;
        if (store == Store::DosAttrib) {
            std::string oldBlob;
            int readErr = 0;
            GetAttribute(path, kDosAttribute, oldBlob, readErr);
            const std::optional<std::string> blob = UpdatedDosAttributeBlob(oldBlob, word);
            if (!blob) {
                // A record of a kind we do not know is left as it is rather than damaged.
                return fail(EILSEQ);
            }
            rc = setxattr(path.c_str(), kDosAttribute, blob->data(), blob->size(), 0);
        } else {
            const std::string bytes = Le32Bytes(word);
            rc = setxattr(path.c_str(), store == Store::Ntfs ? kNtfsAttribute : kCifsAttribute, bytes.data(),
                          bytes.size(), 0);
        }
        if (rc != 0) {
            err = errno;
            // Without extended attributes the mode and the name still carry read-only and
            // hidden; archive and system have nowhere to go.
            const bool unsupported = err == ENOTSUP || err == EOPNOTSUPP;
            if (!unsupported || (attributes & (kAttributeArchive | kAttributeSystem)) != 0) {
                return fail(err);
            }
        }
        if (!keepMode && readOnly && (st.st_mode & kAnyWrite) != 0) {
            // Without extended attributes nothing can be remembered; clearing read-only
            // then gives back the owner's write bit only.
            if (!RememberWriteBits(path, st.st_mode & kAnyWrite, err) && err != ENOTSUP && err != EOPNOTSUPP) {
                return fail(err);
            }
            if (!SetMode(path, st.st_mode & ~kAnyWrite, err)) {
                ForgetWriteBits(path);
                return fail(err);
            }
        } else if (!keepMode && !readOnly) {
            ForgetWriteBits(path);
        }
    }

    // File managers hide names listed in the folder's ".hidden"; a dot name is hidden anyway.
    std::string folder;
    const std::string name = NameOf(path, folder);
    if (!IsDotName(name) && !name.empty() && name != "." && name != "..") {
        if (!UpdateHiddenFile(folder, name, (attributes & kAttributeHidden) != 0, err)) {
            return fail(err);
        }
    }
    return Ok();
}

} // namespace velmora
