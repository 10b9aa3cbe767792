// Modal tool windows: creating, the modal loop, painting and the messages every tool window
// handles the same way.
#include "win32ui/Win32Ui.h"

namespace velmora::win32ui {

void ToolWindow::CreateToolWindow(const wchar_t* windowClass, HWND owner, int clientWidth, int clientHeight,
                                  DWORD style, DWORD exStyle)
{
    RegisterWindowClass(windowClass, ForwardingProc<ToolWindow>);
    m_owner = owner;
    const UINT dpi = owner != nullptr ? WindowDpi(owner) : GetDpiForSystem();
    const SIZE outer = OuterSize(style, exStyle, clientWidth, clientHeight, dpi);
    RECT over{};
    if (owner != nullptr) {
        GetWindowRect(owner, &over);
    } else {
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &over, 0);
    }
    const int x = over.left + (over.right - over.left - outer.cx) / 2;
    const int y = over.top + (over.bottom - over.top - outer.cy) / 2;
    CreateWindowExW(exStyle, windowClass, L"", style, x, y, outer.cx, outer.cy, owner, nullptr,
                    GetModuleHandleW(nullptr), this);
    m_controls.SetBackgroundPainter([this](HDC dc, const RECT& area) { PaintBackground(dc, area); });
}

void ToolWindow::RunModal()
{
    m_open = true;
    if (m_owner != nullptr) EnableWindow(m_owner, FALSE);
    ShowWindow(m_hwnd, SW_SHOW);
    UpdateWindow(m_hwnd);
    MSG message;
    while (m_open && GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_KEYDOWN && message.wParam == VK_F1 &&
            (message.hwnd == m_hwnd || IsChild(m_hwnd, message.hwnd))) {
            Guarded([this] { OnHelpKey(); });
            continue;
        }
        if (IsDialogMessageW(m_hwnd, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (message.message == WM_QUIT) PostQuitMessage(static_cast<int>(message.wParam));
}

void ToolWindow::Close()
{
    if (!m_open) return;
    m_open = false;
    // The owner is enabled before the window goes, so that it gets the activation back.
    if (m_owner != nullptr) EnableWindow(m_owner, TRUE);
    DestroyWindow(m_hwnd);
}

void ToolWindow::PaintBackground(HDC dc, const RECT& area)
{
    FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
}

bool ToolWindow::OnMessage(UINT, WPARAM, LPARAM, LRESULT&)
{
    return false;
}

LRESULT ToolWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (OnMessage(message, wParam, lParam, result)) return result;
    if (AnswerWindowMessage(message, wParam, lParam, result)) return result;
    switch (message) {
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        // Escape, through the dialog keys, closes the window as its close box does.
        if (id == IDCANCEL && lParam == 0) {
            if (CanClose()) Close();
            return 0;
        }
        Guarded([&] { OnCommand(id, code); });
        return 0;
    }
    case WM_DPICHANGED:
        m_controls.FollowDpiChange(*reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_CLOSE:
        if (CanClose()) Close();
        return 0;
    default:
        break;
    }
    return DefWindowProcW(m_hwnd, message, wParam, lParam);
}

} // namespace velmora::win32ui
