// The controls of one window by name: creating them at design positions, scaling them to
// the DPI, colours and owner-drawn buttons, texts, lists and message boxes.
#include "win32ui/Win32Ui.h"

#include "platform/win32/WinText.h"
#include "win32ui/ControlIds.h"

#include <algorithm>
#include <tuple>

namespace velmora::win32ui {

namespace {
const wchar_t* ClassOf(ControlKind kind)
{
    switch (kind) {
    case ControlKind::Edit:
    case ControlKind::ReadOnlyEdit:
        return WC_EDITW;
    case ControlKind::CheckBox:
    case ControlKind::FlatButton:
    case ControlKind::PushButton:
    case ControlKind::Frame:
        return WC_BUTTONW;
    case ControlKind::Label:
    case ControlKind::Picture:
        return WC_STATICW;
    case ControlKind::List:
        return WC_LISTVIEWW;
    case ControlKind::Progress:
        return PROGRESS_CLASSW;
    }
    return WC_STATICW;
}

DWORD StyleOf(ControlKind kind, DWORD align)
{
    const DWORD base = WS_CHILD | WS_VISIBLE;
    switch (kind) {
    case ControlKind::Edit:
        return base | WS_TABSTOP | ES_AUTOHSCROLL | align;
    case ControlKind::ReadOnlyEdit:
        return base | WS_TABSTOP | ES_AUTOHSCROLL | ES_READONLY | align;
    case ControlKind::CheckBox:
        return base | WS_TABSTOP | BS_AUTOCHECKBOX;
    case ControlKind::FlatButton:
        return base | WS_TABSTOP | BS_OWNERDRAW;
    case ControlKind::PushButton:
        return base | WS_TABSTOP | BS_PUSHBUTTON;
    case ControlKind::Frame:
        return base | BS_GROUPBOX;
    case ControlKind::Label:
        return base | SS_NOPREFIX | SS_NOTIFY | align;
    case ControlKind::Picture:
        return base | SS_ICON | SS_CENTERIMAGE | SS_NOTIFY | SS_REALSIZECONTROL;
    case ControlKind::List:
        return base | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS;
    case ControlKind::Progress:
        return base;
    }
    return base;
}
} // namespace

HWND ControlSet::Add(const char* name, int id, ControlKind kind, int x, int y, int width, int height,
                     const ControlLook& look, HWND parent)
{
    Control control;
    control.name = name;
    control.kind = kind;
    control.design = RECT{x, y, width, height};
    control.autoSize = kind == ControlKind::Label && (width == 0 || height == 0);
    control.look = look;
    const DWORD exStyle = (kind == ControlKind::Edit || kind == ControlKind::ReadOnlyEdit || kind == ControlKind::List)
                              ? WS_EX_CLIENTEDGE
                              : 0;
    // A PNG picture is drawn by the window (WM_DRAWITEM) over what the window paints below.
    const DWORD style = kind == ControlKind::Picture && look.pictureResource != 0
                            ? WS_CHILD | WS_VISIBLE | SS_OWNERDRAW | SS_NOTIFY
                            : StyleOf(kind, look.align);
    control.hwnd =
        CreateWindowExW(exStyle, ClassOf(kind), L"", style, 0, 0, 1, 1, parent != nullptr ? parent : m_owner,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (look.background != CLR_INVALID) control.brush = CreateSolidBrush(look.background);
    m_controls.push_back(std::move(control));
    Control& added = m_controls.back();
    if (kind == ControlKind::List) {
        // Grid lines and whole-row selection; the selection stays visible without the focus.
        SendMessageW(added.hwnd, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT,
                     LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    }
    if (look.iconResource != 0) SetButtonIcon(name, look.iconResource);
    const UINT dpi = WindowDpi(m_owner);
    SendMessageW(added.hwnd, WM_SETFONT,
                 reinterpret_cast<WPARAM>(DesignFont(look.font, look.points, dpi, look.underline)), FALSE);
    SetWindowPos(added.hwnd, nullptr, Scale(x, dpi), Scale(y, dpi), Scale(std::max(width, 1), dpi),
                 Scale(std::max(height, 1), dpi), SWP_NOZORDER | SWP_NOACTIVATE);
    return added.hwnd;
}

void ControlSet::AddToolbar(int x, std::initializer_list<ToolbarButton> buttons)
{
    for (const ToolbarButton& button : buttons) {
        ControlLook look;
        look.iconResource = button.icon;
        look.iconSize = 25;
        // The toolbar is 30 high; its buttons are 31, like the toolbar's own.
        Add(button.name, button.id, ControlKind::FlatButton, x, 0, 32, 30, look);
        x += 32;
    }
}

void ControlSet::SetButtonIcon(std::string_view name, int iconResource)
{
    Control* control = Lookup(name);
    if (control == nullptr) return;
    control->look.iconResource = iconResource;
    const UINT dpi = WindowDpi(m_owner);
    control->icon = ResourceIcon(iconResource, Scale(control->look.iconSize, dpi));
    if (control->kind == ControlKind::Picture) {
        SendMessageW(control->hwnd, STM_SETICON, reinterpret_cast<WPARAM>(control->icon), 0);
    }
    InvalidateRect(control->hwnd, nullptr, TRUE);
}

HWND ControlSet::Named(std::string_view name) const
{
    if (name.empty() || name == m_ownerName) return m_owner;
    return Find(name);
}

HWND ControlSet::Find(std::string_view name) const
{
    const Control* control = Lookup(name);
    return control != nullptr ? control->hwnd : nullptr;
}

ControlSet::Control* ControlSet::Lookup(std::string_view name)
{
    for (Control& control : m_controls) {
        if (control.name == name) return &control;
    }
    return nullptr;
}

const ControlSet::Control* ControlSet::Lookup(std::string_view name) const
{
    for (const Control& control : m_controls) {
        if (control.name == name) return &control;
    }
    return nullptr;
}

ControlSet::Control* ControlSet::Lookup(HWND hwnd)
{
    for (Control& control : m_controls) {
        if (control.hwnd == hwnd) return &control;
    }
    return nullptr;
}

void ControlSet::FitToText(Control& control)
{
    const int length = GetWindowTextLengthW(control.hwnd);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    GetWindowTextW(control.hwnd, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(length));
    HDC dc = GetDC(control.hwnd);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control.hwnd, WM_GETFONT, 0, 0)));
    RECT box{0, 0, 0, 0};
    DrawTextW(dc, text.empty() ? L" " : text.c_str(), -1, &box, DT_CALCRECT | DT_NOPREFIX | DT_SINGLELINE);
    SelectObject(dc, old);
    ReleaseDC(control.hwnd, dc);
    SetWindowPos(control.hwnd, nullptr, 0, 0, text.empty() ? 1 : box.right + 1, box.bottom,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(m_owner, nullptr, TRUE);
}

void ControlSet::Relayout()
{
    const UINT dpi = WindowDpi(m_owner);
    for (Control& control : m_controls) {
        SendMessageW(
            control.hwnd, WM_SETFONT,
            reinterpret_cast<WPARAM>(DesignFont(control.look.font, control.look.points, dpi, control.look.underline)),
            FALSE);
        SetWindowPos(control.hwnd, nullptr, Scale(control.design.left, dpi), Scale(control.design.top, dpi),
                     Scale(std::max<LONG>(control.design.right, 1), dpi),
                     Scale(std::max<LONG>(control.design.bottom, 1), dpi), SWP_NOZORDER | SWP_NOACTIVATE);
        if (control.autoSize) FitToText(control);
        if (control.look.iconResource != 0) SetButtonIcon(control.name, control.look.iconResource);
    }
}

void ControlSet::FollowDpiChange(const RECT& suggested)
{
    SetWindowPos(m_owner, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    Relayout();
    InvalidateRect(m_owner, nullptr, TRUE);
}

bool ControlSet::ControlColor(HDC dc, HWND hwnd, LRESULT& brush)
{
    Control* control = Lookup(hwnd);
    if (control == nullptr) return false;
    if (control->look.text != CLR_INVALID) SetTextColor(dc, control->look.text);
    if (control->brush != nullptr) {
        SetBkColor(dc, control->look.background);
        brush = reinterpret_cast<LRESULT>(control->brush);
        return true;
    }
    if (control->kind == ControlKind::Edit || control->kind == ControlKind::ReadOnlyEdit) {
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        brush = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
        return true;
    }
    // Labels, check boxes and pictures show what the window paints below them.
    SetBkMode(dc, TRANSPARENT);
    brush = reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
    return true;
}

bool ControlSet::AnswerControlMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
        return ControlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), result);
    case WM_DRAWITEM:
        if (!DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) return false;
        result = TRUE;
        return true;
    default:
        return false;
    }
}

