#include "win32ui/StartScreen.h"

#include "common/LanguageText.h"
#include "info/InfoTexts.h"
#include "info/ProductLinks.h"
#include "info/StartProgress.h"
#include "win32ui/ControlIds.h"
#include "win32ui/Resources.h"

namespace velmora::win32ui {

namespace {
constexpr int kWidth = 340;
constexpr int kHeight = 180;
constexpr UINT_PTR kProgressTimer = 2;
constexpr RECT kFrame{52, 132, 52 + 240, 132 + 18};
} // namespace

void StartScreen::ShowModal(HWND owner, std::int32_t language, const std::string& title)
{
    RegisterWindowClass(kStartScreenClass, ForwardingProc<StartScreen>, CS_DROPSHADOW, RGB(128, 128, 128));
    // The system-wide drop shadow, for this logon only.
    SystemParametersInfoW(SPI_SETDROPSHADOW, 0, reinterpret_cast<void*>(static_cast<INT_PTR>(TRUE)), 0);
    const UINT dpi = GetDpiForSystem();
    const int width = Scale(kWidth, dpi);
    const int height = Scale(kHeight, dpi);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    CreateWindowExW(WS_EX_TOOLWINDOW, kStartScreenClass, L"Velmora", WS_POPUP,
                    work.left + (work.right - work.left - width) / 2, work.top + (work.bottom - work.top - height) / 2,
                    width, height, owner, nullptr, GetModuleHandleW(nullptr), this);
    SetWindowRgn(m_hwnd, CreateRoundRectRgn(0, 0, width, height, Scale(40, dpi), Scale(40, dpi)), TRUE);

    ControlLook titleLook{L"Century Gothic", -21};
    titleLook.text = RGB(255, 255, 255);
    titleLook.align = SS_CENTER;
    m_controls.Add("LabelTitle", IdStartTitle, ControlKind::Label, 1, 58, 340, 37, titleLook);
    ControlLook freeware{L"Arial", -15};
    freeware.text = RGB(255, 255, 255);
    freeware.align = SS_CENTER;
    m_controls.Add("Label2", IdStartFreeware, ControlKind::Label, 1, 88, 340, 21, freeware);
    ControlLook host{L"Arial", -13};
    host.text = RGB(255, 255, 255);
    host.align = SS_CENTER;
    host.underline = true;
    m_controls.Add("Label3", IdStartHost, ControlKind::Label, 0, 108, 340, 16, host);
    m_controls.SetText("LabelTitle", title);
    m_controls.SetText("Label2", kFreewareText);
    // FormShow: step 0 and the host name of the language's product page.
    m_step = 0;
    m_barWidth = 1;
    m_controls.SetText("Label3", HostName(Pick(language, kProductPage)));

    if (owner != nullptr) EnableWindow(owner, FALSE);
    ShowWindow(m_hwnd, SW_SHOW);
    UpdateWindow(m_hwnd);
    SetTimer(m_hwnd, kProgressTimer, static_cast<UINT>(m_waiter.TimerInterval(std::chrono::milliseconds(60)).count()),
             nullptr);
    MSG message;
    while (!m_done && GetMessageW(&message, nullptr, 0, 0) > 0) {
        // F4 is swallowed, with or without modifiers, so Alt+F4 does not close the screen.
        if ((message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN) && message.wParam == VK_F4) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (owner != nullptr) EnableWindow(owner, TRUE);
    DestroyWindow(m_hwnd);
}

void StartScreen::PaintBackground(HDC dc, const RECT& area)
{
    const UINT dpi = WindowDpi(m_hwnd);
    // The dark picture behind everything, from the top-left corner (a dark gradient when
    // the program was built without its pictures).
    if (const Picture* picture = ResourcePicture(IDB_STARTSCREEN)) {
        HBRUSH dark = CreateSolidBrush(RGB(32, 32, 40));
        FillRect(dc, &area, dark);
        DeleteObject(dark);
        DrawPicture(dc, *picture, 0, 0, dpi);
    } else {
        FillVerticalGradient(dc, area, RGB(70, 70, 78), RGB(20, 20, 26));
    }
    const RECT frame{Scale(kFrame.left, dpi), Scale(kFrame.top, dpi), Scale(kFrame.right, dpi),
                     Scale(kFrame.bottom, dpi)};
    FillVerticalGradient(dc, frame, RGB(255, 255, 255), RGB(147, 147, 147));
    RECT edge = frame;
    DrawEdge(dc, &edge, BDR_SUNKENINNER, BF_RECT | BF_SOFT);
    const RECT bar{frame.left + 1, frame.top + Scale(2, dpi), frame.left + 1 + Scale(m_barWidth, dpi),
                   frame.top + Scale(16, dpi)};
    FillVerticalGradient(dc, bar, RGB(255, 217, 255), RGB(94, 0, 47), 20);
}

LRESULT StartScreen::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (AnswerWindowMessage(message, wParam, lParam, result)) return result;
    switch (message) {
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == m_controls.Find("Label3")) {
            SetCursor(LoadCursorW(nullptr, IDC_HAND));
            return TRUE;
        }
        break;
    case WM_COMMAND:
        if (LOWORD(wParam) == IdStartHost && HIWORD(wParam) == STN_CLICKED) {
            m_platform.shell->OpenUrl("https://" + m_controls.Text("Label3"));
        }
        return 0;
    case WM_TIMER:
        if (wParam == kProgressTimer) {
            if (NextProgressTick(m_step) == ProgressTick::Draw) {
                m_barWidth = ProgressBarWidth(m_step);
                InvalidateRect(m_hwnd, nullptr, FALSE);
            } else {
                KillTimer(m_hwnd, kProgressTimer);
                UpdateWindow(m_hwnd);
                m_waiter.Wait(std::chrono::milliseconds(700));
                m_done = true;
                PostMessageW(m_hwnd, WM_NULL, 0, 0);
            }
        }
        return 0;
    case WM_CLOSE:
        // Only the screen itself closes, when the bar is full.
        return 0;
    default:
        break;
    }
    return DefWindowProcW(m_hwnd, message, wParam, lParam);
}

} // namespace velmora::win32ui
