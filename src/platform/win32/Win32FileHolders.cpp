#include "platform/win32/Win32FileHolders.h"

#include "common/Utf8Path.h"
#include "platform/win32/Win32Files.h"
#include "platform/win32/WinText.h"

#include <sddl.h>

#include <algorithm>
#include <filesystem>
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
            DWORD code = 0;
            if (GetExitCodeProcess(process.Get(), &code) && code != STILL_ACTIVE) continue;
            wchar_t image[MAX_PATH * 4];
            DWORD size = static_cast<DWORD>(std::size(image));
            if (QueryFullProcessImageNameW(process.Get(), 0, image, &size) && size > 0) {
                holder.program = Narrow(std::wstring_view(image, size));
            }
            holder.user = OwnerOf(process.Get());
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
        if (files.empty()) return list;
    } else {
        files.push_back(wide);
    }
    std::vector<RM_PROCESS_INFO> processes;
    if (win32::QueryRestartManager(files, processes) == ERROR_SUCCESS) {
        list.holders = win32::HoldersFromRestartManager(processes, path, GetCurrentProcessId());
    }
    return list;
}

} // namespace velmora