bool ControlSet::DrawItem(const DRAWITEMSTRUCT& item)
{
    Control* control = Lookup(item.hwndItem);
    const bool picture = control != nullptr && control->look.pictureResource != 0;
    if (control == nullptr || (control->kind != ControlKind::FlatButton && !picture)) return false;
    const RECT& rect = item.rcItem;
    if (m_background) {
        RECT inParent = rect;
        MapWindowPoints(item.hwndItem, GetParent(item.hwndItem), reinterpret_cast<POINT*>(&inParent), 2);
        const int saved = SaveDC(item.hDC);
        SetViewportOrgEx(item.hDC, -inParent.left, -inParent.top, nullptr);
        m_background(item.hDC, inParent);
        RestoreDC(item.hDC, saved);
    } else {
        FillRect(item.hDC, &rect, GetSysColorBrush(COLOR_BTNFACE));
    }
    if (picture) {
        if (const Picture* found = ResourcePicture(control->look.pictureResource)) {
            DrawPicture(item.hDC, *found, rect.left, rect.top, WindowDpi(m_owner));
        }
        return true;
    }
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    if (pressed) {
        RECT edge = rect;
        DrawEdge(item.hDC, &edge, BDR_SUNKENOUTER, BF_RECT);
    } else if ((item.itemState & ODS_FOCUS) != 0) {
        RECT edge = rect;
        DrawEdge(item.hDC, &edge, BDR_RAISEDINNER, BF_RECT);
    }
    const int offset = pressed ? 1 : 0;
    if (control->icon != nullptr) {
        const int size = Scale(control->look.iconSize, WindowDpi(m_owner));
        DrawIconEx(item.hDC, (rect.right - rect.left - size) / 2 + offset, (rect.bottom - rect.top - size) / 2 + offset,
                   control->icon, size, size, 0, nullptr, DI_NORMAL);
    } else {
        wchar_t text[128] = {};
        GetWindowTextW(item.hwndItem, text, 128);
        RECT box = rect;
        OffsetRect(&box, offset, offset);
        SetBkMode(item.hDC, TRANSPARENT);
        DrawTextW(item.hDC, text, -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    return true;
}

std::string ControlSet::Text(std::string_view name) const
{
    HWND hwnd = Named(name);
    if (hwnd == nullptr) return {};
    const int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(length));
    return Utf8(text);
}

void ControlSet::SetText(std::string_view name, std::string_view text)
{
    Control* control = Lookup(name);
    HWND hwnd = control != nullptr ? control->hwnd : Named(name);
    if (hwnd == nullptr) return;
    SetWindowTextW(hwnd, Wide(text).c_str());
    if (control != nullptr && control->autoSize) FitToText(*control);
    if (control != nullptr && control->kind == ControlKind::Label) {
        // A transparent label leaves its old text behind unless the parent repaints there.
        RECT area;
        GetWindowRect(hwnd, &area);
        MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&area), 2);
        InvalidateRect(GetParent(hwnd), &area, TRUE);
    }
}

