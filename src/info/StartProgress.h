#pragma once
// The start screen's progress bar: which step a tick draws and how wide the bar is.
#include <cstdint>

namespace velmora {

inline constexpr int kProgressFrameWidth = 240; // width of the bar's frame
inline constexpr std::int32_t kProgressLastStep = 100;

// The bar's width for a step (clamped to 0..100): the step's share of the frame,
// rounded to the nearest pixel (1 gives 2, 50 gives 120, 99 gives 238).
int ProgressBarWidth(int step, int frameWidth = kProgressFrameWidth);

enum class ProgressTick {
    Draw,   // draw the bar for the new step
    Finish, // the last step: stop the timer, wait briefly, close the screen
};

// Raises the step counter and tells what this tick does. Steps 1 to 99 are drawn;
// the 100th tick finishes without drawing.
ProgressTick NextProgressTick(std::int32_t& step);

} // namespace velmora
