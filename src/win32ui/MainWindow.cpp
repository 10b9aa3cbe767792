#include "win32ui/MainWindow.h"

#include "app/MainTexts.h"
#include "win32ui/AboutBox.h"
#include "win32ui/ControlIds.h"
#include "win32ui/FolderToolsWindow.h"
#include "win32ui/HeldByWindow.h"
#include "win32ui/LinkWindow.h"
#include "win32ui/Resources.h"
#include "win32ui/StartScreen.h"

#include <shellapi.h>

#include <commdlg.h>

namespace velmora::win32ui {

namespace {
constexpr int kClientWidth = 454;
constexpr int kClientHeight = 386;
constexpr COLORREF kWindowColour = RGB(242, 238, 235);
constexpr COLORREF kMaroon = RGB(128, 0, 0);
constexpr UINT_PTR kNoticeTimer = 1;
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

// The colour the lower part's gradient has at a design y, for controls that sit on it.
COLORREF LowerGradientAt(int y)
{
    const int band = (y - 95) * 200 / 291;
    auto mix = [&](int a, int b) { return a + (b - a) * band / 199; };
    return RGB(mix(245, 170), mix(241, 170), mix(238, 170));
}
} // namespace

MainWindow::MainWindow(Platform& platform, IWaiter& waiter)
    : m_platform(platform), m_waiter(waiter), m_logic(platform, waiter, m_controls, *this)
{}

MainWindow::~MainWindow()
{
    if (m_fileIcon != nullptr) DestroyIcon(m_fileIcon);
}

void MainWindow::Create()
{
    RegisterWindowClass(kMainWindowClass, ForwardingProc<MainWindow>, 0, kWindowColour);
    const UINT dpi = GetDpiForSystem();
    const SIZE outer = OuterSize(kWindowStyle, 0, kClientWidth, kClientHeight, dpi);
    // Centred on the desktop.
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int x = work.left + (work.right - work.left - outer.cx) / 2;
    const int y = work.top + (work.bottom - work.top - outer.cy) / 2;
    CreateWindowExW(0, kMainWindowClass, L"Velmora", kWindowStyle, x, y, outer.cx, outer.cy, nullptr, nullptr,
                    GetModuleHandleW(nullptr), this);
    BuildControls();
    // A start-up that fails before its own steps still leaves a usable window: English
    // texts and no in-use mark until a file is shown.
    m_logic.ApplyLanguage();
    m_controls.SetShown("ImageJa3", false);
    m_controls.SetShown("Label5", false);
    // FormCreate: drops are accepted, also from a file manager that runs without elevation.
    SetDragAndDropOnSystemsWIthUAC(m_hwnd, true);
    DragAcceptFiles(m_hwnd, TRUE);
}

void MainWindow::SetDragAndDropOnSystemsWIthUAC(HWND window, bool enabled)
{
    HMODULE user32 = LoadLibraryW(L"user32.dll");
    if (user32 == nullptr) return;
    using Filter = BOOL(WINAPI*)(UINT, DWORD);
    auto filter =
        reinterpret_cast<Filter>(reinterpret_cast<void*>(GetProcAddress(user32, "ChangeWindowMessageFilter")));
    if (filter == nullptr) return;
    DragAcceptFiles(window, enabled ? TRUE : FALSE);
    for (UINT message : {0x0233u, 0x004Au, 0x0049u})
        filter(message, 1);
}

void MainWindow::BuildControls()
{
    ControlSet& c = m_controls;
    c.AddToolbar(90, {{"ToolButton6", IdToolButton6, IDI_NEW},
                      {"ToolButton4", IdToolButton4, IDI_SAVE},
                      {"ToolButtonDir", IdToolButtonDir, IDI_FOLDER_TOOLS},
                      {"ToolButtonLink", IdToolButtonLink, IDI_LINK},
                      {"ToolButtonLang", IdToolButtonLang, IDI_FLAG_GB},
                      {"ToolButtonUpdate", IdToolButtonUpdate, IDI_UPDATE},
                      {"ToolButtonInfo", IdToolButtonInfo, IDI_INFO}});
    c.SetHint("ToolButtonUpdate", kUpdatesHint);
    c.SetHint("ToolButtonInfo", kInfoHint);

    const ControlLook arial8{L"Arial", 8};
    ControlLook arial9{L"Arial", 9};
    c.Add("GroupBox1", IdGroupBox1, ControlKind::Frame, 0, 30 - 6, 454, 65 + 6);
    c.Add("Label1", IdLabel1, ControlKind::Label, 28, 30 + 15, 0, 0, arial8);
    ControlLook tick;
    tick.iconResource = IDI_TICK;
    tick.iconSize = 20;
    c.Add("ImageJa3", IdImageJa3, ControlKind::Picture, 357, 30 + 11, 20, 20, tick);
    c.Add("Label5", IdLabel5, ControlKind::Label, 380, 30 + 13, 0, 0, arial8);
    c.SetText("Label5", kInUseText);
    ControlLook white = arial9;
    white.background = RGB(255, 255, 255);
    c.Add("Edit1", IdEdit1, ControlKind::Edit, 26, 30 + 33, 388, 21, white);
    ControlLook flat;
    flat.iconResource = IDI_OPEN_FOLDER;
    c.Add("SpeedButton2", IdSpeedButton2, ControlKind::FlatButton, 416, 30 + 33, 28, 29, flat);

    c.Add("LabelLApp", IdLabelLApp, ControlKind::Label, 26, 99, 0, 0);
    ControlLook light = arial9;
    light.background = RGB(245, 245, 245);
    c.Add("EditLApp", IdEditLApp, ControlKind::ReadOnlyEdit, 26, 115, 388, 21, light);
    flat.iconResource = IDI_POWER;
    c.Add("SpeedButton4", IdSpeedButton4, ControlKind::FlatButton, 416, 112, 28, 29, flat);
    c.Add("LabelDefApp", IdLabelDefApp, ControlKind::Label, 26, 143, 0, 0);
    ControlLook grey = arial9;
    grey.background = RGB(235, 235, 235);
    c.Add("EditDefApp", IdEditDefApp, ControlKind::ReadOnlyEdit, 26, 160, 388, 21, grey);
    ControlLook maroonLabel = arial9;
    maroonLabel.text = kMaroon;
    c.Add("LabelExt", IdLabelExt, ControlKind::Label, 272, 143, 0, 0, maroonLabel);
    flat.iconResource = IDI_GEARS;
    c.Add("ButtonDefaults", IdButtonDefaults, ControlKind::FlatButton, 416, 159, 26, 25, flat);

    c.Add("Label3", IdLabel3, ControlKind::Label, 26, 190, 0, 0);
    ControlLook maroonEdit = grey;
    maroonEdit.text = kMaroon;
    maroonEdit.align = ES_RIGHT;
    c.Add("EditGr", IdEditGr, ControlKind::ReadOnlyEdit, 26, 205, 150, 21, maroonEdit);
    c.Add("LabelBytes", IdLabelBytes, ControlKind::Label, 178, 207, 0, 0);
    c.SetText("LabelBytes", "Bytes");
    c.Add("Label2", IdLabel2, ControlKind::Label, 26, 235, 0, 0);
    maroonEdit.align = ES_CENTER;
    c.Add("EditDate1", IdEditDate1, ControlKind::ReadOnlyEdit, 26, 250, 150, 21, maroonEdit);
    flat.iconResource = IDI_CLOCK;
    c.Add("SpeedButton3", IdSpeedButton3, ControlKind::FlatButton, 178, 248, 28, 29, flat);
    c.Add("Label6", IdLabel6, ControlKind::Label, 26, 279, 0, 0);
    c.Add("EditDate2", IdEditDate2, ControlKind::ReadOnlyEdit, 25, 295, 150, 21, maroonEdit);

    c.Add("Label4", IdLabel4, ControlKind::Label, 232, 189, 0, 0, arial8);
    const struct {
        const char* name;
        int id;
        int y;
        int width;
    } boxes[] = {{"CheckBox2", IdCheckBox2, 213, 80},
                 {"CheckBox3", IdCheckBox3, 238, 105},
                 {"CheckBox4", IdCheckBox4, 263, 80},
                 {"CheckBox5", IdCheckBox5, 286, 80}};
    for (const auto& box : boxes) {
        ControlLook look = arial8;
        look.background = box.id == IdCheckBox5 ? RGB(192, 192, 192) : LowerGradientAt(box.y + 8);
        c.Add(box.name, box.id, ControlKind::CheckBox, 232, box.y, box.width, 17, look);
    }
    c.SetText("CheckBox5", kSystemText);
    c.Add("LabelIcon", IdLabelIcon, ControlKind::Label, 362, 189, 0, 0, arial8);
    ControlLook picture;
    picture.iconSize = 32;
    c.Add("Image1", IdImage1, ControlKind::Picture, 362, 209, 32, 32, picture);

    // PanelButton (100, 330, 250 x 30) holds ButtonClose, which fills it.
    c.Add("ButtonClose", IdButtonClose, ControlKind::PushButton, 100, 330, 250, 30);
    c.SetBackgroundPainter([this](HDC dc, const RECT& area) { PaintBackground(dc, area); });
}

void MainWindow::PaintBackground(HDC dc, const RECT& area)
{
    const UINT dpi = WindowDpi(m_hwnd);
    HBRUSH window = CreateSolidBrush(kWindowColour);
    FillRect(dc, &area, window);
    DeleteObject(window);
    PaintToolbarWindow(dc, dpi, {kClientWidth, kClientHeight}, RGB(226, 226, 226), RGB(140, 140, 140), 95);
    // The panel below the close button, with its soft bevel.
    RECT panel{Scale(100, dpi) - 1, Scale(330, dpi) - 1, Scale(350, dpi) + 1, Scale(360, dpi) + 1};
    DrawEdge(dc, &panel, BDR_RAISEDINNER, BF_RECT | BF_SOFT);
}

void MainWindow::Guarded(const std::function<void()>& handler)
{
    RunGuarded(m_controls, handler);
}

void MainWindow::Show(int showCommand)
{
    // The first showing runs the start-up sequence; the window appears only after it.
    if (!m_startupRan) {
        m_startupRan = true;
        m_logic.FormShow();
    }
    ShowWindow(m_hwnd, showCommand);
    UpdateWindow(m_hwnd);
}

void MainWindow::ShowFile(const std::string& path)
{
    Guarded([&] {
        m_logic.WMDropFiles({path});
        RefreshHoldersHint();
    });
}

bool MainWindow::PreviewKey(const MSG& message)
{
    if (message.message != WM_KEYDOWN) return false;
    if (message.hwnd != m_hwnd && !IsChild(m_hwnd, message.hwnd)) return false;
    FunctionKey key;
    switch (message.wParam) {
    case VK_F1:
        key = FunctionKey::F1;
        break;
    case VK_F2:
        key = FunctionKey::F2;
        break;
    case VK_F3:
        key = FunctionKey::F3;
        break;
    default:
        return false;
    }
    Guarded([&] { m_logic.FormKeyDown(key); });
    return true;
}

void MainWindow::RefreshHoldersHint()
{
    if (m_controls.Shown("ImageJa3")) {
        const std::string hint = m_logic.HoldersToolTip();
        m_controls.SetHint("ImageJa3", hint);
        m_controls.SetHint("Label5", hint);
    }
}

void MainWindow::OnCommand(int id, int code)
{
    if (code != BN_CLICKED && code != STN_CLICKED) return;
    Guarded([&] {
        switch (id) {
        case IdToolButton6:
            m_logic.ToolButton6Click();
            break;
        case IdToolButton4:
            m_logic.ToolButton4Click();
            break;
        case IdToolButtonDir:
            m_logic.ToolButtonDirClick();
            break;
        case IdToolButtonLink:
            m_logic.ToolButtonLinkClick();
            break;
        case IdToolButtonLang:
            m_logic.ToolButtonLangClick();
            break;
        case IdToolButtonUpdate:
            m_logic.ToolButtonUpdateClick();
            break;
        case IdToolButtonInfo:
            m_logic.ToolButtonInfoClick();
            break;
        case IdSpeedButton2:
            m_logic.ToolButton1Click();
            break;
        case IdSpeedButton3:
            m_logic.ToolButton7Click();
            break;
        case IdSpeedButton4:
            m_logic.ToolButton2Click();
            break;
        case IdButtonDefaults:
            m_logic.ButtonDefaultsClick();
            break;
        case IdButtonClose:
            m_logic.Button1Click();
            break;
        case IdImageJa3:
        case IdLabel5:
            m_logic.ImageJa3Click();
            break;
        default:
            return;
        }
        RefreshHoldersHint();
    });
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (AnswerWindowMessage(message, wParam, lParam, result)) return result;
    switch (message) {
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_DROPFILES: {
        auto drop = reinterpret_cast<HDROP>(wParam);
        // The first dropped item only, however long its path.
        const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
        std::wstring path(length + 1, L'\0');
        DragQueryFileW(drop, 0, path.data(), length + 1);
        path.resize(length);
        ShowFile(Utf8(path));
        DragFinish(drop);
        return 0;
    }
    case WM_TIMER:
        if (wParam == kNoticeTimer) Guarded([&] { m_logic.TimerUpdateTimer(); });
        return 0;
    case WM_DPICHANGED:
        m_controls.FollowDpiChange(*reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_CLOSE:
        m_logic.FormClose();
        DestroyWindow(m_hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(m_hwnd, message, wParam, lParam);
}

// ---- What only this window does for the logic ----

void MainWindow::ShowFileIcon(const std::string& path)
{
    SHFILEINFOW info{};
    HICON icon = nullptr;
    if (SHGetFileInfoW(Wide(path).c_str(), 0, &info, sizeof(info), SHGFI_ICON | SHGFI_LARGEICON) != 0) {
        icon = info.hIcon;
    }
    SendMessageW(m_controls.Find("Image1"), STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    if (m_fileIcon != nullptr) DestroyIcon(m_fileIcon);
    m_fileIcon = icon;
}

void MainWindow::SetLanguageImage(int imageIndex)
{
    m_controls.SetButtonIcon("ToolButtonLang", imageIndex == kBritishFlagImage ? IDI_FLAG_GB : IDI_FLAG_DE);
}

std::optional<std::string> MainWindow::ChooseFile()
{
    std::wstring buffer(32768, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = m_hwnd;
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = static_cast<DWORD>(buffer.size());
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_EXPLORER | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameW(&dialog)) return std::nullopt;
    buffer.resize(wcslen(buffer.c_str()));
    return Utf8(buffer);
}

void MainWindow::OpenFolderTools(std::int32_t language)
{
    FolderToolsWindow window(m_platform);
    window.ShowModal(m_hwnd, language);
}

void MainWindow::OpenLinkWindow(std::int32_t language, const std::string& program)
{
    LinkWindow window(m_platform);
    window.ShowModal(m_hwnd, language, program);
}

void MainWindow::OpenAbout(std::int32_t language)
{
    RECT corner{};
    GetWindowRect(m_hwnd, &corner);
    const UINT dpi = WindowDpi(m_hwnd);
    AboutBox box(m_platform);
    box.ShowModal(m_hwnd, language, corner.left + Scale(90, dpi), corner.top + Scale(50, dpi));
}

void MainWindow::ShowStartScreen(std::int32_t language)
{
    StartScreen screen(m_platform, m_waiter);
    screen.ShowModal(m_hwnd, language, "Velmora");
}

void MainWindow::OpenHeldBy(std::int32_t language, const std::string& path)
{
    HeldByWindow window(m_platform, m_waiter);
    window.ShowModal(m_hwnd, language, path, [this, path] { m_logic.RefreshInUseMark(path); });
}

void MainWindow::StartNoticeTimer()
{
    SetTimer(m_hwnd, kNoticeTimer, static_cast<UINT>(m_waiter.TimerInterval(std::chrono::milliseconds(5000)).count()),
             nullptr);
}

void MainWindow::StopNoticeTimer()
{
    KillTimer(m_hwnd, kNoticeTimer);
}

void MainWindow::CloseWindow()
{
    PostMessageW(m_hwnd, WM_CLOSE, 0, 0);
}

void MainWindow::Repaint()
{
    UpdateWindow(m_hwnd);
}

} // namespace velmora::win32ui