void ControlSet::SetHint(std::string_view name, std::string_view text)
{
    Control* control = Lookup(name);
    if (control == nullptr) return;
    if (m_tooltip == nullptr) {
        m_tooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_owner, nullptr,
                                    GetModuleHandleW(nullptr), nullptr);
    }
    const bool known = !control->hint.empty();
    control->hint = Wide(text);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = GetParent(control->hwnd);
    tool.uId = reinterpret_cast<UINT_PTR>(control->hwnd);
    tool.lpszText = control->hint.data();
    SendMessageW(m_tooltip, known ? TTM_UPDATETIPTEXTW : TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

bool ControlSet::Checked(std::string_view name) const
{
    HWND hwnd = Find(name);
    return hwnd != nullptr && SendMessageW(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void ControlSet::SetChecked(std::string_view name, bool checked)
{
    if (HWND hwnd = Find(name)) SendMessageW(hwnd, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool ControlSet::Shown(std::string_view name) const
{
    HWND hwnd = Find(name);
    return hwnd != nullptr && (GetWindowLongW(hwnd, GWL_STYLE) & WS_VISIBLE) != 0;
}

void ControlSet::SetShown(std::string_view name, bool shown)
{
    HWND hwnd = Find(name);
    if (hwnd == nullptr) return;
    ShowWindow(hwnd, shown ? SW_SHOWNA : SW_HIDE);
    RECT area;
    GetWindowRect(hwnd, &area);
    MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&area), 2);
    InvalidateRect(GetParent(hwnd), &area, TRUE);
}

void ControlSet::SetEnabled(std::string_view name, bool enabled)
{
    if (HWND hwnd = Find(name)) EnableWindow(hwnd, enabled ? TRUE : FALSE);
}

void ControlSet::SetReadOnly(std::string_view name, bool readOnly)
{
    if (HWND hwnd = Find(name)) SendMessageW(hwnd, EM_SETREADONLY, readOnly ? TRUE : FALSE, 0);
}

void ControlSet::SetFocus(std::string_view name)
{
    if (HWND hwnd = Find(name)) ::SetFocus(hwnd);
}

void ControlSet::SetColumnWidths(std::string_view name, std::vector<int> widths)
{
    if (Control* control = Lookup(name)) control->columnWidths = std::move(widths);
}

void ControlSet::SetColumns(std::string_view name, const std::vector<std::string>& titles)
{
    Control* control = Lookup(name);
    if (control == nullptr) return;
    HWND header = reinterpret_cast<HWND>(SendMessageW(control->hwnd, LVM_GETHEADER, 0, 0));
    const int existing = header != nullptr ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
    const UINT dpi = WindowDpi(m_owner);
    for (std::size_t i = 0; i < titles.size(); ++i) {
        std::wstring title = Wide(titles[i]);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = title.data();
        column.cx = Scale(i < control->columnWidths.size() ? control->columnWidths[i] : 100, dpi);
        const int index = static_cast<int>(i);
        SendMessageW(control->hwnd, index < existing ? LVM_SETCOLUMNW : LVM_INSERTCOLUMNW, i,
                     reinterpret_cast<LPARAM>(&column));
    }
}

int ControlSet::RowCount(std::string_view name) const
{
    HWND hwnd = Find(name);
    return hwnd != nullptr ? static_cast<int>(SendMessageW(hwnd, LVM_GETITEMCOUNT, 0, 0)) : 0;
}

std::string ControlSet::Cell(std::string_view name, int row, int column) const
{
    HWND hwnd = Find(name);
    if (hwnd == nullptr) return {};
    std::wstring buffer(32768, L'\0');
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buffer.data();
    item.cchTextMax = static_cast<int>(buffer.size());
    const auto length = SendMessageW(hwnd, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    buffer.resize(static_cast<std::size_t>(length));
    return Utf8(buffer);
}

void ControlSet::SetCell(std::string_view name, int row, int column, std::string_view text)
{
    HWND hwnd = Find(name);
    if (hwnd == nullptr) return;
    std::wstring wide = Wide(text);
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = wide.data();
    SendMessageW(hwnd, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

void ControlSet::AddRow(std::string_view name, const std::vector<std::string>& cells)
{
    HWND hwnd = Find(name);
    if (hwnd == nullptr) return;
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = RowCount(name);
    std::wstring first = cells.empty() ? std::wstring() : Wide(cells.front());
    item.pszText = first.data();
    const int row = static_cast<int>(SendMessageW(hwnd, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    for (std::size_t column = 1; column < cells.size(); ++column)
        SetCell(name, row, static_cast<int>(column), cells[column]);
}

void ControlSet::ClearRows(std::string_view name)
{
    if (HWND hwnd = Find(name)) SendMessageW(hwnd, LVM_DELETEALLITEMS, 0, 0);
}

bool ControlSet::RowSelected(std::string_view name, int row) const
{
    HWND hwnd = Find(name);
    return hwnd != nullptr && (SendMessageW(hwnd, LVM_GETITEMSTATE, row, LVIS_SELECTED) & LVIS_SELECTED) != 0;
}

MsgAnswer ControlSet::ShowMessage(std::string_view caption, std::string_view text, MsgIcon icon, MsgButtons buttons)
{
    UINT flags = buttons == MsgButtons::YesNo ? MB_YESNO : MB_OK;
    switch (icon) {
    case MsgIcon::Information:
        flags |= MB_ICONINFORMATION;
        break;
    case MsgIcon::Warning:
        flags |= MB_ICONWARNING;
        break;
    case MsgIcon::Error:
        flags |= MB_ICONERROR;
        break;
    case MsgIcon::Question:
        flags |= MB_ICONQUESTION;
        break;
    case MsgIcon::None:
        break;
    }
    const int result = MessageBoxW(m_owner, Wide(text).c_str(), Wide(caption).c_str(), flags);
    if (buttons == MsgButtons::Ok) return MsgAnswer::Ok;
    return result == IDYES ? MsgAnswer::Yes : MsgAnswer::No;
}

std::optional<std::string> ControlSet::InputBox(std::string_view caption, std::string_view prompt,
                                                std::string_view initial)
{
    const std::optional<std::wstring> text = ShowInputBox(m_owner, Wide(caption), Wide(prompt), Wide(initial));
    if (!text) return std::nullopt;
    return Utf8(*text);
}

} // namespace velmora::win32ui
