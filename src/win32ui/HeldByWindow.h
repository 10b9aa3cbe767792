#pragma once
// The "Held by" list on Win32: creates the controls and forwards every event to the
// shared list logic.
#include "app/HeldByLogic.h"
#include "win32ui/Win32Ui.h"

namespace velmora::win32ui {

class HeldByWindow final : public ToolWindow, private IHeldByActions {
public:
    HeldByWindow(Platform& platform, IWaiter& waiter) : m_logic(platform, waiter, m_controls, *this) {}

    // Shows the list of the processes that hold path modally over owner; refreshed runs
    // after each refresh of the list.
    void ShowModal(HWND owner, std::int32_t language, const std::string& path, std::function<void()> refreshed);

private:
    void OnCommand(int id, int code) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void RowsFilled() override;

    HeldByLogic m_logic;
};

} // namespace velmora::win32ui
