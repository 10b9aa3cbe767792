#include "platform/win32/Win32RandomSource.h"

#include "common/Errors.h"

// windows.h first: the Windows headers below need its types.
#include <windows.h>

#include <bcrypt.h>

#include <algorithm>
#include <string>

namespace velmora {

Result<void> Win32RandomSource::Fill(std::span<std::uint8_t> out)
{
    std::size_t done = 0;
    while (done < out.size()) {
        const ULONG part = static_cast<ULONG>(std::min<std::size_t>(out.size() - done, 1u << 20));
        const NTSTATUS status = BCryptGenRandom(nullptr, out.data() + done, part, BCRYPT_USE_SYSTEM_PREFERRED_RNG);
        if (status < 0) {
            Error failed;
            failed.detail = "The system's random number source failed (status " +
                            std::to_string(static_cast<unsigned long>(status)) + ")";
            return Fail(std::move(failed));
        }
        done += part;
    }
    return Ok();
}

} // namespace velmora
