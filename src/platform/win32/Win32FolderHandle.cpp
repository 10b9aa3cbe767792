// Folders held by a handle that does not let others delete or rename them
// (no FILE_SHARE_DELETE), each one opened without following a junction or link and
// checked to be a plain folder. While a folder and the folders above it are held, a path
// below them names what it named when it was checked, so the path-based calls here cannot
// be sent elsewhere by a folder swapped for a junction. Windows has no files without a
// name: new files are written under a hidden temporary name and renamed into place.
#include "common/TemporaryNameTag.h"
#include "platform/FolderHandle.h"
#include "platform/UnnamedFile.h"

#include "platform/win32/WinText.h"

#include <windows.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <io.h>

namespace velmora {

namespace fs = std::filesystem;

namespace {

int LastErrno()
{
    return win32::ErrnoFromWin32(GetLastError());
}

fs::path TemporaryName()
{
    return win32::Widen(".velmora-" + TemporaryNameTag() + ".part");
}

// A UTC file time (100 ns ticks since 1601) from a std::filesystem time.
FILETIME ToFileTime(fs::file_time_type time)
{
    using Ticks = std::chrono::duration<long long, std::ratio<1, 10000000>>;
    const long long since1970 =
        std::chrono::duration_cast<Ticks>(std::chrono::file_clock::to_sys(time).time_since_epoch()).count();
    const auto ticks = static_cast<unsigned long long>(since1970 + 116444736000000000LL);
    FILETIME result;
    result.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFFu);
    result.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return result;
}

std::FILE* StreamOf(HANDLE handle, int& error)
{
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        error = EMFILE;
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, "rb");
    if (!file) {
        error = errno;
        _close(fd);
    }
    return file;
}

void SetReadOnly(const fs::path& path, bool readOnly)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    const DWORD wanted = readOnly ? (attributes | FILE_ATTRIBUTE_READONLY) : (attributes & ~FILE_ATTRIBUTE_READONLY);
    if (wanted != attributes) SetFileAttributesW(path.c_str(), wanted);
}

class WinFolderHandle;

// A private file under a hidden temporary name beside its final place.
class TemporaryFile final : public UnnamedFile {
public:
    TemporaryFile(HANDLE handle, fs::path temp, std::shared_ptr<WinFolderHandle> folder)
        : m_handle(handle), m_temp(std::move(temp)), m_folder(std::move(folder))
    {}
    ~TemporaryFile() override
    {
        CloseFile();
        if (!m_placed) DeleteFileW(m_temp.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    bool HasNoName() const override { return false; }
    bool Write(const void* data, std::size_t size) override
    {
        const auto* bytes = static_cast<const unsigned char*>(data);
        while (size > 0) {
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
            DWORD written = 0;
            if (!WriteFile(m_handle, bytes, chunk, &written, nullptr)) {
                errno = LastErrno();
                return false;
            }
            bytes += written;
            size -= written;
        }
        return true;
    }
    bool SetModeAndTime(unsigned mode, std::optional<fs::file_time_type> modified) override
    {
        m_readOnly = (mode & 0222u) == 0;
        if (!modified) return true;
        const FILETIME time = ToFileTime(*modified);
        if (!SetFileTime(m_handle, nullptr, nullptr, &time)) {
            errno = LastErrno();
            return false;
        }
        return true;
    }
    int Place(const fs::path& name) override { return PutInPlace(name, 0); }
    int Replace(const fs::path& name) override { return PutInPlace(name, MOVEFILE_REPLACE_EXISTING); }
    std::FILE* OpenForReading() override
    {
        const HANDLE handle =
            CreateFileW(m_temp.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            errno = LastErrno();
            return nullptr;
        }
        int error = 0;
        std::FILE* file = StreamOf(handle, error);
        if (!file) errno = error;
        return file;
    }

private:
    void CloseFile()
    {
        if (m_handle != INVALID_HANDLE_VALUE) CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }
    int PutInPlace(const fs::path& name, DWORD flags);

    HANDLE m_handle;
    fs::path m_temp;
    std::shared_ptr<WinFolderHandle> m_folder; // keeps the folder held
    bool m_placed = false;
    bool m_readOnly = false;
};

class WinFolderHandle final : public FolderHandle, public std::enable_shared_from_this<WinFolderHandle> {
public:
    WinFolderHandle(HANDLE handle, fs::path path) : FolderHandle(std::move(path)), m_handle(handle) {}
    ~WinFolderHandle() override { CloseHandle(m_handle); }
    WinFolderHandle(const WinFolderHandle&) = delete;
    WinFolderHandle& operator=(const WinFolderHandle&) = delete;

    // Opens path as a held folder; without followLinks a junction or link is refused (ELOOP).
    static std::shared_ptr<WinFolderHandle> Open(const fs::path& path, bool followLinks, int& error)
    {
        const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
        const HANDLE handle = CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, flags, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            error = LastErrno();
            return nullptr;
        }
        BY_HANDLE_FILE_INFORMATION info{};
        if (!GetFileInformationByHandle(handle, &info)) {
            error = LastErrno();
            CloseHandle(handle);
            return nullptr;
        }
        if (!followLinks && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            error = ELOOP;
            CloseHandle(handle);
            return nullptr;
        }
        if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            error = ENOTDIR;
            CloseHandle(handle);
            return nullptr;
        }
        return std::make_shared<WinFolderHandle>(handle, path);
    }

