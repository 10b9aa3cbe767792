#include "win32ui/FolderToolsWindow.h"

#include "win32ui/ControlIds.h"
#include "win32ui/Dialogs.h"
#include "win32ui/Resources.h"
#include "win32ui/ZipToolWindow.h"

#include <shellapi.h>

#include <algorithm>

namespace velmora::win32ui {

namespace {
constexpr int kClientWidth = 553;
constexpr int kClientHeight = 351;
} // namespace

void FolderToolsWindow::ShowModal(HWND owner, std::int32_t language)
{
    CreateToolWindow(kFolderToolsClass, owner, kClientWidth, kClientHeight);
    m_controls.SetOwnerName(FolderToolsLogic::kWindow);
    ControlSet& c = m_controls;
    c.AddToolbar(205, {{"ToolButtonNew", IdFolderNew, IDI_NEW},
                       {"ToolButtonOpen", IdFolderOpen, IDI_OPEN_FOLDER},
                       {"ToolButtonDate", IdFolderDate, IDI_CLOCK},
                       {"ToolButtonDel", IdFolderDelete, IDI_DELETE},
                       {"ToolButtonZip", IdFolderZip, IDI_FOLDER_ZIP}});
    const ControlLook tahoma{L"Tahoma", 8};
    c.Add("LabelDirectories", IdFolderListLabel, ControlKind::Label, 40, 41, 0, 0, tahoma);
    c.Add("DirectoryList", IdFolderList, ControlKind::List, 32, 60, 490, 189, tahoma);
    c.SetColumnWidths("DirectoryList", {2, 360, 120});
    // The date label ends just left of the date field.
    ControlLook right = tahoma;
    right.align = SS_RIGHT;
    c.Add("LabelDate", IdFolderDateLabel, ControlKind::Label, 101, 258, 136, 15, right);
    ControlLook centred = tahoma;
    centred.align = ES_CENTER;
    c.Add("EditDate", IdFolderDateEdit, ControlKind::Edit, 241, 255, 100, 21, centred);
    // PanelButton (32, 301, 490 x 30) holds ButtonClose, which fills it.
    c.Add("ButtonClose", IdFolderClose, ControlKind::PushButton, 32, 301, 490, 30, tahoma);

    DragAcceptFiles(m_hwnd, TRUE);
    SetWindowSubclass(c.Find("DirectoryList"), ListProc, 0, reinterpret_cast<DWORD_PTR>(this));

    m_logic.MyLanguage = language;
    Guarded([this] { m_logic.FormShow(); });
    RunModal();
}

void FolderToolsWindow::PaintBackground(HDC dc, const RECT&)
{
    PaintToolbarWindow(dc, WindowDpi(m_hwnd), {kClientWidth, kClientHeight}, RGB(226, 226, 226), RGB(140, 140, 140));
}

void FolderToolsWindow::OnCommand(int id, int code)
{
    if (code != BN_CLICKED) return;
    switch (id) {
    case IdFolderNew:
        m_logic.ToolButtonNewClick();
        break;
    case IdFolderOpen:
        m_logic.SpeedButton1Click();
        break;
    case IdFolderDate:
        m_logic.ButtonSetDateClick();
        break;
    case IdFolderDelete:
        m_logic.ToolButtonDelClick();
        break;
    case IdFolderZip:
        m_logic.Packen1Click();
        break;
    case IdFolderClose:
        m_logic.ButtonCloseClick();
        break;
    default:
        break;
    }
}

namespace {
std::vector<std::string> DroppedPaths(HDROP drop)
{
    std::vector<std::string> paths;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring path(length + 1, L'\0');
        DragQueryFileW(drop, i, path.data(), length + 1);
        path.resize(length);
        paths.push_back(Utf8(path));
    }
    return paths;
}
} // namespace

bool FolderToolsWindow::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result)
{
    if (message != WM_DROPFILES) return false;
    const auto drop = reinterpret_cast<HDROP>(wParam);
    const std::vector<std::string> paths = DroppedPaths(drop);
    DragFinish(drop);
    Guarded([&] { m_logic.AddFolders(paths); });
    result = 0;
    return true;
}

void FolderToolsWindow::Paste()
{
    if (!OpenClipboard(m_hwnd)) return;
    std::vector<std::string> paths;
    if (HANDLE files = GetClipboardData(CF_HDROP)) {
        paths = DroppedPaths(static_cast<HDROP>(files));
    } else if (HANDLE text = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* wide = static_cast<const wchar_t*>(GlobalLock(text))) {
            const std::string all = Utf8(wide);
            GlobalUnlock(text);
            for (std::size_t start = 0; start <= all.size();) {
                const std::size_t end = std::min(all.find('\n', start), all.size());
                paths.push_back(all.substr(start, end - start));
                start = end + 1;
            }
        }
    }
    CloseClipboard();
    Guarded([&] { m_logic.AddFolders(paths); });
}

LRESULT CALLBACK FolderToolsWindow::ListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                             DWORD_PTR self)
{
    const bool controlV = message == WM_KEYDOWN && wParam == 'V' && (GetKeyState(VK_CONTROL) & 0x8000) != 0;
    if (message == WM_PASTE || controlV) {
        reinterpret_cast<FolderToolsWindow*>(self)->Paste();
        return 0;
    }
    if (message == WM_NCDESTROY) RemoveWindowSubclass(hwnd, ListProc, 0);
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

std::vector<std::string> FolderToolsWindow::ChooseFolders(const std::string& caption)
{
    return ChooseFoldersDialog(m_hwnd, caption, "", true);
}

void FolderToolsWindow::OpenZipTool(const std::optional<std::string>& folder, std::int32_t language)
{
    ZipToolWindow zip(m_platform);
    zip.ShowModal(m_hwnd, folder, language);
}

} // namespace velmora::win32ui
