#pragma once
// The start screen on Win32: borderless, rounded, with the product name, "Freeware", the
// product web page's host and a bar that fills in about six seconds; it closes itself.
#include "common/Waiter.h"
#include "platform/Platform.h"
#include "win32ui/Win32Ui.h"

#include <cstdint>
#include <string>

namespace velmora::win32ui {

class StartScreen final : public ControlledWindow {
public:
    StartScreen(Platform& platform, IWaiter& waiter) : m_platform(platform), m_waiter(waiter) {}

    // Shows the screen modally over owner until the bar is full.
    void ShowModal(HWND owner, std::int32_t language, const std::string& title);

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    void PaintBackground(HDC dc, const RECT& area) override;

    Platform& m_platform;
    IWaiter& m_waiter;
    std::int32_t m_step = 0;
    int m_barWidth = 1;
    bool m_done = false;
};

} // namespace velmora::win32ui
