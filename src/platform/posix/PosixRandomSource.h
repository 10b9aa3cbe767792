#pragma once
// Secure random bytes from the kernel (getrandom).
#include "platform/IRandomSource.h"

namespace velmora {

class PosixRandomSource final : public IRandomSource {
public:
    Result<void> Fill(std::span<std::uint8_t> out) override;
};

} // namespace velmora
