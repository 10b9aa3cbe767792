// Folders held by a descriptor, and the new files made in them: every call names one part
// relative to an open folder (openat, mkdirat, linkat, renameat, unlinkat) and refuses to
// follow a link, so a folder replaced by a link under us cannot redirect anything.
#include "platform/FolderHandle.h"
#include "platform/UnnamedFile.h"
#include "platform/WritePiece.h"

#include "common/RetryOnInterrupt.h"
#include "common/TemporaryNameTag.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

namespace velmora {

namespace fs = std::filesystem;

namespace {

bool WriteAll(int fd, const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const std::size_t piece = size < kWritePiece ? size : kWritePiece;
        const ssize_t n = RetryOnInterrupt([&] { return write(fd, bytes, piece); });
        if (n < 0) return false;
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool SetFdModeAndTime(int fd, unsigned mode, std::optional<fs::file_time_type> modified)
{
    if (fchmod(fd, static_cast<mode_t>(mode & 0777u)) != 0) return false;
    if (!modified) return true;
    using namespace std::chrono;
    const auto ns = duration_cast<nanoseconds>(file_clock::to_sys(*modified).time_since_epoch()).count();
    timespec times[2] = {};
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<time_t>(ns / 1000000000);
    times[1].tv_nsec = static_cast<long>(ns % 1000000000);
    if (times[1].tv_nsec < 0) {
        times[1].tv_nsec += 1000000000;
        times[1].tv_sec -= 1;
    }
    return futimens(fd, times) == 0;
}

// A hidden name for a temporary file (random, so unlikely to exist).
std::string TemporaryName()
{
    return ".velmora-" + TemporaryNameTag() + ".part";
}

std::FILE* ReadingStream(int fd)
{
    std::FILE* file = fdopen(fd, "rb");
    if (!file) {
        const int error = errno;
        close(fd);
        errno = error;
    }
    return file;
}

class PosixFolderHandle;

// A new file open for writing in a folder, which it keeps open: what both kinds below
// write through.
class FileInFolder : public UnnamedFile {
public:
    FileInFolder(int fd, std::shared_ptr<PosixFolderHandle> folder, int folderFd)
        : m_fd(fd), m_folder(std::move(folder)), m_folderFd(folderFd)
    {}
    ~FileInFolder() override { close(m_fd); }
    FileInFolder(const FileInFolder&) = delete;
    FileInFolder& operator=(const FileInFolder&) = delete;

    bool Write(const void* data, std::size_t size) override { return WriteAll(m_fd, data, size); }
    bool SetModeAndTime(unsigned mode, std::optional<fs::file_time_type> modified) override
    {
        return SetFdModeAndTime(m_fd, mode, modified);
    }

protected:
    int m_fd;
    std::shared_ptr<PosixFolderHandle> m_folder; // keeps m_folderFd open
    int m_folderFd;
};

// Files made with O_TMPFILE: they live in the folder's file system without an entry, and
// linkat gives them their name (failing with EEXIST instead of replacing anything).
class NoNameFile final : public FileInFolder {
public:
    NoNameFile(int fd, std::shared_ptr<PosixFolderHandle> folder, int folderFd)
        : FileInFolder(fd, std::move(folder), folderFd)
    {
        std::snprintf(m_proc, sizeof m_proc, "/proc/self/fd/%d", fd);
    }

    bool HasNoName() const override { return true; }
    int Place(const fs::path& name) override
    {
        if (linkat(AT_FDCWD, m_proc, m_folderFd, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
        const int error = errno;
        // Without /proc the handle itself can be linked where the process may do so.
        if (error == ENOENT && linkat(m_fd, "", m_folderFd, name.c_str(), AT_EMPTY_PATH) == 0) return 0;
        return error;
    }
    int Replace(const fs::path& name) override
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string temp = TemporaryName();
            const int error = Place(temp);
            if (error == EEXIST) continue;
            if (error != 0) return error;
            if (renameat(m_folderFd, temp.c_str(), m_folderFd, name.c_str()) == 0) return 0;
            const int renameError = errno;
            unlinkat(m_folderFd, temp.c_str(), 0);
            return renameError;
        }
        return EEXIST;
    }
    std::FILE* OpenForReading() override
    {
        const int fd = RetryOnInterrupt([&] { return open(m_proc, O_RDONLY | O_CLOEXEC); });
        return fd < 0 ? nullptr : ReadingStream(fd);
    }

private:
    char m_proc[40];
};

// Where a folder has no unnamed files: a private file under a hidden temporary name,
// given its name by a link (never replacing) or a rename, and removed if it never is.
class TemporaryFile final : public FileInFolder {
public:
    TemporaryFile(int fd, std::string temp, std::shared_ptr<PosixFolderHandle> folder, int folderFd)
        : FileInFolder(fd, std::move(folder), folderFd), m_temp(std::move(temp))
    {}
    ~TemporaryFile() override
    {
        if (!m_placed) unlinkat(m_folderFd, m_temp.c_str(), 0);
    }

    bool HasNoName() const override { return false; }
    int Place(const fs::path& name) override
    {
        if (linkat(m_folderFd, m_temp.c_str(), m_folderFd, name.c_str(), 0) != 0) return errno;
        unlinkat(m_folderFd, m_temp.c_str(), 0);
        m_placed = true;
        return 0;
    }
    int Replace(const fs::path& name) override
    {
        if (renameat(m_folderFd, m_temp.c_str(), m_folderFd, name.c_str()) != 0) return errno;
        m_placed = true;
        return 0;
    }
    std::FILE* OpenForReading() override
    {
        const int fd =
            RetryOnInterrupt([&] { return openat(m_folderFd, m_temp.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC); });
        return fd < 0 ? nullptr : ReadingStream(fd);
    }

private:
    std::string m_temp;
    bool m_placed = false;
};

FolderItem ItemOf(const struct stat& st)
{
    FolderItem item;
    item.kind = S_ISREG(st.st_mode)   ? FolderItem::Kind::File
                : S_ISDIR(st.st_mode) ? FolderItem::Kind::Folder
                : S_ISLNK(st.st_mode) ? FolderItem::Kind::Link
                                      : FolderItem::Kind::Other;
    item.mode = static_cast<unsigned>(st.st_mode) & 07777u;
    item.device = static_cast<std::uint64_t>(st.st_dev);
    item.inode = static_cast<std::uint64_t>(st.st_ino);
    return item;
}

// Opens the folder name in folderFd without following a link: the descriptor, or -1 with
// errno ELOOP for a link and ENOTDIR for anything else that is not a folder.
int OpenSubfolder(int folderFd, const char* name)
{
    const int fd =
        RetryOnInterrupt([&] { return openat(folderFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC); });
    if (fd >= 0 || (errno != ELOOP && errno != ENOTDIR)) return fd;
    struct stat st;
    const bool link = fstatat(folderFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
    errno = link ? ELOOP : ENOTDIR;
    return -1;
}

// Calls visit(name) for each entry of the open folder fd but "." and "..", reading from the
// start through a descriptor of its own. 0, or the errno value of opening or reading the listing.
template <typename Visit> int ForEachEntry(int fd, Visit visit)
{
    const int listFd = dup(fd);
    if (listFd < 0) return errno;
    DIR* dir = fdopendir(listFd);
    if (!dir) {
        const int error = errno;
        close(listFd);
        return error;
    }
    rewinddir(dir);
    int error = 0;
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir);
        if (!entry) {
            error = errno;
            break;
        }
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
        visit(name);
    }
    closedir(dir);
    return error;
}

int RemoveContents(int fd);

// Removes the entry name of the open folder folderFd, a folder with everything in it, entering
// each subfolder through its own descriptor; links are removed, never followed. 0 (also when
// nothing has that name) or the first errno value.
int RemoveEntry(int folderFd, const char* name)
{
    if (unlinkat(folderFd, name, 0) == 0) return 0;
    if (errno == ENOENT) return 0;
    if (errno != EISDIR && errno != EPERM) return errno;
    const int sub = OpenSubfolder(folderFd, name);
    if (sub < 0) return errno;
    const int error = RemoveContents(sub);
    close(sub);
    if (error != 0) return error;
    return unlinkat(folderFd, name, AT_REMOVEDIR) == 0 || errno == ENOENT ? 0 : errno;
}

// Removes everything in the open folder fd. 0 or the first errno value.
int RemoveContents(int fd)
{
    int firstError = 0;
    const int listError = ForEachEntry(fd, [&](const char* name) {
        const int error = RemoveEntry(fd, name);
        if (error != 0 && firstError == 0) firstError = error;
    });
    return firstError != 0 ? firstError : listError;
}

class PosixFolderHandle final : public FolderHandle, public std::enable_shared_from_this<PosixFolderHandle> {
public:
    PosixFolderHandle(int fd, fs::path path) : FolderHandle(std::move(path)), m_fd(fd) {}
    ~PosixFolderHandle() override { close(m_fd); }
    PosixFolderHandle(const PosixFolderHandle&) = delete;
    PosixFolderHandle& operator=(const PosixFolderHandle&) = delete;

