#pragma once
// What every Win32 window of the program shares: controls placed at design pixels (96 dpi)
// and scaled to the window's monitor, the fonts of the design, gradients, owner-drawn flat
// picture buttons, and the window logic's view (IWindowView) over the controls.
#include "common/WindowView.h"

// windows.h first: the Windows headers below need its types.
#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::win32ui {

std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

// Design pixels at 96 dpi to pixels at the window's dpi.
int Scale(int value, UINT dpi);
UINT WindowDpi(HWND window);

// A font of the design ("Arial" 8 pt, "MS Sans Serif" 8 pt, or a pixel height when
// points is negative), made once per dpi and kept for the program's life.
HFONT DesignFont(const wchar_t* face, int points, UINT dpi, bool underline = false);

// Fills rect with a vertical gradient from top to bottom; steps 0 draws it smoothly.
void FillVerticalGradient(HDC dc, const RECT& rect, COLORREF top, COLORREF bottom, int steps = 0);
// The background of the windows with a toolbar: the toolbar's gradient over the top 30 design
// pixels, and the light grey gradient of the window from lowerTop down.
void PaintToolbarWindow(HDC dc, UINT dpi, SIZE client, COLORREF barTop, COLORREF barBottom, int lowerTop = 30);

// An icon from the program's resources at a size in pixels (nullptr when there is none).
HICON ResourceIcon(int resourceId, int size);

// A PNG picture of the program's resources, decoded once (WIC) to premultiplied 32-bit
// pixels; nullptr when there is none.
struct Picture {
    HBITMAP bitmap = nullptr;
    int width = 0; // pixels, the design size at 96 dpi
    int height = 0;
};
const Picture* ResourcePicture(int resourceId);
// Draws the picture with its transparency, its top-left corner at (x, y), at its design
// size scaled to the dpi.
void DrawPicture(HDC dc, const Picture& picture, int x, int y, UINT dpi);

enum class ControlKind { Label, Edit, ReadOnlyEdit, CheckBox, FlatButton, PushButton, Picture, Frame, List, Progress };

struct ControlLook {
    const wchar_t* font = L"MS Sans Serif";
    int points = 8;
    COLORREF text = CLR_INVALID;       // CLR_INVALID: the system's
    COLORREF background = CLR_INVALID; // CLR_INVALID: the parent's (transparent for labels)
    DWORD align = 0;                   // ES_RIGHT, ES_CENTER, SS_CENTER
    int iconResource = 0;              // picture of a flat button or picture
    int iconSize = 22;
    int pictureResource = 0; // PNG picture of a picture control, at its top-left corner
    bool underline = false;
};

// One window's controls: created at design positions, reachable by name and ID, kept at
// the right size when the dpi changes.
class ControlSet final : public IWindowView {
public:
    explicit ControlSet(HWND owner) : m_owner(owner) {}
    void SetOwner(HWND owner) { m_owner = owner; }
    HWND Owner() const { return m_owner; }
    // The window's own name: its caption is the text of that name (and of "").
    void SetOwnerName(std::string name) { m_ownerName = std::move(name); }

    // width or height 0: a label sized to its text.
    HWND Add(const char* name, int id, ControlKind kind, int x, int y, int width, int height,
             const ControlLook& look = {}, HWND parent = nullptr);
    HWND Find(std::string_view name) const;
    // Re-places and re-fonts every control for the window's current dpi.
    void Relayout();
    // WM_DPICHANGED: the window takes the place the system suggests, and its controls the new dpi.
    void FollowDpiChange(const RECT& suggested);
    // The background the parent paints below a control (for transparent labels and flat buttons).
    using BackgroundPainter = std::function<void(HDC dc, const RECT& inParent)>;
    void SetBackgroundPainter(BackgroundPainter painter) { m_background = std::move(painter); }
    // WM_CTLCOLOR* and WM_DRAWITEM answers; false when the control is not one of this set.
    bool ControlColor(HDC dc, HWND control, LRESULT& brush);
    bool DrawItem(const DRAWITEMSTRUCT& item);
    // Both of those for a window's message: true (with the answer in result) when it was one of
    // them for a control of this set.
    bool AnswerControlMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void SetButtonIcon(std::string_view name, int iconResource);
    // A toolbar: flat picture buttons 32 design pixels apart from x, along the top 30 pixels.
    struct ToolbarButton {
        const char* name;
        int id;
        int icon;
    };
    void AddToolbar(int x, std::initializer_list<ToolbarButton> buttons);
    // The column widths of a list, in design pixels, for the columns SetColumns names.
    void SetColumnWidths(std::string_view name, std::vector<int> widths);

