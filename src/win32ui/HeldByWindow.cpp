#include "win32ui/HeldByWindow.h"

#include "win32ui/ControlIds.h"

#include <algorithm>

namespace velmora::win32ui {

void HeldByWindow::ShowModal(HWND owner, std::int32_t language, const std::string& path,
                             std::function<void()> refreshed)
{
    CreateToolWindow(kHeldByClass, owner, 560, 260);
    m_controls.SetOwnerName(HeldByLogic::kWindow);
    ControlSet& c = m_controls;
    c.Add("LabelPath", IdHeldPath, ControlKind::Label, 10, 10, 540, 16);
    c.Add("ListHolders", IdHeldList, ControlKind::List, 10, 30, 540, 160);
    c.SetColumnWidths("ListHolders", {70, 200, 100, 166});
    // A plain list, without the grid lines of the design's lists.
    SendMessageW(c.Find("ListHolders"), LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_GRIDLINES, 0);
    c.Add("LabelNote", IdHeldNote, ControlKind::Label, 10, 195, 540, 28);
    c.Add("ButtonEnd", IdHeldEnd, ControlKind::PushButton, 10, 228, 120, 24);
    c.Add("ButtonCloseList", IdHeldClose, ControlKind::PushButton, 430, 228, 120, 24);

    m_logic.Language = language;
    m_logic.Path = path;
    m_logic.Refreshed = std::move(refreshed);
    Guarded([this] {
        m_logic.ApplyLanguage();
        m_logic.RefreshList();
    });
    RunModal();
}

void HeldByWindow::OnCommand(int id, int code)
{
    if (code != BN_CLICKED) return;
    if (id == IdHeldEnd) m_logic.ButtonEndClick();
    if (id == IdHeldClose) Close();
}

void HeldByWindow::RowsFilled()
{
    // Process, program and user as wide as their title and texts; "How" takes the rest.
    HWND list = m_controls.Find("ListHolders");
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    const int padding = Scale(14, WindowDpi(m_hwnd));
    const auto textWidth = [&](const std::string& text) {
        const std::wstring wide = Wide(text);
        return static_cast<int>(SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(wide.c_str())));
    };
    int used = 0;
    for (int column = 0; column < 4; ++column) {
        wchar_t title[128] = {};
        HDITEMW item{};
        item.mask = HDI_TEXT;
        item.pszText = title;
        item.cchTextMax = 128;
        SendMessageW(header, HDM_GETITEMW, column, reinterpret_cast<LPARAM>(&item));
        int width = textWidth(Utf8(title));
        for (int row = 0; row < m_controls.RowCount("ListHolders"); ++row)
            width = std::max(width, textWidth(m_controls.Cell("ListHolders", row, column)));
        width += padding;
        if (column == 3) {
            RECT client;
            GetClientRect(list, &client);
            width = std::max(width, static_cast<int>(client.right) - used);
        }
        used += width;
        SendMessageW(list, LVM_SETCOLUMNWIDTH, column, width);
    }
}

bool HeldByWindow::OnMessage(UINT message, WPARAM, LPARAM lParam, LRESULT& result)
{
    if (message != WM_NOTIFY) return false;
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->idFrom == IdHeldList && header->code == LVN_ITEMCHANGED) {
        const auto* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
        if ((change->uChanged & LVIF_STATE) != 0) Guarded([this] { m_logic.SelectionChanged(); });
    }
    result = 0;
    return true;
}

} // namespace velmora::win32ui
