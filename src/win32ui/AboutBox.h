#pragma once
// The About box on Win32: borderless, raised, with the product name, the release, the
// web page's host and the donation link; everything it decides is the shared About logic's.
#include "info/AboutLogic.h"
#include "win32ui/Win32Ui.h"

namespace velmora::win32ui {

class AboutBox final : public ToolWindow, private IAboutActions {
public:
    explicit AboutBox(Platform& platform) : m_logic(platform, m_controls, *this) {}

    // Shows the box modally, its corner at (x, y) on the screen.
    void ShowModal(HWND owner, std::int32_t language, int x, int y);

private:
    void OnCommand(int id, int code) override;
    void PaintBackground(HDC dc, const RECT& area) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void CloseWindow() override { Close(); }

    AboutLogic m_logic;
};

} // namespace velmora::win32ui
