// The Win32 backend against the real system (under Wine in CI). This program is also the
// second process the tests start: "--hold FILE" keeps the file open, "--wait" idles,
// "--mark FILE ARGS..." writes its arguments to FILE (the program the shell tests start).
#include "TestSupport.h"

#include "fileops/ProcessTermination.h"
#include "inspect/Inspection.h"
#include "platform/FileDurability.h"
#include "platform/IAssociations.h"
#include "platform/IFileAttributes.h"
#include "platform/IFileHolders.h"
#include "platform/IFileTimes.h"
#include "platform/IFileUsage.h"
#include "platform/ILocaleFormats.h"
#include "platform/IProcesses.h"
#include "platform/IShell.h"
#include "platform/Platform.h"
#include "platform/win32/Win32FileHolders.h"
#include "platform/win32/WinText.h"

#include <gtest/gtest.h>

// windows.h first: the Windows headers below need its types.
#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <array>
#include <cwctype>
#include <iostream>
#include <memory>
#include <optional>
#include <random>
#include <string>

using namespace velmora;
namespace fs = std::filesystem;

namespace {

std::string Utf8(const fs::path& path)
{
    return win32::Narrow(path.native());
}

std::wstring OwnProgram()
{
    wchar_t path[MAX_PATH * 2] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    return path;
}

// Wine's ntdll exports its version; Windows' does not.
bool UnderWine()
{
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

std::string Unique(const std::string& stem)
{
    std::random_device random;
    return stem + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(random() % 100000);
}

// A second process running a program with arguments; ended and closed at the
// end.
class Child {
public:
    Child(const std::wstring& program, const std::wstring& arguments)
    {
        std::wstring line = L"\"" + program + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        if (CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                           &m_info)) {
            CloseHandle(m_info.hThread);
        }
    }
    ~Child()
    {
        if (m_info.hProcess) {
            TerminateProcess(m_info.hProcess, 0);
            CloseHandle(m_info.hProcess);
        }
    }
    bool Started() const { return m_info.hProcess != nullptr; }
    DWORD Id() const { return m_info.dwProcessId; }
    HANDLE Process() const { return m_info.hProcess; }
    bool EndsWithin(DWORD ms) const { return WaitForSingleObject(m_info.hProcess, ms) == WAIT_OBJECT_0; }

private:
    PROCESS_INFORMATION m_info{};
};

// A test folder under the user's TEMP (inside the prefix's drive C: under
// Wine).
class WinTemp {
public:
    WinTemp() : m_path(fs::temp_directory_path() / Unique("velmora-win32-")) { fs::create_directories(m_path); }
    ~WinTemp()
    {
        std::error_code ec;
        // (increment(ec): a helper may still be renaming its file while this walks.)
        for (auto it = fs::recursive_directory_iterator(m_path, ec); !ec && it != fs::recursive_directory_iterator();
             it.increment(ec)) {
            SetFileAttributesW(it->path().c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        fs::remove_all(m_path, ec);
    }
    fs::path operator/(const std::string& name) const { return m_path / name; }
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

class Win32Backend : public ::testing::Test {
protected:
    std::unique_ptr<PlatformBackend> backend = CreateNativePlatform();
    Platform& platform = backend->Services();
    WinTemp dir;
};

TEST_F(Win32Backend, AttributesRoundTripOnFilesAndFolders)
{
    const fs::path file = dir / "a.txt";
    test::WriteFile(file, "x");
    const fs::path folder = dir / "sub";
    fs::create_directory(folder);
    const std::uint32_t sets[] = {0, kAttributeArchive, kAttributeReadOnly, kAttributeHidden | kAttributeSystem,
                                  kAttributeArchive | kAttributeReadOnly | kAttributeHidden | kAttributeSystem};
    // Read-only, hidden and system are kept exactly. The archive bit is the file
    // system's: Wine's Unix-backed drives show it on every file and on no folder.
    constexpr std::uint32_t kKept = kAttributeReadOnly | kAttributeHidden | kAttributeSystem;
    for (const std::uint32_t set : sets) {
        ASSERT_TRUE(platform.attributes->WriteAttributes(Utf8(file), set)) << set;
        const auto read = platform.attributes->ReadAttributes(Utf8(file));
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(*read & kKept, set & kKept) << set;
        // Exactly what the system itself reports.
        EXPECT_EQ(*read, GetFileAttributesW(file.c_str())) << set;

        ASSERT_TRUE(platform.attributes->WriteAttributes(Utf8(folder), set & ~kAttributeReadOnly)) << set;
        const auto folderRead = platform.attributes->ReadAttributes(Utf8(folder));
        ASSERT_TRUE(folderRead.has_value());
        EXPECT_EQ(*folderRead & kKept, set & kKept & ~kAttributeReadOnly) << set;
        EXPECT_TRUE(*folderRead & FILE_ATTRIBUTE_DIRECTORY);
    }
    EXPECT_FALSE(platform.attributes->ReadAttributes(Utf8(dir / "missing")).has_value());
    const Result<void> missing = platform.attributes->WriteAttributes(Utf8(dir / "missing"), 0);
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().systemError, ENOENT);
}

TEST_F(Win32Backend, AFileHeldOpenBySecondProcessIsInUse)
{
    const fs::path file = dir / "held.txt";
    test::WriteFile(file, "data");
    EXPECT_FALSE(platform.usage->IsFileInUse(Utf8(file)));
    EXPECT_FALSE(platform.usage->IsFileLocked(Utf8(file)));
    {
        // The helper opens the file for reading, sharing reading only, and then
        // waits.
        Child holder(OwnProgram(), L"--hold \"" + file.native() + L"\"");
        ASSERT_TRUE(holder.Started());
        bool seen = false;
        for (int i = 0; i < 200 && !seen; ++i) {
            seen = platform.usage->IsFileInUse(Utf8(file));
            if (!seen) Sleep(50);
        }
        EXPECT_TRUE(seen) << "the held file was not seen in use";
        EXPECT_TRUE(platform.usage->IsFileLocked(Utf8(file)));
    }
    // Ended: free again (the system closes the handle when the process ends).
    bool freed = false;
    for (int i = 0; i < 100 && !freed; ++i) {
        freed = !platform.usage->IsFileInUse(Utf8(file));
        if (!freed) Sleep(50);
    }
    EXPECT_TRUE(freed);
    // A folder and a missing path count as in use, but are not "locked". (A
    // read-only file is in use on Windows too; Wine run as root opens it for
    // writing all the same, so that case is not checked here.)
    EXPECT_TRUE(platform.usage->IsFileInUse(Utf8(dir.path())));
    EXPECT_FALSE(platform.usage->IsFileLocked(Utf8(dir.path())));
    EXPECT_TRUE(platform.usage->IsFileInUse(Utf8(dir / "missing")));
    EXPECT_FALSE(platform.usage->IsFileLocked(Utf8(dir / "missing")));
}

TEST_F(Win32Backend, HoldersComeFromTheRestartManagerOrTheHandleTable)
{
    const fs::path file = dir / "held-by.txt";
    test::WriteFile(file, "data");
    const std::string path = Utf8(file);
    EXPECT_TRUE(platform.holders->ListHolders(path).holders.empty());
    EXPECT_FALSE(platform.holders->ListHolders(Utf8(dir / "missing")).exists);

    Child child(OwnProgram(), L"--hold \"" + file.native() + L"\"");
    ASSERT_TRUE(child.Started());
    bool held = false;
    for (int i = 0; i < 200 && !held; ++i) {
        held = platform.usage->IsFileInUse(path);
        if (!held) Sleep(50);
    }
    ASSERT_TRUE(held) << "the child did not open the file";

    // What the Restart Manager names becomes a holder: the process number, its
    // full program path and its owner. A number that now belongs to a process
    // started at another time, a repeated entry and our own process are left out.
    RM_PROCESS_INFO entry{};
    entry.Process.dwProcessId = child.Id();
    FILETIME exited{}, kernel{}, user{};
    ASSERT_TRUE(GetProcessTimes(child.Process(), &entry.Process.ProcessStartTime, &exited, &kernel, &user));
    wcscpy(entry.strAppName, L"holder");
    RM_PROCESS_INFO reused = entry;
    reused.Process.ProcessStartTime.dwLowDateTime ^= 1;
    RM_PROCESS_INFO own{};
    own.Process.dwProcessId = GetCurrentProcessId();
    const std::vector<FileHolder> holders =
        win32::HoldersFromRestartManager({own, entry, entry}, path, GetCurrentProcessId());
    ASSERT_EQ(holders.size(), 1u);
    EXPECT_EQ(holders[0].id, child.Id());
    EXPECT_TRUE(holders[0].program.ends_with("\\win32_platform_tests.exe")) << holders[0].program;
    EXPECT_FALSE(holders[0].user.empty());
    EXPECT_EQ(holders[0].holds, (std::vector<FileHold>{{HoldKind::Open, HoldAccess::None, LockKind::None, path}}));
    EXPECT_TRUE(win32::HoldersFromRestartManager({reused}, path, GetCurrentProcessId()).empty());

    // The real session: RmStartSession, RmRegisterResources, RmGetList,
    // RmEndSession.
    std::vector<RM_PROCESS_INFO> named;
    ASSERT_EQ(win32::QueryRestartManager({file.native()}, named), static_cast<DWORD>(ERROR_SUCCESS));
    const HolderList list = platform.holders->ListHolders(path);
    EXPECT_TRUE(list.exists);
    const auto isChild = [&](const FileHolder& h) { return h.id == child.Id(); };
    const auto found = std::find_if(list.holders.begin(), list.holders.end(), isChild);
    // On Windows the Restart Manager names the child. Wine's Restart Manager answers
    // RmGetList with no process at all, whoever holds the file: there the system's
    // handle table, read where the Restart Manager names nobody for a file in use,
    // names it, with the access its handle was opened for.
    ASSERT_NE(found, list.holders.end()) << "the child that holds the file is not listed";
    EXPECT_TRUE(found->program.ends_with("\\win32_platform_tests.exe")) << found->program;
    if (UnderWine()) {
        EXPECT_TRUE(named.empty()) << "Wine's Restart Manager names processes now";
        EXPECT_EQ(found->holds, (std::vector<FileHold>{{HoldKind::Open, HoldAccess::Read, LockKind::None, path}}));
    }
    // A folder is held through what is open inside it.
    const HolderList folder = platform.holders->ListHolders(Utf8(dir.path()));
    EXPECT_TRUE(std::any_of(folder.holders.begin(), folder.holders.end(), isChild));
}

TEST_F(Win32Backend, EndsAChildProcessByItsProgramName)
{
    const std::string name = Unique("velmora-child-") + ".exe";
    const fs::path copy = dir / name;
    fs::copy_file(fs::path(OwnProgram()), copy);
    Child child(copy.native(), L"--wait");
    ASSERT_TRUE(child.Started());
    bool listed = false;
    for (int i = 0; i < 100 && !listed; ++i) {
        for (const ProcessEntry& entry : platform.processes->Snapshot()) {
            listed = listed || entry.program.ends_with(name);
        }
        if (!listed) Sleep(50);
    }
    ASSERT_TRUE(listed) << "the child is not in the Toolhelp snapshot";
    // The name is matched without regard to letter case, as Windows names are.
    std::string upper = name;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    EXPECT_NE(TerminateProcessByName(*platform.processes, platform.environment->Paths(), upper), 0);
    EXPECT_TRUE(child.EndsWithin(10000));
    EXPECT_EQ(TerminateProcessByName(*platform.processes, platform.environment->Paths(), name), 0);
    // Never our own process.
    for (const ProcessEntry& entry : platform.processes->Snapshot()) {
        EXPECT_NE(entry.id, platform.processes->OwnProcessId());
    }
}

// Writes a default string value under HKEY_CURRENT_USER\Software\Classes (which
// HKEY_CLASSES_ROOT shows merged) or elsewhere in HKEY_CURRENT_USER.
// Writes a default string value of a registry key, creating the key.
void SetDefault(HKEY root, const std::wstring& key, const std::wstring& value)
{
    HKEY handle = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr), ERROR_SUCCESS);
    RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(handle);
}

TEST_F(Win32Backend, AnAssociationInTheUsersClassesIsFound)
{
    const std::string extension = Unique("vlm");
    const std::wstring ext = win32::Widen(extension).substr(0, 12);
    const std::string ext8 = win32::Narrow(ext);
    const std::wstring progId = L"Velmora.Test." + ext;
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring notepad = std::wstring(windows) + L"\\notepad.exe";
    ASSERT_TRUE(fs::exists(notepad));

    // The user's own classes (HKEY_CURRENT_USER\Software\Classes, which
    // HKEY_CLASSES_ROOT shows over the machine's): the extension names its
    // program identifier, and the identifier has the open command.
    const std::wstring classes = L"Software\\Classes\\";
    const std::wstring command = L"\"" + notepad + L"\" \"%1\"";
    SetDefault(HKEY_CURRENT_USER, classes + L"." + ext, progId);
    SetDefault(HKEY_CURRENT_USER, classes + progId + L"\\shell\\open\\command", command);
    SetDefault(HKEY_CURRENT_USER,
               L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\." + ext + L"\\OpenWithList",
               command);

    EXPECT_EQ(platform.associations->ReadShellOpenCommand(ext8), win32::Narrow(command));
    EXPECT_EQ(platform.associations->ReadOpenWithListCommand(ext8), win32::Narrow(command));
    EXPECT_EQ(platform.associations->ReadShellOpenCommand("velmora-nothing"), "");
    // The default program's text as the main window shows it, whichever list the
    // product name picks.
    EXPECT_EQ(ReadDefaultCommand(ext8, platform), win32::Narrow(notepad));

    // The shell's lookup (FindExecutableW). Wine's shell reads the machine's
    // classes only, so the type is registered there as well for this part.
    SetDefault(HKEY_LOCAL_MACHINE, classes + L"." + ext, progId);
    SetDefault(HKEY_LOCAL_MACHINE, classes + progId + L"\\shell\\open\\command", command);
    const fs::path file = dir / ("doc." + ext8);
    test::WriteFile(file, "text");
    const AssociatedExecutable found = FindAssociatedExecutable(Utf8(file), platform).value();
    EXPECT_GT(found.code, 32);
    std::string lower = found.executable;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    EXPECT_TRUE(lower.ends_with("notepad.exe")) << found.executable;

    // No association: code 31; a missing file: code 2.
    const fs::path plain = dir / "doc.velmora-none";
    test::WriteFile(plain, "text");
    EXPECT_EQ(FindAssociatedExecutable(Utf8(plain), platform)->code, kFindNoAssociation);
    EXPECT_EQ(FindAssociatedExecutable(Utf8(dir / "missing.txt"), platform)->code, kFindFileNotFound);

    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        RegDeleteTreeW(root, (classes + L"." + ext).c_str());
        RegDeleteTreeW(root, (classes + progId).c_str());
    }
    RegDeleteTreeW(HKEY_CURRENT_USER,
                   (L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\." + ext).c_str());
}

// Waits up to ten seconds for a file another process writes; its content, or
// nullopt.
std::optional<std::string> AwaitFile(const fs::path& file)
{
    for (int i = 0; i < 200; ++i) {
        if (fs::exists(file)) return test::ReadFile(file);
        Sleep(50);
    }
    return std::nullopt;
}

TEST_F(Win32Backend, ShellStartsProgramsAndOpensAssociatedFiles)
{
    // StartHidden (ShellExecuteW with parameters): the helper gets every argument
    // back as it was given: blanks, quotes, backslashes before a quote or at the
    // end, names outside ASCII, an empty one.
    const fs::path marker = dir / "started.txt";
    const std::vector<std::string> arguments = {"plain",
                                                "two words",
                                                "say \"hi\"",
                                                "ends\\",
                                                "C:\\a b\\",
                                                "x\\\\\"y",
                                                "Gr\xC3\xBC\xC3\x9F"
                                                "e \xE6\x97\xA5 \xF0\x9F\x98\x80",
                                                ""};
    std::vector<std::string> line = {"--mark", Utf8(marker)};
    line.insert(line.end(), arguments.begin(), arguments.end());
    ASSERT_TRUE(platform.shell->StartHidden(Utf8(fs::path(OwnProgram())), line));
    std::string expected;
    for (const std::string& argument : arguments)
        expected += argument + "\n";
    EXPECT_EQ(AwaitFile(marker), expected);

    // OpenUrl on a document (ShellExecuteW "open"): its extension is associated,
    // in the user's classes only, with the helper, which writes down the file it
    // was given.
    const std::wstring ext = win32::Widen(Unique("vlo")).substr(0, 10);
    const std::wstring progId = L"Velmora.Open." + ext;
    const std::wstring classes = L"Software\\Classes\\";
    const fs::path opened = dir / "opened.txt";
    SetDefault(HKEY_CURRENT_USER, classes + L"." + ext, progId);
    SetDefault(HKEY_CURRENT_USER, classes + progId + L"\\shell\\open\\command",
               L"\"" + OwnProgram() + L"\" --mark \"" + opened.native() + L"\" \"%1\"");
    const fs::path document = dir.path() / (L"Dokument \u00E4." + ext);
    test::WriteFile(document, "text");
    const std::wstring command = L"\"" + OwnProgram() + L"\" --mark \"" + opened.native() + L"\" \"%1\"";
    bool started = platform.shell->OpenUrl(Utf8(document));
    if (!started && UnderWine()) {
        // Wine's ShellExecuteW reads the machine's classes only: the same association is
        // written there too, and this says so rather than passing quietly.
        std::cout << "note: Wine's ShellExecuteW ignores HKEY_CURRENT_USER\\Software\\Classes; "
                     "the association is repeated in HKEY_LOCAL_MACHINE\\Software\\Classes\n";
        SetDefault(HKEY_LOCAL_MACHINE, classes + L"." + ext, progId);
        SetDefault(HKEY_LOCAL_MACHINE, classes + progId + L"\\shell\\open\\command", command);
        started = platform.shell->OpenUrl(Utf8(document));
    }
    EXPECT_TRUE(started);
    const std::optional<std::string> got = AwaitFile(opened);
    ASSERT_TRUE(got.has_value()) << "the associated program was not started";
    // The shell may hand over the long or the short form; both name the document.
    const std::string given = got->substr(0, got->find('\n'));
    EXPECT_TRUE(fs::equivalent(fs::path(win32::Widen(given)), document)) << given;
    // Without an association nothing starts, and the call says so.
    const fs::path plain = dir / "nothing.velmora-none";
    test::WriteFile(plain, "text");
    EXPECT_FALSE(platform.shell->OpenUrl(Utf8(plain)));
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        RegDeleteTreeW(root, (classes + L"." + ext).c_str());
        RegDeleteTreeW(root, (classes + progId).c_str());
    }
}

TEST_F(Win32Backend, UncAndLongPathRules)
{
    const PathRules& rules = platform.environment->Paths();
    struct Case {
        const char* path;
        const char* name;
        const char* folder;
        const char* extension;
        bool absolute;
    } cases[] = {
        {"\\\\server\\share\\dir\\a.txt", "a.txt", "\\\\server\\share\\dir\\", ".txt", true},
        {"\\\\server\\share", "share", "\\\\server\\", "", true},
        {"\\\\?\\C:\\very\\long.name.zip", "long.name.zip", "\\\\?\\C:\\very\\", ".zip", true},
        {"\\\\?\\UNC\\server\\share\\x", "x", "\\\\?\\UNC\\server\\share\\", "", true},
        {"C:relative.txt", "relative.txt", "C:", ".txt", true},
        {"dir/sub\\f.tar.gz", "f.tar.gz", "dir/sub\\", ".gz", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(rules.FileName(c.path), c.name) << c.path;
        EXPECT_EQ(rules.FolderWithSeparator(c.path), c.folder) << c.path;
        EXPECT_EQ(rules.Extension(c.path), c.extension) << c.path;
        EXPECT_EQ(rules.IsAbsolute(c.path), c.absolute) << c.path;
    }

    // A file whose full name is longer than MAX_PATH, reached through "\\?\":
    // every service that takes a path works on it.
    fs::path deep = dir.path();
    while (deep.native().size() < 300)
        deep /= std::wstring(40, L'd');
    const std::wstring longFolder = L"\\\\?\\" + deep.native();
    std::error_code ec;
    fs::create_directories(fs::path(longFolder), ec);
    ASSERT_FALSE(ec) << ec.message();
    const std::wstring longFile = longFolder + L"\\long \u00E4.txt";
    test::WriteFile(fs::path(longFile), "x");
    const std::string path = win32::Narrow(longFile);
    ASSERT_GT(path.size(), static_cast<std::size_t>(MAX_PATH));
    ASSERT_TRUE(platform.attributes->WriteAttributes(path, kAttributeHidden | kAttributeReadOnly));
    EXPECT_EQ(platform.attributes->ReadAttributes(path).value_or(0) & (kAttributeHidden | kAttributeReadOnly),
              kAttributeHidden | kAttributeReadOnly);
    ASSERT_TRUE(platform.attributes->WriteAttributes(path, 0));
    const TDateTime when = EncodeDateTime({2015, 5, 6, 7, 8, 9, 0});
    ASSERT_TRUE(platform.times->SetModificationTime(path, when));
    EXPECT_EQ(platform.times->ModificationTime(path), when);
    EXPECT_FALSE(platform.usage->IsFileInUse(path));
    EXPECT_TRUE(platform.holders->ListHolders(path).exists);
    fs::remove_all(fs::path(L"\\\\?\\" + (dir.path() / std::wstring(40, L'd')).native()), ec);
}

TEST_F(Win32Backend, FolderAndFileTimesAreSetAndReadBack)
{
    const fs::path folder = dir / "dated";
    fs::create_directory(folder);
    const TDateTime when = EncodeDateTime({2011, 7, 14, 9, 30, 18, 0});
    ASSERT_TRUE(platform.times->SetAccessAndModificationTime(Utf8(folder), when));
    EXPECT_EQ(platform.times->ModificationTime(Utf8(folder)), when);
    EXPECT_EQ(platform.times->LastAccessTime(Utf8(folder)), when);

    // A file: only the modification time changes; milliseconds are kept.
    const fs::path file = dir / "f.txt";
    test::WriteFile(file, "x");
    const TDateTime access = EncodeDateTime({2001, 2, 3, 4, 5, 6, 0});
    ASSERT_TRUE(platform.times->SetAccessAndModificationTime(Utf8(file), access));
    const TDateTime modified = EncodeDateTime({2024, 12, 31, 23, 59, 58, 250});
    ASSERT_TRUE(platform.times->SetModificationTime(Utf8(file), modified));
    EXPECT_EQ(platform.times->ModificationTime(Utf8(file)), modified);
    EXPECT_EQ(platform.times->LastAccessTime(Utf8(file)), access);

    // The system's own view of the folder's time agrees (UTC to local by the
    // system).
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(GetFileAttributesExW(folder.c_str(), GetFileExInfoStandard, &data));
    FILETIME local{};
    SYSTEMTIME st{};
    FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
    FileTimeToSystemTime(&local, &st);
    EXPECT_EQ(st.wYear, 2011);
    EXPECT_EQ(st.wHour, 9);
    EXPECT_EQ(st.wSecond, 18);

    // A file held open by someone cannot get new times.
    HANDLE held = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    const Result<void> busy = platform.times->SetModificationTime(Utf8(file), when);
    ASSERT_FALSE(busy);
    EXPECT_EQ(busy.error().systemError, EBUSY);
    EXPECT_EQ(busy.error().kind, Error::Kind::InUse);
    CloseHandle(held);
    EXPECT_FALSE(platform.times->ModificationTime(Utf8(dir / "missing")).has_value());
}

TEST_F(Win32Backend, EnvironmentRandomLocaleAndDurableMoves)
{
    const std::string program = platform.environment->ProgramFilePath();
    EXPECT_TRUE(program.ends_with("win32_platform_tests.exe")) << program;
    EXPECT_TRUE(fs::exists(fs::path(win32::Widen(program))));
    const std::string temp = platform.environment->TemporaryFolder();
    EXPECT_TRUE(fs::is_directory(fs::path(win32::Widen(temp)))) << temp;
    EXPECT_FALSE(temp.ends_with("\\"));
    EXPECT_EQ(temp.find('~'), std::string::npos) << "not the long form: " << temp;
    const std::string appData = platform.environment->RoamingAppDataFolder();
    EXPECT_TRUE(fs::is_directory(fs::path(win32::Widen(appData)))) << appData;
    EXPECT_TRUE(appData.ends_with("Roaming") || appData.ends_with("Application Data")) << appData;
    const std::string home = platform.environment->HomeFolder();
    EXPECT_TRUE(fs::is_directory(fs::path(win32::Widen(home)))) << home;
    EXPECT_EQ(appData.rfind(home, 0), 0u) << appData << " is not inside " << home;
    const std::string root = platform.environment->SystemDriveRoot();
    EXPECT_EQ(root.size(), 3u);
    EXPECT_EQ(root.substr(1), ":\\");
    EXPECT_EQ(platform.environment->Paths().FileName("C:\\a\\b:c/d.txt"), "d.txt");

    std::array<std::uint8_t, 64> a{};
    std::array<std::uint8_t, 64> b{};
    ASSERT_TRUE(platform.random->Fill(a));
    ASSERT_TRUE(platform.random->Fill(b));
    EXPECT_NE(a, b);

    const LocaleFormats formats = platform.localeFormats->Formats();
    EXPECT_NE(formats.shortDatePattern.find("yyyy"), std::string::npos) << formats.shortDatePattern;
    EXPECT_NE(formats.longTimePattern.find("mm"), std::string::npos) << formats.longTimePattern;
    EXPECT_EQ(formats.longTimePattern.find('t'), std::string::npos) << formats.longTimePattern;
    EXPECT_FALSE(formats.longMonthNames[0].empty());

    const fs::path from = dir / "new.zip";
    const fs::path to = dir / "old.zip";
    test::WriteFile(from, "new");
    test::WriteFile(to, "old");
    EXPECT_TRUE(FlushToDisk(Utf8(from)));
    EXPECT_TRUE(FlushToDisk(Utf8(dir.path())));
    EXPECT_TRUE(MoveReplacing(Utf8(from), Utf8(to)));
    EXPECT_EQ(test::ReadFile(to), "new");
    EXPECT_FALSE(fs::exists(from));
    EXPECT_FALSE(MoveReplacing(Utf8(from), Utf8(to)));
}

TEST_F(Win32Backend, NamesOutsideAsciiCrossTheEdgeAsUtf8)
{
    const std::string name = "Gr\xC3\xBC\xC3\x9F"
                             "e \xE2\x82\xAC.txt"; // "Grüße €.txt"
    const fs::path file = dir.path() / win32::Widen(name);
    test::WriteFile(file, "x");
    const std::string path = Utf8(dir.path()) + "\\" + name;
    ASSERT_TRUE(platform.attributes->WriteAttributes(path, kAttributeHidden));
    EXPECT_EQ(GetFileAttributesW(file.c_str()) & kAttributeHidden, kAttributeHidden);
    EXPECT_FALSE(platform.usage->IsFileInUse(path));
    EXPECT_TRUE(platform.times->ModificationTime(path).has_value());
}

} // namespace

int main(int argc, char** argv)
{
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (count >= 3 && std::wstring(wide[1]) == L"--hold") {
        HANDLE file = CreateFileW(wide[2], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        Sleep(file == INVALID_HANDLE_VALUE ? 0 : 60000);
        return 0;
    }
    if (count >= 3 && std::wstring(wide[1]) == L"--mark") {
        // Writes the remaining arguments, one a line, to the marker file named
        // first; whole or not at all, so the test never reads half of it.
        std::string text;
        for (int i = 3; i < count; ++i)
            text += win32::Narrow(wide[i]) + "\n";
        const std::wstring part = std::wstring(wide[2]) + L".part";
        test::WriteFile(fs::path(part), text);
        return MoveFileExW(part.c_str(), wide[2], MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
    }
    if (count >= 2 && std::wstring(wide[1]) == L"--wait") {
        Sleep(60000);
        return 0;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
