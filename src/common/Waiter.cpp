#include "common/Waiter.h"

#include <thread>

namespace velmora {

void RealWaiter::Wait(std::chrono::milliseconds duration)
{
    std::this_thread::sleep_for(duration);
}

} // namespace velmora
