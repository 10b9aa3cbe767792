// Drives velmora.exe through its controls, as a user would, in a second process: finds
// the windows and controls by class and ID, types with WM_SETTEXT, clicks with BM_CLICK,
// answers the message boxes and reads what they say, and checks the files afterwards.
//   Win32UiTest.exe PATH\velmora.exe [KEEP_FOLDER]
//     (the archives and shortcuts the windows made are left in KEEP_FOLDER, for the
//     Linux tools that read them back)
//   Win32UiTest.exe --appears PATH\velmora.exe FILE   (the installed program shows FILE)
//   Win32UiTest.exe --hold FILE   (holds FILE open, sharing nothing, for a minute)
//   Win32UiTest.exe --tour PATH\velmora.exe FOLDER   (opens every window in both languages
//     for scripts/screenshots-windows.sh: writes FOLDER\NAME.ready with the window's place
//     "x y width height" and waits for FOLDER\NAME.done before it goes on)
#include "win32ui/ControlIds.h"

// windows.h first: the Windows headers below need its types.
#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using namespace velmora::win32ui;
namespace fs = std::filesystem;

namespace {
int g_failures = 0;

void Check(bool ok, const std::string& what)
{
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    std::fflush(stdout);
    if (!ok) ++g_failures;
}

std::string Narrow(const std::wstring& wide)
{
    if (wide.empty()) return {};
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring TextOf(HWND hwnd)
{
    wchar_t buffer[4096] = {};
    SendMessageTimeoutW(hwnd, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 5000, nullptr);
    return buffer;
}

template <typename Predicate> bool WaitFor(Predicate predicate, int milliseconds = 20000)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end) {
        if (predicate()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return predicate();
}

struct Program {
    PROCESS_INFORMATION process{};
    HWND main = nullptr;

    HWND Item(int id) const { return GetDlgItem(main, id); }
    std::wstring Text(int id) const { return TextOf(Item(id)); }
    void SetText(int id, const std::wstring& text) const
    {
        SendMessageW(Item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    // Posted, so a message box the click opens does not block the test.
    void Click(int id) const { PostMessageW(Item(id), BM_CLICK, 0, 0); }
    bool Checked(int id) const { return SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    bool Visible(int id) const { return (GetWindowLongW(Item(id), GWL_STYLE) & WS_VISIBLE) != 0; }
    void Key(int id, WPARAM key) const { PostMessageW(Item(id), WM_KEYDOWN, key, 0); }
    // The control's place in the client area.
    RECT Place(int id) const
    {
        RECT rect;
        GetWindowRect(Item(id), &rect);
        MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }
};

// A dialog (message box or input box) of the program, shown and enabled.
HWND FindDialog(const Program& program, const std::wstring& caption = L"")
{
    struct Search {
        DWORD pid;
        std::wstring caption;
        HWND found;
    } search{program.process.dwProcessId, caption, nullptr};
    EnumWindows(
        [](HWND hwnd, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            DWORD pid = 0;
            GetWindowThreadProcessId(hwnd, &pid);
            wchar_t cls[64] = {};
            GetClassNameW(hwnd, cls, 64);
            if (pid == s->pid && std::wstring(cls) == L"#32770" && IsWindowVisible(hwnd) &&
                (s->caption.empty() || TextOf(hwnd) == s->caption)) {
                s->found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The message text of a message box: its longest static text.
std::wstring MessageText(HWND box)
{
    std::wstring best;
    EnumChildWindows(
        box,
        [](HWND child, LPARAM data) -> BOOL {
            auto* out = reinterpret_cast<std::wstring*>(data);
            wchar_t cls[64] = {};
            GetClassNameW(child, cls, 64);
            const std::wstring text = TextOf(child);
            if (_wcsicmp(cls, L"Static") == 0 && text.size() > out->size()) *out = text;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&best));
    return best;
}

struct Message {
    std::wstring caption;
    std::wstring text;
};

// Waits for the next message box, reads it and answers with the button.
Message Answer(const Program& program, int button = IDOK)
{
    HWND box = nullptr;
    WaitFor([&] { return (box = FindDialog(program)) != nullptr; }, 15000);
    if (box == nullptr) return {L"<none>", L"<none>"};
    Message message{TextOf(box), MessageText(box)};
    HWND target = GetDlgItem(box, button);
    if (target == nullptr && button == IDOK) target = GetDlgItem(box, IDCANCEL);
    PostMessageW(target, BM_CLICK, 0, 0);
    WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 5000);
    return message;
}

Program Start(const std::wstring& exe, const std::wstring& file)
{
    Program program;
    std::wstring command = L"\"" + exe + L"\"";
    if (!file.empty()) command += L" \"" + file + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &program.process)) {
        Check(false, "velmora.exe starts");
        return program;
    }
    // The start screen shows first (about seven seconds), then the main window.
    Check(WaitFor(
              [&] {
                  program.main = FindWindowW(kMainWindowClass, nullptr);
                  return program.main != nullptr && IsWindowVisible(program.main);
              },
              40000),
          "the main window appears after the start screen");
    return program;
}

void Stop(Program& program, const std::string& language)
{
    program.Click(IdButtonClose);
    Check(WaitForSingleObject(program.process.hProcess, 15000) == WAIT_OBJECT_0,
          language + ": the close button ends the program");
    CloseHandle(program.process.hProcess);
    CloseHandle(program.process.hThread);
}

fs::path AppDataFolder()
{
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, path);
    return fs::path(path) / L"tessaly";
}

void WriteSettings(int language)
{
    fs::create_directories(AppDataFolder());
    std::ofstream(AppDataFolder() / L"tessaly.ini", std::ios::binary) << language << "\r\n";
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

FILETIME OldTime()
{
    SYSTEMTIME old{2001, 2, 0, 3, 4, 5, 6, 0};
    FILETIME time;
    SystemTimeToFileTime(&old, &time);
    return time;
}

struct LanguageCase {
    int number;
    std::string name;
    std::wstring label1;
    std::wstring archive;
    std::wstring close;
    std::wstring attributesChanged;
    std::wstring datePrompt;
};

// One run of the program in one language: texts, places, attributes, file date, the
// language switch and the settings written at the end.
void RunMainWindow(const std::wstring& exe, const fs::path& work, const LanguageCase& lang)
{
    const fs::path file = work / (L"Größe " + std::to_wstring(lang.number) + L".txt");
    std::ofstream(file, std::ios::binary) << std::string(3000, 'x');
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_ARCHIVE);
    {
        HANDLE handle = CreateFileW(file.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        const FILETIME old = OldTime();
        SetFileTime(handle, nullptr, nullptr, &old);
        CloseHandle(handle);
    }
    WriteSettings(lang.number);
    Program program = Start(exe, file.wstring());
    if (program.main == nullptr) return;
    const std::string n = lang.name + ": ";

    Check(TextOf(program.main) == L"Velmora", n + "caption Velmora");
    Check(program.Text(IdLabel1) == lang.label1, n + "instruction text");
    Check(program.Text(IdCheckBox2) == lang.archive, n + "Archive box");
    Check(program.Text(IdCheckBox5) == L"System", n + "System box in both languages");
    Check(program.Text(IdButtonClose) == lang.close, n + "close button");
    RECT client;
    GetClientRect(program.main, &client);
    Check(client.right == 454 && client.bottom == 386, n + "client area 454 x 386");
    const struct {
        int id;
        RECT rect;
    } places[] = {{IdEdit1, {26, 63, 414, 84}},         {IdEditLApp, {26, 115, 414, 136}},
                  {IdEditDefApp, {26, 160, 414, 181}},  {IdEditGr, {26, 205, 176, 226}},
                  {IdEditDate1, {26, 250, 176, 271}},   {IdEditDate2, {25, 295, 175, 316}},
                  {IdCheckBox3, {232, 238, 337, 255}},  {IdSpeedButton4, {416, 112, 444, 141}},
                  {IdToolButton6, {90, 0, 122, 30}},    {IdToolButtonInfo, {282, 0, 314, 30}},
                  {IdButtonClose, {100, 330, 350, 360}}};
    for (const auto& place : places) {
        const RECT got = program.Place(place.id);
        Check(EqualRect(&got, &place.rect) != FALSE, n + "control " + std::to_string(place.id) + " at its place");
    }

    // The file named on the command line is shown as a drop of it would be.
    Check(program.Text(IdEdit1) == file.wstring(), n + "path of the file in Edit1");
    Check(program.Text(IdEditGr) == L"3" && program.Text(IdLabelBytes) == L" KB", n + "size 3 KB");
    Check(program.Checked(IdCheckBox2) && !program.Checked(IdCheckBox4), n + "Archive ticked, Hidden not");
    Check(program.Visible(IdImage1) && program.Visible(IdLabelIcon), n + "file icon shown");
    Check(!program.Visible(IdImageJa3), n + "no in-use mark for a free file");

    // Hidden ticked and saved: the file is hidden on disk and the message says so.
    program.Click(IdCheckBox4);
    WaitFor([&] { return program.Checked(IdCheckBox4); }, 3000);
    program.Click(IdToolButton4);
    const Message saved = Answer(program);
    Check(saved.caption == L"ZaDI" && saved.text == lang.attributesChanged, n + "attributes saved message");
    Check((GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_HIDDEN) != 0, n + "the file is hidden on disk");

    // A new file date: the prompt proposes now; OK stores it.
    program.Click(IdCheckBox4);
    program.Click(IdSpeedButton3);
    HWND prompt = nullptr;
    WaitFor([&] { return (prompt = FindDialog(program, lang.datePrompt)) != nullptr; }, 10000);
    Check(prompt != nullptr, n + "date prompt titled in the language");
    if (prompt != nullptr) {
        PostMessageW(GetDlgItem(prompt, IDOK), BM_CLICK, 0, 0);
        WaitFor([&] { return !IsWindow(prompt); }, 5000);
        WaitFor([&] { return !program.Text(IdEditDate1).empty(); }, 5000);
        WIN32_FILE_ATTRIBUTE_DATA data{};
        GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data);
        FILETIME now;
        GetSystemTimeAsFileTime(&now);
        const auto ticks = [](FILETIME t) {
            return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
        };
        WaitFor(
            [&] {
                GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data);
                return ticks(now) - ticks(data.ftLastWriteTime) < 120ULL * 10000000ULL;
            },
            5000);
        Check(ticks(now) - ticks(data.ftLastWriteTime) < 120ULL * 10000000ULL,
              n + "the file's modification time is now the entered one");
    }

    // Typed path, "New" empties the view.
    program.Click(IdToolButton6);
    WaitFor([&] { return program.Text(IdEdit1).empty(); }, 3000);
    Check(program.Text(IdEdit1).empty() && !program.Visible(IdImage1), n + "New empties the view");

    // F2 switches the language; F3 tells the release.
    const std::wstring before = program.Text(IdLabel1);
    program.Key(IdEdit1, VK_F2);
    WaitFor([&] { return program.Text(IdLabel1) != before; }, 3000);
    Check(program.Text(IdLabel1) != before && !program.Text(IdLabel1).empty(), n + "F2 switches the language");
    program.Key(IdEdit1, VK_F3);
    Check(Answer(program).text == L"Release 2.0", n + "F3 shows the release");

    Stop(program, lang.name);
    // The switched language is what the settings file keeps.
    Check(ReadFile(AppDataFolder() / L"tessaly.ini") == (lang.number == 1 ? "0\r\n" : "1\r\n"),
          n + "settings file holds the switched language");
}
// A top-level window of the program's class, shown.
HWND WaitForWindow(const wchar_t* windowClass)
{
    HWND found = nullptr;
    WaitFor([&] {
        found = FindWindowW(windowClass, nullptr);
        return found != nullptr && IsWindowVisible(found);
    });
    return found;
}

void SetItemText(HWND window, int id, const std::wstring& text)
{
    SendMessageW(GetDlgItem(window, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void ClickItem(HWND window, int id)
{
    PostMessageW(GetDlgItem(window, id), BM_CLICK, 0, 0);
}

// Clicks a toolbar button of the main window and waits for the window of windowClass it opens.
HWND OpenFromToolbar(const Program& program, int button, const wchar_t* windowClass)
{
    program.Click(button);
    return WaitForWindow(windowClass);
}

// Clicks the window's button closeButton and waits until the window has gone; false when it stays.
bool CloseWith(HWND window, int closeButton)
{
    ClickItem(window, closeButton);
    return WaitFor([&] { return !IsWindow(window); }, 5000);
}

// Opens a tool window from the toolbar and checks that it appears with its caption and a
// client area of width x height; nullptr when it does not appear.
HWND OpenAndCheck(const Program& program, int button, const wchar_t* windowClass, const std::wstring& caption,
                  int width, int height, const std::string& what)
{
    HWND window = OpenFromToolbar(program, button, windowClass);
    Check(window != nullptr && TextOf(window) == caption, what + " opens, captioned");
    if (window != nullptr) {
        RECT client;
        GetClientRect(window, &client);
        Check(client.right == width && client.bottom == height,
              what + " is " + std::to_string(width) + " x " + std::to_string(height));
    }
    return window;
}

// Every file and folder below root with the contents of the files, as one text.
std::string TreeText(const fs::path& root)
{
    std::vector<std::string> lines;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        std::string line = Narrow(fs::relative(entry.path(), root).wstring());
        if (entry.is_regular_file()) line += "=" + ReadFile(entry.path());
        lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

// A list view of the program read and selected through memory in its process: list
// messages carry pointers, which the system does not copy between processes.
class RemoteList {
public:
    RemoteList(const Program& program, HWND list) : m_list(list)
    {
        m_process =
            OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, program.process.dwProcessId);
        if (m_process != nullptr)
            m_memory = VirtualAllocEx(m_process, nullptr, kSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~RemoteList()
    {
        if (m_memory != nullptr) VirtualFreeEx(m_process, m_memory, 0, MEM_RELEASE);
        if (m_process != nullptr) CloseHandle(m_process);
    }
    RemoteList(const RemoteList&) = delete;
    RemoteList& operator=(const RemoteList&) = delete;

    int Rows() const { return static_cast<int>(SendMessageW(m_list, LVM_GETITEMCOUNT, 0, 0)); }
    std::wstring Cell(int row, int column) const
    {
        if (m_memory == nullptr) return L"<no memory>";
        auto* base = static_cast<char*>(m_memory);
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = reinterpret_cast<wchar_t*>(base + sizeof(LVITEMW));
        item.cchTextMax = static_cast<int>((kSize - sizeof(LVITEMW)) / sizeof(wchar_t));
        WriteProcessMemory(m_process, base, &item, sizeof(item), nullptr);
        const auto length = SendMessageW(m_list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(base));
        std::wstring text(static_cast<std::size_t>(length), L'\0');
        ReadProcessMemory(m_process, base + sizeof(LVITEMW), text.data(), text.size() * sizeof(wchar_t), nullptr);
        return text;
    }
    // Selects the row alone, as a click on it would.
    void Select(int row) const
    {
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        WriteProcessMemory(m_process, m_memory, &item, sizeof(item), nullptr);
        SendMessageW(m_list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(m_memory));
    }

private:
    static constexpr SIZE_T kSize = 65536;
    HWND m_list;
    HANDLE m_process = nullptr;
    void* m_memory = nullptr;
};

// Puts files and folders on the clipboard as the file manager's "Copy" does (CF_HDROP).
bool CopyToClipboard(const std::vector<fs::path>& items)
{
    std::wstring names;
    for (const fs::path& item : items)
        names += item.wstring() + L'\0';
    names += L'\0';
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), names.data(), names.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    if (!OpenClipboard(nullptr)) return false;
    EmptyClipboard();
    const bool placed = SetClipboardData(CF_HDROP, memory) != nullptr;
    CloseClipboard();
    return placed;
}

// A folder's last-write time as a local date and time.
SYSTEMTIME LocalWriteTime(const fs::path& folder)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(folder.c_str(), GetFileExInfoStandard, &data);
    FILETIME local;
    FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
    SYSTEMTIME time{};
    FileTimeToSystemTime(&local, &time);
    return time;
}

// A child process of this test that holds the file open, sharing nothing.
PROCESS_INFORMATION StartHolder(const fs::path& file)
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" --hold \"" + file.wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(self, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return {};
    // Held once nobody can open it for reading any more.
    WaitFor([&] {
        HANDLE probe = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
        if (probe == INVALID_HANDLE_VALUE) return true;
        CloseHandle(probe);
        return false;
    });
    return process;
}

struct ToolTexts {
    std::wstring linkCaption;
    std::wstring linkCreated;
    std::wstring folderCaption;
    std::wstring zipCaption;
    std::wstring archiveCreated;
    std::wstring protectedCreated;
    std::wstring unzipped;
    std::wstring host;
    std::wstring heldCaption;
    std::wstring nobody;
};

// The "Held by" list, opened from the main window's in-use mark on a file a child of
// this test holds: it names the child, whose row ends it after a Yes.
void RunHeldBy(const Program& program, const fs::path& held, PROCESS_INFORMATION& holder, const std::string& n,
               const ToolTexts& texts)
{
    // The file named on the command line is shown once the window is up.
    WaitFor([&] { return program.Visible(IdImageJa3); }, 5000);
    Check(program.Visible(IdImageJa3), n + "the in-use mark shows for the held file");
    // A click on the mark (a static control that notifies its clicks).
    PostMessageW(program.Item(IdImageJa3), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(program.Item(IdImageJa3), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    HWND window = WaitForWindow(kHeldByClass);
    Check(window != nullptr && TextOf(window) == texts.heldCaption, n + "a click on the mark opens \"Held by\"");
    if (window == nullptr) return;
    Check(TextOf(GetDlgItem(window, IdHeldPath)) == held.wstring(), n + "the list names the held file");
    const RemoteList list(program, GetDlgItem(window, IdHeldList));
    int row = -1;
    for (int i = 0; i < list.Rows(); ++i) {
        if (list.Cell(i, 0) == std::to_wstring(holder.dwProcessId)) row = i;
    }
    Check(row >= 0, n + "the list shows the child that holds the file");
    if (row >= 0) {
        const std::wstring programPath = list.Cell(row, 1);
        Check(programPath.ends_with(L"win32_ui_test.exe"), n + "with its program " + Narrow(programPath));
        Check(!IsWindowEnabled(GetDlgItem(window, IdHeldEnd)), n + "End waits for a chosen row");
        list.Select(row);
        WaitFor([&] { return IsWindowEnabled(GetDlgItem(window, IdHeldEnd)) != FALSE; }, 3000);
        ClickItem(window, IdHeldEnd);
        const Message question = Answer(program, IDYES);
        Check(question.text.find(std::to_wstring(holder.dwProcessId)) != std::wstring::npos,
              n + "the question names the process to end");
        Check(WaitForSingleObject(holder.hProcess, 10000) == WAIT_OBJECT_0, n + "End ends the child");
        WaitFor([&] { return list.Rows() == 0; }, 5000);
        Check(list.Rows() == 0 && TextOf(GetDlgItem(window, IdHeldNote)) == texts.nobody,
              n + "the list is read again: nobody holds the file");
        WaitFor([&] { return !program.Visible(IdImageJa3); }, 5000);
        Check(!program.Visible(IdImageJa3), n + "the main window's in-use mark is gone");
    }
    Check(CloseWith(window, IdHeldClose), n + "Close closes \"Held by\"");
}

// Folder dates: folders pasted into the list (as copied in the file manager; a file
// among them is passed over) get the entered date, on disk and in the list.
void RunFolderDates(const Program& program, HWND folders, const fs::path& work, const LanguageCase& lang,
                    const std::string& n)
{
    const std::wstring tag = lang.number == 1 ? L"en" : L"de";
    const std::vector<fs::path> dated = {work / (L"Datum " + tag), work / (L"Datum " + tag) / L"Unterordner ä"};
    fs::create_directories(dated[1]);
    const fs::path notAFolder = work / (L"keine Mappe " + tag + L".txt");
    std::ofstream(notAFolder) << "file";
    Check(CopyToClipboard({dated[0], notAFolder, dated[1]}), n + "folders on the clipboard");
    const RemoteList list(program, GetDlgItem(folders, IdFolderList));
    PostMessageW(GetDlgItem(folders, IdFolderList), WM_PASTE, 0, 0);
    WaitFor([&] { return list.Rows() == 2; }, 5000);
    Check(list.Rows() == 2 && list.Cell(0, 1) == dated[0].wstring() && list.Cell(1, 1) == dated[1].wstring(),
          n + "pasting lists the two folders, not the file");

    SYSTEMTIME day{};
    day.wYear = lang.number == 1 ? 2003 : 1999;
    day.wMonth = lang.number == 1 ? 4 : 12;
    day.wDay = lang.number == 1 ? 5 : 31;
    wchar_t text[64] = {};
    GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &day, nullptr, text, 64, nullptr);
    SetItemText(folders, IdFolderDateEdit, text);
    ClickItem(folders, IdFolderDate);
    const auto onDay = [&](const fs::path& folder) {
        const SYSTEMTIME got = LocalWriteTime(folder);
        return got.wYear == day.wYear && got.wMonth == day.wMonth && got.wDay == day.wDay && got.wHour == 0 &&
               got.wMinute == 0 && got.wSecond == 0;
    };
    WaitFor([&] { return onDay(dated[0]) && onDay(dated[1]) && list.Cell(1, 2) == text; }, 10000);
    Check(onDay(dated[0]) && onDay(dated[1]), n + "both folders dated " + Narrow(text) + " 00:00 on disk");
    Check(list.Cell(0, 2) == text && list.Cell(1, 2) == text, n + "the list shows the new date");

    ClickItem(folders, IdFolderNew);
    WaitFor([&] { return list.Rows() == 0; }, 3000);
    Check(list.Rows() == 0, n + "New empties the folder list");
}

// The windows the main window's toolbar opens, each driven through its controls on
// real files: a shortcut, an archive, a protected folder restored again, About.
void RunToolWindows(const std::wstring& exe, const fs::path& work, const fs::path& keep, const LanguageCase& lang,
                    const ToolTexts& texts)
{
    WriteSettings(lang.number);
    const std::wstring tag = lang.number == 1 ? L"en" : L"de";
    const fs::path held = work / (L"gehalten " + tag + L".txt");
    std::ofstream(held) << "held";
    PROCESS_INFORMATION holder = StartHolder(held);
    Program program = Start(exe, held.wstring());
    if (program.main == nullptr) return;
    const std::string n = lang.name + ": ";
    RunHeldBy(program, held, holder, n, texts);
    TerminateProcess(holder.hProcess, 0);
    CloseHandle(holder.hProcess);
    CloseHandle(holder.hThread);

    // The shortcut window: a shortcut to a program with one parameter.
    HWND link = OpenAndCheck(program, IdToolButtonLink, kLinkWindowClass, texts.linkCaption, 394, 212,
                             n + "the shortcut window");
    if (link != nullptr) {
        wchar_t windows[MAX_PATH] = {};
        GetWindowsDirectoryW(windows, MAX_PATH);
        const fs::path lnk = keep / (L"Verknüpfung " + tag + L".lnk");
        SetItemText(link, IdLinkProg, fs::path(windows) / L"notepad.exe");
        SetItemText(link, IdLinkFolder, lnk.wstring());
        SetItemText(link, IdLinkParameter, L"Größe.txt");
        ClickItem(link, IdLinkCreate);
        const Message created = Answer(program);
        Check(created.text == texts.linkCreated, n + "the shortcut window says the shortcut was made");
        Check(fs::is_regular_file(lnk), n + "the shortcut file is on disk");
        Check(CloseWith(link, IdLinkCancel), n + "Cancel closes the shortcut window");
    }

    // The folder tools hand over to the zip tool, which packs, protects and restores.
    const fs::path source = work / (L"Quelle " + tag);
    // Files only: a protected folder keeps each subfolder as an archive of its own.
    fs::create_directories(source);
    std::ofstream(source / L"eins.txt", std::ios::binary) << "one\r\n";
    std::ofstream(source / L"zwei ä.txt", std::ios::binary) << std::string(5000, 'z');
    const std::string tree = TreeText(source);
    HWND folders = OpenAndCheck(program, IdToolButtonDir, kFolderToolsClass, texts.folderCaption, 553, 351,
                                n + "the folder tools");
    if (folders != nullptr) {
        RunFolderDates(program, folders, work, lang, n);
        ClickItem(folders, IdFolderZip);
        HWND zip = WaitForWindow(kZipToolClass);
        Check(zip != nullptr && TextOf(zip) == texts.zipCaption, n + "Protect/Zip opens the zip tool, captioned");
        if (zip != nullptr) {
            const fs::path packed = keep / (L"gepackt " + tag + L".zip");
            SetItemText(zip, IdZipFolder, source.wstring());
            SetItemText(zip, IdZipName, packed.wstring());
            ClickItem(zip, IdZipClearPassword);
            WaitFor([&] { return TextOf(GetDlgItem(zip, IdZipPassword)).empty(); }, 3000);
            ClickItem(zip, IdZipZip);
            Check(Answer(program).text == texts.archiveCreated, n + "the zip tool says the archive was made");
            Check(fs::is_regular_file(packed), n + "the archive is on disk");

            const fs::path protectedZip = work / (L"geschützt " + tag + L".zip");
            SetItemText(zip, IdZipPassword, L"geheim");
            SetItemText(zip, IdZipName, protectedZip.wstring());
            ClickItem(zip, IdZipZip);
            Check(Answer(program).text == texts.protectedCreated, n + "the zip tool says the folder is protected");
            Check(fs::is_regular_file(protectedZip) && !fs::exists(source), n + "protected: archive made, folder gone");
            ClickItem(zip, IdZipUnzip);
            Answer(program, IDYES); // unzip to the folder?
            Check(Answer(program).text == texts.unzipped, n + "the zip tool says the archive was unzipped");
            const std::string restored = fs::is_directory(source) ? TreeText(source) : std::string("<none>");
            Check(restored == tree, n + "protect then restore gives the same tree");
            Check(CloseWith(zip, IdZipClose), n + "Close closes the zip tool");
        }
        Check(CloseWith(folders, IdFolderClose), n + "Close closes the folder tools");
    }

    // About: the product page's host in the language; its button closes it.
    HWND about = OpenFromToolbar(program, IdToolButtonInfo, kAboutClass);
    Check(about != nullptr && TextOf(GetDlgItem(about, IdAboutHost)) == texts.host, n + "About shows the host");
    if (about != nullptr) {
        Check(CloseWith(about, IdAboutClose), n + "About closes");
    }
    Stop(program, lang.name);
}
// ---- The tour for the screenshots ----

// Hands the window's client area to the screenshot script and waits until it has its picture.
void Shoot(const fs::path& folder, const std::wstring& name, HWND window)
{
    if (window == nullptr) {
        std::printf("no window for %s\n", Narrow(name).c_str());
        return;
    }
    Sleep(400); // painted
    // The client area: without a window manager on the virtual display nobody draws the
    // caption and frame.
    RECT place;
    GetClientRect(window, &place);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&place), 2);
    const fs::path done = folder / (name + L".done");
    {
        std::ofstream ready(folder / (name + L".ready.part"));
        ready << place.left << ' ' << place.top << ' ' << place.right - place.left << ' ' << place.bottom - place.top
              << '\n';
    }
    fs::rename(folder / (name + L".ready.part"), folder / (name + L".ready"));
    WaitFor([&] { return fs::exists(done); }, 30000);
    std::error_code ec;
    fs::remove(done, ec);
}

HWND WaitForStartScreen()
{
    HWND found = nullptr;
    WaitFor([&] {
        found = FindWindowW(kStartScreenClass, nullptr);
        return found != nullptr && IsWindowVisible(found);
    });
    return found;
}

void Tour(const std::wstring& exe, const fs::path& shots, const fs::path& work, const LanguageCase& lang)
{
    const std::wstring tag = lang.number == 1 ? L"en" : L"de";
    WriteSettings(lang.number);
    const fs::path documents = work / (lang.number == 1 ? L"Documents" : L"Dokumente");
    const std::vector<fs::path> folders = {documents / (lang.number == 1 ? L"Photos 2024" : L"Fotos 2024"),
                                           documents / (lang.number == 1 ? L"Invoices" : L"Rechnungen")};
    for (const fs::path& folder : folders)
        fs::create_directories(folder);
    const fs::path file = documents / (lang.number == 1 ? L"report.txt" : L"Bericht.txt");
    std::ofstream(file, std::ios::binary) << std::string(18000, 'x');
    // A newer release in the release file: the update notice follows the main window.
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const fs::path release = fs::path(temp) / L"velmora.dat";
    std::ofstream(release, std::ios::binary) << "9.9.0.0\r\nupdate\r\n";
    PROCESS_INFORMATION holder = StartHolder(file);

    Program program;
    std::wstring command = L"\"" + exe + L"\" \"" + file.wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &program.process)) {
        return;
    }
    Shoot(shots, L"start-screen-" + tag, WaitForStartScreen());
    WaitFor(
        [&] {
            program.main = FindWindowW(kMainWindowClass, nullptr);
            return program.main != nullptr && IsWindowVisible(program.main);
        },
        40000);
    WaitFor([&] { return program.Visible(IdImageJa3); }, 5000);
    Shoot(shots, L"main-window-" + tag, program.main);
    HWND notice = nullptr;
    WaitFor([&] { return (notice = FindDialog(program)) != nullptr; }, 15000);
    Shoot(shots, L"update-notice-" + tag, notice);
    if (notice != nullptr) Answer(program);
    // Gone again, so that no later run of the program in this prefix shows the notice.
    std::error_code ec;
    fs::remove(release, ec);
    Sleep(1000);
    // Whatever opening the product page brought up of the program's own (none expected).
    while (FindDialog(program) != nullptr)
        Answer(program);

    PostMessageW(program.Item(IdImageJa3), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(program.Item(IdImageJa3), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    HWND held = WaitForWindow(kHeldByClass);
    Shoot(shots, L"held-by-" + tag, held);
    CloseWith(held, IdHeldClose);

    HWND tools = OpenFromToolbar(program, IdToolButtonDir, kFolderToolsClass);
    CopyToClipboard(folders);
    PostMessageW(GetDlgItem(tools, IdFolderList), WM_PASTE, 0, 0);
    const RemoteList list(program, GetDlgItem(tools, IdFolderList));
    WaitFor([&] { return list.Rows() == 2; }, 5000);
    list.Select(0);
    Shoot(shots, L"folder-tools-" + tag, tools);
    ClickItem(tools, IdFolderZip);
    HWND zip = WaitForWindow(kZipToolClass);
    Shoot(shots, L"zip-tool-" + tag, zip);
    CloseWith(zip, IdZipClose);
    CloseWith(tools, IdFolderClose);

    HWND link = OpenFromToolbar(program, IdToolButtonLink, kLinkWindowClass);
    Shoot(shots, L"shortcut-" + tag, link);
    CloseWith(link, IdLinkCancel);

    HWND about = OpenFromToolbar(program, IdToolButtonInfo, kAboutClass);
    Shoot(shots, L"about-" + tag, about);
    CloseWith(about, IdAboutClose);

    TerminateProcess(holder.hProcess, 0);
    CloseHandle(holder.hProcess);
    CloseHandle(holder.hThread);
    Stop(program, lang.name);
}
} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: Win32UiTest velmora.exe\n");
        return 2;
    }
    if (std::wstring(argv[1]) == L"--hold" && argc == 3) {
        HANDLE file = CreateFileW(argv[2], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return 1;
        Sleep(60000);
        return 0;
    }
    if (std::wstring(argv[1]) == L"--appears" && argc == 4) {
        Program program = Start(argv[2], argv[3]);
        if (program.main != nullptr) {
            Check(program.Text(IdEdit1) == argv[3], "the installed program shows the file it was started on");
            Stop(program, "installed");
        }
        return g_failures == 0 ? 0 : 1;
    }
    const std::wstring exe = fs::absolute(argv[1]).wstring();
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const fs::path work = fs::path(temp) / (L"velmora-ui-" + std::to_wstring(GetCurrentProcessId()));
    fs::create_directories(work);

    const LanguageCase english{1,
                               "English",
                               L"Drag and drop file here to get file infos or use OPEN FILE button",
                               L"Archive",
                               L"Quit",
                               L"Attributes changed",
                               L"New file date"};
    const LanguageCase german{0,
                              "German",
                              L"Datei per Drag and Drop hierher ziehen oder mit Dateidialog öffnen",
                              L"Archiv",
                              L"Schliessen",
                              L"Attribute geändert",
                              L"Neues Dateidatum"};
    if (std::wstring(argv[1]) == L"--tour" && argc == 4) {
        for (const LanguageCase& lang : {english, german})
            Tour(fs::absolute(argv[2]).wstring(), argv[3], work, lang);
        std::error_code ec;
        fs::remove_all(work, ec);
        std::ofstream(fs::path(argv[3]) / L"tour.end") << "end\n";
        return 0;
    }
    for (const LanguageCase& lang : {english, german})
        RunMainWindow(exe, work, lang);

    const fs::path keep = argc > 2 ? fs::path(argv[2]) : work;
    const ToolTexts englishTools{L"Link",
                                 L"Link created",
                                 L"Folder tools",
                                 L"Protect/Zip folder",
                                 L"Archive created.",
                                 L"Protected folder created",
                                 L"Archive unzipped.",
                                 L"www.velmora-tools.com",
                                 L"Held by",
                                 L"No process holds it."};
    const ToolTexts germanTools{L"Verknüpfung",      L"Verknüpfung erstellt",
                                L"Ordner-Tools",     L"Ordner schützen/packen",
                                L"Archiv erstellt.", L"Geschütztes Verzeichnis erstellt.",
                                L"Archiv entpackt.", L"www.velmora-tools.de",
                                L"Verwendet von",    L"Kein Prozess verwendet sie."};
    RunToolWindows(exe, work, keep, english, englishTools);
    RunToolWindows(exe, work, keep, german, germanTools);

    std::error_code ec;
    fs::remove_all(work, ec);
    std::printf("%d failure(s)\n", g_failures);
    return g_failures == 0 ? 0 : 1;
}
