#pragma once
// Secure random bytes from the operating system (the encryption header of ZIP entries).
// Tests inject a fixed source to get byte-exact archives.
#include <cstdint>
#include <span>

namespace velmora {

class IRandomSource {
public:
    virtual ~IRandomSource() = default;
    // Fills every byte of out; throws VelmoraError when the source fails.
    virtual void Fill(std::span<std::uint8_t> out) = 0;
};

} // namespace velmora