    int Look(const fs::path& name, FolderItem& item) const override
    {
        item = FolderItem{};
        const fs::path path = Path() / name;
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
            const DWORD code = GetLastError();
            return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? 0 : win32::ErrnoFromWin32(code);
        }
        const DWORD a = data.dwFileAttributes;
        item.kind = (a & FILE_ATTRIBUTE_REPARSE_POINT) ? FolderItem::Kind::Link
                    : (a & FILE_ATTRIBUTE_DIRECTORY)   ? FolderItem::Kind::Folder
                    : (a & FILE_ATTRIBUTE_DEVICE)      ? FolderItem::Kind::Other
                                                       : FolderItem::Kind::File;
        item.mode = (a & FILE_ATTRIBUTE_READONLY) && item.kind == FolderItem::Kind::File ? 0444u : 0666u;
        if (item.kind == FolderItem::Kind::File) {
            const HANDLE handle = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                              nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
            BY_HANDLE_FILE_INFORMATION info{};
            if (handle != INVALID_HANDLE_VALUE && GetFileInformationByHandle(handle, &info)) {
                item.device = info.dwVolumeSerialNumber;
                item.inode = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
            }
            if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
        }
        return 0;
    }

    std::shared_ptr<FolderHandle> Child(const fs::path& name, ChildMode mode, bool* created, int& error) override
    {
        if (created) *created = false;
        const fs::path path = Path() / name;
        if (mode != ChildMode::Open) {
            if (CreateDirectoryW(path.c_str(), nullptr)) {
                if (created) *created = true;
            } else if (GetLastError() != ERROR_ALREADY_EXISTS || mode == ChildMode::CreateNew) {
                error = LastErrno();
                return nullptr;
            }
        }
        return Open(path, false, error);
    }

    std::unique_ptr<UnnamedFile> NewFile(bool noNameOnly, int& error) override
    {
        if (noNameOnly) {
            error = ENOSYS;
            return nullptr;
        }
        for (int attempt = 0; attempt < 100; ++attempt) {
            fs::path temp = Path() / TemporaryName();
            const HANDLE handle = CreateFileW(temp.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (handle != INVALID_HANDLE_VALUE) {
                return std::make_unique<TemporaryFile>(handle, std::move(temp), shared_from_this());
            }
            error = LastErrno();
            if (GetLastError() != ERROR_FILE_EXISTS) break;
        }
        return nullptr;
    }

    std::FILE* OpenForReading(const fs::path& name, int& error) override
    {
        const fs::path path = Path() / name;
        const HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            error = LastErrno();
            return nullptr;
        }
        BY_HANDLE_FILE_INFORMATION info{};
        if (!GetFileInformationByHandle(handle, &info) ||
            (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))) {
            error = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? ELOOP : EISDIR;
            CloseHandle(handle);
            return nullptr;
        }
        return StreamOf(handle, error);
    }

    int Move(const fs::path& name, FolderHandle& to, const fs::path& toName) override
    {
        const fs::path from = Path() / name;
        const fs::path target = to.Path() / toName;
        return MoveFileExW(from.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : LastErrno();
    }

    int RemoveTree(const fs::path& name) override { return RemovePath(Path() / name); }

    // Links need rights most users lack on Windows: none are made.
    int MakeLink(const fs::path&, const std::string&) override { return ENOSYS; }

    int SetMode(unsigned mode) override
    {
        SetReadOnly(Path(), (mode & 0222u) == 0);
        return 0;
    }

    int List(std::vector<fs::path>& names) override
    {
        names.clear();
        WIN32_FIND_DATAW data;
        const fs::path pattern = Path() / L"*";
        const HANDLE find = FindFirstFileW(pattern.c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) {
            return GetLastError() == ERROR_FILE_NOT_FOUND ? 0 : LastErrno();
        }
        do {
            const std::wstring entry = data.cFileName;
            if (entry != L"." && entry != L"..") names.emplace_back(entry);
        } while (FindNextFileW(find, &data));
        FindClose(find);
        return 0;
    }

private:
    // A link or junction is removed itself; a folder is held while it is emptied, so its
    // contents are reached through it, and removed after.
    static int RemovePath(const fs::path& path)
    {
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            const DWORD code = GetLastError();
            return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? 0 : win32::ErrnoFromWin32(code);
        }
        if (attributes & FILE_ATTRIBUTE_READONLY)
            SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            const BOOL removed =
                (attributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(path.c_str()) : DeleteFileW(path.c_str());
            return removed ? 0 : LastErrno();
        }
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return DeleteFileW(path.c_str()) ? 0 : LastErrno();
        int firstError = 0;
        {
            int error = 0;
            const std::shared_ptr<WinFolderHandle> held = Open(path, false, error);
            if (!held) return error;
            std::vector<fs::path> names;
            if (const int listError = held->List(names)) return listError;
            for (const fs::path& entry : names) {
                const int entryError = RemovePath(path / entry);
                if (entryError != 0 && firstError == 0) firstError = entryError;
            }
        }
        if (firstError != 0) return firstError;
        return RemoveDirectoryW(path.c_str()) ? 0 : LastErrno();
    }

    HANDLE m_handle;
};

int TemporaryFile::PutInPlace(const fs::path& name, DWORD flags)
{
    CloseFile();
    const fs::path target = m_folder->Path() / name;
    if (!MoveFileExW(m_temp.c_str(), target.c_str(), flags)) {
        const DWORD code = GetLastError();
        return code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS ? EEXIST : win32::ErrnoFromWin32(code);
    }
    m_placed = true;
    if (m_readOnly) SetReadOnly(target, true);
    return 0;
}

} // namespace

std::shared_ptr<FolderHandle> OpenFolderHandle(const fs::path& path, int& error, LastPartLink link)
{
    static const fs::path here(L".");
    const fs::path& where = path.empty() ? here : path;
    const DWORD attributes = GetFileAttributesW(where.c_str());
    const bool isLink = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    return WinFolderHandle::Open(where, link == LastPartLink::AsFound && isLink, error);
}

bool FileIdentity(const fs::path& path, std::uint64_t& device, std::uint64_t& inode)
{
    const HANDLE handle = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = GetFileInformationByHandle(handle, &info) != 0;
    CloseHandle(handle);
    if (!ok) return false;
    device = info.dwVolumeSerialNumber;
    inode = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

unsigned NewFileMode()
{
    return 0666u;
}

} // namespace velmora