    int Look(const fs::path& name, FolderItem& item) const override
    {
        struct stat st;
        if (fstatat(m_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            item = FolderItem{};
            return errno == ENOENT ? 0 : errno;
        }
        item = ItemOf(st);
        return 0;
    }

    std::shared_ptr<FolderHandle> Child(const fs::path& name, ChildMode mode, bool* created, int& error) override
    {
        if (created) *created = false;
        if (mode != ChildMode::Open) {
            if (mkdirat(m_fd, name.c_str(), 0777) == 0) {
                if (created) *created = true;
            } else if (errno != EEXIST || mode == ChildMode::CreateNew) {
                error = errno;
                return nullptr;
            }
        }
        const int fd = OpenSubfolder(m_fd, name.c_str());
        if (fd < 0) {
            error = errno;
            return nullptr;
        }
        return std::make_shared<PosixFolderHandle>(fd, Path() / name);
    }

    std::unique_ptr<UnnamedFile> NewFile(bool noNameOnly, int& error) override
    {
        // Naming an unnamed file goes through /proc/self/fd; without it the temporary
        // file serves (looked at once per process).
        static const bool procUsable = access("/proc/self/fd", X_OK) == 0;
        if (procUsable) {
            const int fd = RetryOnInterrupt([&] { return openat(m_fd, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600); });
            if (fd >= 0) return std::make_unique<NoNameFile>(fd, shared_from_this(), m_fd);
            error = errno;
        } else {
            error = ENOSYS;
        }
        if (noNameOnly) return nullptr;
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string temp = TemporaryName();
            const int fd = RetryOnInterrupt(
                [&] { return openat(m_fd, temp.c_str(), O_CREAT | O_EXCL | O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0600); });
            if (fd >= 0) return std::make_unique<TemporaryFile>(fd, std::move(temp), shared_from_this(), m_fd);
            error = errno;
            if (error != EEXIST) break;
        }
        return nullptr;
    }

