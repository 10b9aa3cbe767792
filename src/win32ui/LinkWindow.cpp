#include "win32ui/LinkWindow.h"

#include "win32ui/ControlIds.h"
#include "win32ui/Dialogs.h"
#include "win32ui/Resources.h"

namespace velmora::win32ui {

namespace {
constexpr int kClientWidth = 394;
constexpr int kClientHeight = 212;
} // namespace

void LinkWindow::ShowModal(HWND owner, std::int32_t language, const std::string& program)
{
    CreateToolWindow(kLinkWindowClass, owner, kClientWidth, kClientHeight);
    // Centred on the desktop, not over the main window.
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT outer{};
    GetWindowRect(m_hwnd, &outer);
    SetWindowPos(m_hwnd, nullptr, work.left + (work.right - work.left - (outer.right - outer.left)) / 2,
                 work.top + (work.bottom - work.top - (outer.bottom - outer.top)) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    m_controls.SetOwnerName(LinkWindowLogic::kWindow);
    ControlSet& c = m_controls;
    const ControlLook tahoma{L"Tahoma", 8};
    ControlLook glyph;
    glyph.iconResource = IDI_OPEN_FOLDER;
    const struct {
        const char* label;
        int labelId;
        const char* edit;
        int editId;
        int y;
        const char* button;
        int buttonId;
        int buttonY;
    } rows[] = {{"EditProgLabel", IdLinkProgLabel, "EditProg", IdLinkProg, 22, "ButtonOpen", IdLinkOpen, 14},
                {"EditLinkFolderLabel", IdLinkFolderLabel, "EditLinkFolder", IdLinkFolder, 70, "ButtonSaveLink",
                 IdLinkSave, 68},
                {"EditParameterLabel", IdLinkParameterLabel, "EditParameter", IdLinkParameter, 118, "ButtonParam",
                 IdLinkParam, 114}};
    for (const auto& row : rows) {
        // Each label sits above its edit, as wide as the edit.
        c.Add(row.label, row.labelId, ControlKind::Label, 23, row.y - 17, 329, 15, tahoma);
        c.Add(row.edit, row.editId, ControlKind::Edit, 23, row.y, 329, 21, tahoma);
        c.Add(row.button, row.buttonId, ControlKind::FlatButton, 358, row.buttonY, 28, 29, glyph);
    }
    // The panels PanelButton and Panel1 (150 x 30) hold the two buttons, which fill them.
    c.Add("ButtonCreateLink", IdLinkCreate, ControlKind::PushButton, 23, 160, 150, 30, tahoma);
    c.Add("ButtonCancel", IdLinkCancel, ControlKind::PushButton, 202, 160, 150, 30, tahoma);

    m_logic.CurLanguage = language;
    c.SetText("EditProg", program);
    m_logic.ApplyLanguage();
    Guarded([this] { m_logic.FormShow(); });
    RunModal();
}

void LinkWindow::PaintBackground(HDC dc, const RECT&)
{
    const UINT dpi = WindowDpi(m_hwnd);
    const RECT client{0, 0, Scale(kClientWidth, dpi), Scale(kClientHeight, dpi)};
    FillVerticalGradient(dc, client, RGB(245, 241, 238), RGB(170, 170, 170), 200);
}

void LinkWindow::OnCommand(int id, int code)
{
    if (code != BN_CLICKED) return;
    switch (id) {
    case IdLinkOpen:
        m_logic.ButtonOpenClick(false);
        break;
    case IdLinkParam:
        m_logic.ButtonOpenClick(true);
        break;
    case IdLinkSave:
        m_logic.ButtonSaveLinkClick();
        break;
    case IdLinkCreate:
        m_logic.ButtonCreateLinkClick();
        break;
    case IdLinkCancel:
        m_logic.ButtonCancelClick();
        break;
    default:
        break;
    }
}

std::optional<std::string> LinkWindow::ChooseFile()
{
    return ChooseFileDialog(m_hwnd, "", "", false);
}

std::optional<std::string> LinkWindow::ChooseLinkFile(const std::string& startPath)
{
    return ChooseFileDialog(m_hwnd, "", startPath, true);
}

} // namespace velmora::win32ui
