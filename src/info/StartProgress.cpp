#include "info/StartProgress.h"

#include <algorithm>
#include <cmath>

namespace velmora {

int ProgressBarWidth(int step, int frameWidth)
{
    const int clamped = std::clamp(step, 0, 100);
    return static_cast<int>(std::lround(clamped * (frameWidth / 100.0)));
}

ProgressTick NextProgressTick(std::int32_t& step)
{
    if (step < kProgressLastStep) ++step;
    return step < kProgressLastStep ? ProgressTick::Draw : ProgressTick::Finish;
}

} // namespace velmora