    std::FILE* OpenForReading(const fs::path& name, int& error) override
    {
        // Not blocking on a FIFO, and only a regular file is read.
        const int fd = RetryOnInterrupt(
            [&] { return openat(m_fd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC); });
        if (fd < 0) {
            error = errno;
            return nullptr;
        }
        struct stat st;
        if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
            close(fd);
            return nullptr;
        }
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        std::FILE* file = ReadingStream(fd);
        if (!file) error = errno;
        return file;
    }

    int Move(const fs::path& name, FolderHandle& to, const fs::path& toName) override
    {
        const int toFd = static_cast<PosixFolderHandle&>(to).m_fd;
        return renameat(m_fd, name.c_str(), toFd, toName.c_str()) == 0 ? 0 : errno;
    }

    int RemoveTree(const fs::path& name) override { return RemoveEntry(m_fd, name.c_str()); }

    int MakeLink(const fs::path& name, const std::string& target) override
    {
        return symlinkat(target.c_str(), m_fd, name.c_str()) == 0 ? 0 : errno;
    }

    int SetMode(unsigned mode) override { return fchmod(m_fd, static_cast<mode_t>(mode & 0777u)) == 0 ? 0 : errno; }

    int List(std::vector<fs::path>& names) override
    {
        names.clear();
        return ForEachEntry(m_fd, [&](const char* name) { names.emplace_back(name); });
    }

private:
    int m_fd;
};

unsigned ReadNewFileMode()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("Umask:", 0) == 0) {
            try {
                return 0666u & ~static_cast<unsigned>(std::stoul(line.substr(6), nullptr, 8));
            } catch (const std::exception&) {
                break;
            }
        }
    }
    return 0600u;
}

} // namespace

std::shared_ptr<FolderHandle> OpenFolderHandle(const fs::path& path, int& error, LastPartLink link)
{
    const char* where = path.empty() ? "." : path.c_str();
    int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    struct stat st;
    if (link == LastPartLink::Refused || lstat(where, &st) != 0 || !S_ISLNK(st.st_mode)) flags |= O_NOFOLLOW;
    const int fd = RetryOnInterrupt([&] { return open(where, flags); });
    if (fd < 0) {
        error = errno;
        return nullptr;
    }
    return std::make_shared<PosixFolderHandle>(fd, path);
}

bool FileIdentity(const fs::path& path, std::uint64_t& device, std::uint64_t& inode)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return false;
    device = static_cast<std::uint64_t>(st.st_dev);
    inode = static_cast<std::uint64_t>(st.st_ino);
    return true;
}

unsigned NewFileMode()
{
    return ReadNewFileMode();
}

} // namespace velmora
