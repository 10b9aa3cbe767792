#include "platform/posix/PosixRandomSource.h"

#include "common/Errors.h"
#include "common/RetryOnInterrupt.h"

#include <cerrno>
#include <sys/random.h>

namespace velmora {

Result<void> PosixRandomSource::Fill(std::span<std::uint8_t> out)
{
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t got = RetryOnInterrupt([&] { return getrandom(out.data() + done, out.size() - done, 0); });
        if (got < 0) {
            return Fail(ErrorFromErrno(errno, "getrandom", "Reading random bytes"));
        }
        done += static_cast<std::size_t>(got);
    }
    return Ok();
}

} // namespace velmora
