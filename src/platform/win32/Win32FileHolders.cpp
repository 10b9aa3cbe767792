#include "platform/win32/Win32FileHolders.h"

#include "common/Utf8Path.h"
#include "platform/win32/Win32Files.h"
#include "platform/win32/WinText.h"

#include <sddl.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

namespace velmora {

namespace {

// A folder is held through the files in it; the Restart Manager is given at most this
// many of them, so a huge tree cannot stall the list.
constexpr std::size_t kMostFilesOfAFolder = 4096;

class RestartManagerSession {
public:
    RestartManagerSession()
    {
        WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
        m_error = RmStartSession(&m_handle, 0, key);
    }
    ~RestartManagerSession()
    {
        if (m_error == ERROR_SUCCESS) RmEndSession(m_handle);
    }
    RestartManagerSession(const RestartManagerSession&) = delete;
    RestartManagerSession& operator=(const RestartManagerSession&) = delete;
    DWORD Error() const { return m_error; }
    DWORD Handle() const { return m_handle; }

private:
    DWORD m_handle = 0;
    DWORD m_error = ERROR_SUCCESS;
};

// "DOMAIN\user" of the process's owner, else its SID as text, else "".
std::string OwnerOf(HANDLE process)
{
    HANDLE rawToken = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &rawToken)) return {};
    const win32::Handle token(rawToken);
    DWORD size = 0;
    GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
    if (size == 0) return {};
    std::vector<unsigned char> buffer(size);
    if (!GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size)) return {};
    PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    wchar_t name[256] = {};
    wchar_t domain[256] = {};
    DWORD nameSize = static_cast<DWORD>(std::size(name));
    DWORD domainSize = static_cast<DWORD>(std::size(domain));
    SID_NAME_USE use{};
    if (LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use)) {
        return domainSize > 0 ? win32::Narrow(std::wstring(domain) + L"\\" + name) : win32::Narrow(name);
    }
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) return {};
    std::string owner = win32::Narrow(text);
    LocalFree(text);
    return owner;
}