    std::string Text(std::string_view control) const override;
    void SetText(std::string_view control, std::string_view text) override;
    void SetHint(std::string_view control, std::string_view text) override;
    bool Checked(std::string_view control) const override;
    void SetChecked(std::string_view control, bool checked) override;
    bool Shown(std::string_view control) const override;
    void SetShown(std::string_view control, bool shown) override;
    void SetEnabled(std::string_view control, bool enabled) override;
    void SetReadOnly(std::string_view control, bool readOnly) override;
    void SetFocus(std::string_view control) override;
    void SetColumns(std::string_view control, const std::vector<std::string>& titles) override;
    int RowCount(std::string_view control) const override;
    std::string Cell(std::string_view control, int row, int column) const override;
    void SetCell(std::string_view control, int row, int column, std::string_view text) override;
    void AddRow(std::string_view control, const std::vector<std::string>& cells) override;
    void ClearRows(std::string_view control) override;
    bool RowSelected(std::string_view control, int row) const override;
    MsgAnswer ShowMessage(std::string_view caption, std::string_view text, MsgIcon icon, MsgButtons buttons) override;
    std::optional<std::string> InputBox(std::string_view caption, std::string_view prompt,
                                        std::string_view initial) override;

private:
    struct Control {
        std::string name;
        HWND hwnd = nullptr;
        ControlKind kind = ControlKind::Label;
        RECT design{}; // left, top, width, height in design pixels
        bool autoSize = false;
        ControlLook look;
        HBRUSH brush = nullptr;
        HICON icon = nullptr;
        std::wstring hint;
        std::vector<int> columnWidths;
    };
    Control* Lookup(std::string_view name);
    const Control* Lookup(std::string_view name) const;
    Control* Lookup(HWND hwnd);
    void FitToText(Control& control);
    HWND Named(std::string_view name) const;

    HWND m_owner;
    std::string m_ownerName;
    HWND m_tooltip = nullptr;
    std::vector<Control> m_controls;
    BackgroundPainter m_background;
};

// A modal text input box (caption, prompt, an edit field, OK and Cancel); nullopt when cancelled.
std::optional<std::wstring> ShowInputBox(HWND owner, const std::wstring& caption, const std::wstring& prompt,
                                         const std::wstring& initial);

// Runs a handler of a window; an error it throws is shown in the standard error box.
void RunGuarded(IWindowView& view, const std::function<void()>& handler);

// Registers a window class whose window procedure forwards to the object stored at creation.
template <typename Window> LRESULT CALLBACK ForwardingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Window* self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->AttachHandle(hwnd);
    }
    if (self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
    return self->HandleMessage(message, wParam, lParam);
}

void RegisterWindowClass(const wchar_t* name, WNDPROC procedure, UINT style = 0, COLORREF background = CLR_INVALID);

// A window's outer size for a client area of design pixels.
SIZE OuterSize(DWORD style, DWORD exStyle, int clientWidth, int clientHeight, UINT dpi);

// A window with its control set: the window procedure attaches the handle at creation,
// and the window paints its whole client area with PaintBackground.
class ControlledWindow {
public:
    virtual ~ControlledWindow() = default;

    void AttachHandle(HWND hwnd)
    {
        m_hwnd = hwnd;
        m_controls.SetOwner(hwnd);
    }
    HWND Handle() const { return m_hwnd; }

protected:
    virtual void PaintBackground(HDC dc, const RECT& area) = 0;
    // The messages every window answers alike: painting (the whole background at once, never
    // erased on its own) and the colours and drawing of the controls. True when answered, with
    // the result in result.
    bool AnswerWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    HWND m_hwnd = nullptr;
    ControlSet m_controls{nullptr};
};

// A window the main window opens modally: its owner is disabled while it shows, F1 goes
// to the window wherever the focus is inside it, and the controls are coloured, drawn
// and re-placed for the dpi by its control set.
class ToolWindow : public ControlledWindow {
public:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

protected:
    // Creates the window hidden, with a client area of design pixels, centred over the
    // owner's window (the desktop when there is none).
    void CreateToolWindow(const wchar_t* windowClass, HWND owner, int clientWidth, int clientHeight,
                          DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU, DWORD exStyle = WS_EX_DLGMODALFRAME);
    // Shows the window and runs its messages until it is closed.
    void RunModal();
    // Closes the window, whatever CanClose says.
    void Close();

    virtual void OnCommand(int id, int code) = 0;
    void PaintBackground(HDC dc, const RECT& area) override;
    virtual void OnHelpKey() {}
    // False keeps the window open when the user closes it.
    virtual bool CanClose() { return true; }
    // Other messages; true when handled, with the result in result.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void Guarded(const std::function<void()>& handler) { RunGuarded(m_controls, handler); }

    HWND m_owner = nullptr;
    bool m_open = false;
};

} // namespace velmora::win32ui
