#pragma once
// Secure random bytes from the operating system (the encryption header of ZIP entries).
// Tests inject a fixed source to get byte-exact archives.
#include "common/Result.h"

#include <cstdint>
#include <span>

namespace velmora {

class IRandomSource {
public:
    virtual ~IRandomSource() = default;
    // Fills every byte of out; an Error when the source fails.
    virtual Result<void> Fill(std::span<std::uint8_t> out) = 0;
};

} // namespace velmora