bool SameTime(const FILETIME& a, const FILETIME& b)
{
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

// The holder's full program path and owner; false when the process has ended.
bool Describe(HANDLE process, FileHolder& holder)
{
    DWORD code = 0;
    if (GetExitCodeProcess(process, &code) && code != STILL_ACTIVE) return false;
    wchar_t image[MAX_PATH * 4];
    DWORD size = static_cast<DWORD>(std::size(image));
    if (QueryFullProcessImageNameW(process, 0, image, &size) && size > 0) {
        holder.program = win32::Narrow(std::wstring_view(image, size));
    }
    holder.user = OwnerOf(process);
    return true;
}

// The name of an open file on a disk as the system gives it, without the "\\?\" prefix;
// "" for anything else. Pipes and devices are never asked their name: on a pipe that
// question can block.
std::wstring FinalName(HANDLE file)
{
    if (GetFileType(file) != FILE_TYPE_DISK) return {};
    std::wstring name(1024, L'\0');
    DWORD length = GetFinalPathNameByHandleW(file, name.data(), static_cast<DWORD>(name.size()), 0);
    if (length >= name.size()) {
        name.assign(length + 1, L'\0');
        length = GetFinalPathNameByHandleW(file, name.data(), static_cast<DWORD>(name.size()), 0);
    }
    if (length == 0 || length >= name.size()) return {};
    name.resize(length);
    if (name.starts_with(L"\\\\?\\UNC\\")) return L"\\" + name.substr(7);
    if (name.starts_with(L"\\\\?\\")) return name.substr(4);
    return name;
}

bool SameText(std::wstring_view a, std::wstring_view b)
{
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// One entry of the system's handle table (SystemExtendedHandleInformation).
struct SystemHandle {
    PVOID object;
    ULONG_PTR process;
    ULONG_PTR handle;
    ULONG access;
    USHORT backTraceIndex;
    USHORT typeIndex;
    ULONG attributes;
    ULONG reserved;
};
struct SystemHandles {
    ULONG_PTR count;
    ULONG_PTR reserved;
    SystemHandle handles[1];
};
constexpr ULONG kSystemExtendedHandleInformation = 64;
constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);

// The processes with an open handle on target (or, for a folder, on anything inside
// it), found in the system's handle table: used where the Restart Manager names nobody
// although the file is in use (Wine's Restart Manager names no process at all), and for
// folders whose holders have no file open in them.
std::vector<FileHolder> HoldersFromHandleTable(const std::wstring& target, bool folder, const std::string& heldPath)
{
    using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr) return {};
    // A file handle of our own tells which type number the table gives files.
    wchar_t own[MAX_PATH * 4] = {};
    GetModuleFileNameW(nullptr, own, static_cast<DWORD>(std::size(own)));
    const win32::Handle probe(CreateFileW(own, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    if (!probe.Valid()) return {};
    std::vector<unsigned char> buffer(1 << 20);
    LONG status = 0;
    for (int attempt = 0; attempt < 8; ++attempt) {
        ULONG needed = 0;
        status = query(kSystemExtendedHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        if (status != kInfoLengthMismatch) break;
        buffer.resize(std::max<std::size_t>(buffer.size() * 2, needed + 65536));
    }
    if (status < 0) return {};
    const auto* table = reinterpret_cast<const SystemHandles*>(buffer.data());
    const DWORD self = GetCurrentProcessId();
    const SystemHandle* mine = std::find_if(table->handles, table->handles + table->count, [&](const SystemHandle& h) {
        return h.process == self && h.handle == reinterpret_cast<ULONG_PTR>(probe.Get());
    });
    if (mine == table->handles + table->count) return {};
    const USHORT fileType = mine->typeIndex;

    std::vector<FileHolder> holders;
    DWORD openedFor = 0;
    std::optional<win32::Handle> owner;
    for (const SystemHandle* entry = table->handles; entry != table->handles + table->count; ++entry) {
        const auto id = static_cast<DWORD>(entry->process);
        if (entry->typeIndex != fileType || id == self || id <= 4) continue;
        if (id != openedFor) {
            owner.emplace(OpenProcess(PROCESS_DUP_HANDLE, FALSE, id));
            openedFor = id;
        }
        if (!owner->Valid()) continue;
        HANDLE copy = nullptr;
        if (!DuplicateHandle(owner->Get(), reinterpret_cast<HANDLE>(entry->handle), GetCurrentProcess(), &copy, 0,
                             FALSE, DUPLICATE_SAME_ACCESS)) {
            continue;
        }
        const win32::Handle duplicate(copy);
        const std::wstring name = FinalName(duplicate.Get());
        const bool inside = folder && name.size() > target.size() + 1 &&
                            SameText(std::wstring_view(name).substr(0, target.size()), target) &&
                            name[target.size()] == L'\\';
        if (name.empty() || !(SameText(name, target) || inside)) continue;
        const bool reads = (entry->access & FILE_READ_DATA) != 0;
        const bool writes = (entry->access & (FILE_WRITE_DATA | FILE_APPEND_DATA)) != 0;
        const FileHold hold{HoldKind::Open,
                            reads && writes ? HoldAccess::ReadWrite
                            : writes        ? HoldAccess::Write
                            : reads         ? HoldAccess::Read
                                            : HoldAccess::None,
                            LockKind::None, inside ? win32::Narrow(name) : heldPath};
        auto holder = std::find_if(holders.begin(), holders.end(), [id](const FileHolder& h) { return h.id == id; });
        if (holder == holders.end()) {
            FileHolder added;
            added.id = id;
            const win32::Handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
            if (process.Valid() && !Describe(process.Get(), added)) continue;
            holders.push_back(std::move(added));
            holder = holders.end() - 1;
        }
        if (std::find(holder->holds.begin(), holder->holds.end(), hold) == holder->holds.end()) {
            holder->holds.push_back(hold);
        }
    }
    std::sort(holders.begin(), holders.end(), [](const FileHolder& a, const FileHolder& b) { return a.id < b.id; });
    return holders;
}

// The system's name of a path, as open handles on it are named.
std::wstring SystemName(const std::wstring& path)
{
    const win32::Handle item(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    std::wstring name = item.Valid() ? FinalName(item.Get()) : std::wstring();
    if (!name.empty()) return name;
    wchar_t full[MAX_PATH * 4] = {};
    const DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(std::size(full)), full, nullptr);
    return length > 0 && length < std::size(full) ? std::wstring(full, length) : path;
}

// True when some process has the file open in a way that keeps others out.
bool HeldAgainstExclusiveUse(const std::wstring& path)
{
    const win32::Handle file(
        CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return !file.Valid() && GetLastError() == ERROR_SHARING_VIOLATION;
}

} // namespace

namespace win32 {

DWORD QueryRestartManager(const std::vector<std::wstring>& files, std::vector<RM_PROCESS_INFO>& processes)
{
    processes.clear();
    RestartManagerSession session;
    if (session.Error() != ERROR_SUCCESS) return session.Error();
    std::vector<LPCWSTR> names;
    names.reserve(files.size());
    for (const std::wstring& file : files)
        names.push_back(file.c_str());
    DWORD error =
        RmRegisterResources(session.Handle(), static_cast<UINT>(names.size()), names.data(), 0, nullptr, 0, nullptr);
    if (error != ERROR_SUCCESS) return error;
    // The list can grow between asking for its length and reading it.
    for (int attempt = 0; attempt < 5; ++attempt) {
        UINT needed = 0;
        UINT count = static_cast<UINT>(processes.size());
        DWORD reasons = 0;
        error = RmGetList(session.Handle(), &needed, &count, processes.empty() ? nullptr : processes.data(), &reasons);
        if (error == ERROR_SUCCESS) {
            processes.resize(std::min<std::size_t>(count, processes.size()));
            return ERROR_SUCCESS;
        }
        if (error != ERROR_MORE_DATA) break;
        processes.assign(needed + 4u, RM_PROCESS_INFO{});
    }
    processes.clear();
    return error;
}

std::vector<FileHolder> HoldersFromRestartManager(const std::vector<RM_PROCESS_INFO>& processes,
                                                  const std::string& heldPath, DWORD ownProcess)
{
    std::vector<FileHolder> holders;
    for (const RM_PROCESS_INFO& info : processes) {
        const DWORD id = info.Process.dwProcessId;
        if (id == 0 || id == ownProcess) continue;
        if (std::any_of(holders.begin(), holders.end(), [id](const FileHolder& h) { return h.id == id; })) continue;
        FileHolder holder;
        holder.id = id;
        holder.program = Narrow(info.strAppName);
        const Handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
        if (process.Valid()) {
            // The number may have passed to another process since the list was read.
            FILETIME created{};
            FILETIME exited{};
            FILETIME kernel{};
            FILETIME user{};
            if (GetProcessTimes(process.Get(), &created, &exited, &kernel, &user) &&
                !SameTime(created, info.Process.ProcessStartTime)) {
                continue;
            }
            if (!Describe(process.Get(), holder)) continue;
        }
        // The Restart Manager tells that a process uses the file, not how.
        holder.holds.push_back({HoldKind::Open, HoldAccess::None, LockKind::None, heldPath});
        holders.push_back(std::move(holder));
    }
    std::sort(holders.begin(), holders.end(), [](const FileHolder& a, const FileHolder& b) { return a.id < b.id; });
    return holders;
}

} // namespace win32

HolderList Win32FileHolders::ListHolders(const std::string& path)
{
    HolderList list;
    if (path.empty()) return list;
    const std::wstring wide = win32::Widen(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    list.exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (!list.exists) return list;

    // The Restart Manager follows files only: a folder is looked at through its files.
    std::vector<std::wstring> files;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        std::error_code ec;
        for (auto it = std::filesystem::recursive_directory_iterator(
                 PathFromUtf8(path), std::filesystem::directory_options::skip_permission_denied, ec);
             !ec && it != std::filesystem::recursive_directory_iterator() && files.size() < kMostFilesOfAFolder;
             it.increment(ec)) {
            if (it->is_regular_file(ec)) files.push_back(it->path().native());
        }
    } else {
        files.push_back(wide);
    }
    std::vector<RM_PROCESS_INFO> processes;
    if (!files.empty() && win32::QueryRestartManager(files, processes) == ERROR_SUCCESS) {
        list.holders = win32::HoldersFromRestartManager(processes, path, GetCurrentProcessId());
    }
    const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (list.holders.empty() && (folder || HeldAgainstExclusiveUse(wide))) {
        list.holders = HoldersFromHandleTable(SystemName(wide), folder, path);
    }
    return list;
}

} // namespace velmora
