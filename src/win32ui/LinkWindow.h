#pragma once
// The shortcut window on Win32: creates the controls at their design places and forwards
// every event to the shared shortcut window logic.
#include "shortcut/LinkWindowLogic.h"
#include "win32ui/Win32Ui.h"

namespace velmora::win32ui {

class LinkWindow final : public ToolWindow, private ILinkWindowActions {
public:
    explicit LinkWindow(Platform& platform) : m_logic(platform, m_controls, *this) {}

    // Shows the window modally over owner in the language, proposing a shortcut to program.
    void ShowModal(HWND owner, std::int32_t language, const std::string& program);

private:
    void OnCommand(int id, int code) override;
    void PaintBackground(HDC dc, const RECT& area) override;
    void OnHelpKey() override { m_logic.HelpKey(); }

    std::optional<std::string> ChooseFile() override;
    std::optional<std::string> ChooseLinkFile(const std::string& startPath) override;
    void CloseWindow() override { Close(); }

    LinkWindowLogic m_logic;
};

} // namespace velmora::win32ui
