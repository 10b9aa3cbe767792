// Basics every Win32 window shares: text conversion, DPI scaling, fonts, gradients, icons,
// window classes and the guard that shows a handler's error.
#include "win32ui/Win32Ui.h"

#include "platform/win32/WinText.h"

#include <exception>

namespace velmora::win32ui {

std::wstring Wide(std::string_view utf8)
{
    return win32::Widen(utf8);
}

std::string Utf8(std::wstring_view wide)
{
    return win32::Narrow(wide);
}

int Scale(int value, UINT dpi)
{
    return MulDiv(value, static_cast<int>(dpi), 96);
}

UINT WindowDpi(HWND window)
{
    const UINT dpi = window != nullptr ? GetDpiForWindow(window) : 0;
    return dpi != 0 ? dpi : 96;
}

HFONT DesignFont(const wchar_t* face, int points, UINT dpi, bool underline)
{
    static std::map<std::tuple<std::wstring, int, UINT, bool>, HFONT> fonts;
    const auto key = std::make_tuple(std::wstring(face), points, dpi, underline);
    if (const auto found = fonts.find(key); found != fonts.end()) return found->second;
    // A negative "points" is a pixel height at 96 dpi.
    const int height = points > 0 ? -MulDiv(points, static_cast<int>(dpi), 72) : -Scale(-points, dpi);
    HFONT font =
        CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, underline ? TRUE : FALSE, FALSE, DEFAULT_CHARSET,
                    OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_SWISS, face);
    fonts[key] = font;
    return font;
}

void FillVerticalGradient(HDC dc, const RECT& rect, COLORREF top, COLORREF bottom, int steps)
{
    const int height = rect.bottom - rect.top;
    if (height <= 0) return;
    const int bands = steps > 0 ? std::min(steps, height) : height;
    for (int band = 0; band < bands; ++band) {
        const int y0 = rect.top + MulDiv(band, height, bands);
        const int y1 = rect.top + MulDiv(band + 1, height, bands);
        const int span = bands > 1 ? bands - 1 : 1;
        auto mix = [&](int a, int b) { return a + (b - a) * band / span; };
        const COLORREF colour = RGB(mix(GetRValue(top), GetRValue(bottom)), mix(GetGValue(top), GetGValue(bottom)),
                                    mix(GetBValue(top), GetBValue(bottom)));
        HBRUSH brush = CreateSolidBrush(colour);
        const RECT part{rect.left, y0, rect.right, y1};
        FillRect(dc, &part, brush);
        DeleteObject(brush);
    }
}

void PaintToolbarWindow(HDC dc, UINT dpi, SIZE client, COLORREF barTop, COLORREF barBottom, int lowerTop)
{
    const RECT toolbar{0, 0, Scale(client.cx, dpi), Scale(30, dpi)};
    FillVerticalGradient(dc, toolbar, barTop, barBottom);
    const RECT lower{0, Scale(lowerTop, dpi), Scale(client.cx, dpi), Scale(client.cy, dpi)};
    FillVerticalGradient(dc, lower, RGB(0xF5, 0xF1, 0xEE), RGB(0xAA, 0xAA, 0xAA), 200);
}

bool ControlledWindow::AnswerWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(m_hwnd, &paint);
        RECT client;
        GetClientRect(m_hwnd, &client);
        PaintBackground(dc, client);
        EndPaint(m_hwnd, &paint);
        result = 0;
        return true;
    }
    case WM_ERASEBKGND:
        result = 1;
        return true;
    default:
        return m_controls.AnswerControlMessage(message, wParam, lParam, result);
    }
}

HICON ResourceIcon(int resourceId, int size)
{
    return static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resourceId), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

void RunGuarded(IWindowView& view, const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const std::exception& error) {
        view.ErrorBox(error.what());
    }
}

void RegisterWindowClass(const wchar_t* name, WNDPROC procedure, UINT style, COLORREF background)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = style | CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    windowClass.hbrBackground =
        background == CLR_INVALID ? reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1) : CreateSolidBrush(background);
    windowClass.lpszClassName = name;
    RegisterClassExW(&windowClass);
}

SIZE OuterSize(DWORD style, DWORD exStyle, int clientWidth, int clientHeight, UINT dpi)
{
    RECT rect{0, 0, Scale(clientWidth, dpi), Scale(clientHeight, dpi)};
    AdjustWindowRectExForDpi(&rect, style, FALSE, exStyle, dpi);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

} // namespace velmora::win32ui
