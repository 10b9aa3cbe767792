#pragma once
// What every window is given at creation: the platform services and the waiter.
#include "common/Waiter.h"
#include "platform/Platform.h"

namespace velmora {

struct AppContext {
    Platform& platform;
    IWaiter& waiter;
};

} // namespace velmora
