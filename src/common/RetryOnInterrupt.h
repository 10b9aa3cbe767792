#pragma once
// Calling a system function again when a signal interrupted it (EINTR).
#include <cerrno>

namespace velmora {

// Calls call() again while failed(result) holds and errno is EINTR; returns the last
// result. errno is cleared before each call, so a stale EINTR is never taken for one.
template <typename Call, typename Failed> auto RetryOnInterrupt(Call&& call, Failed&& failed)
{
    for (;;) {
        errno = 0;
        auto result = call();
        if (!failed(result) || errno != EINTR) return result;
    }
}

// The same for the usual form: a negative result is a failure.
template <typename Call> auto RetryOnInterrupt(Call&& call)
{
    return RetryOnInterrupt(static_cast<Call&&>(call), [](const auto& result) { return result < 0; });
}

} // namespace velmora
