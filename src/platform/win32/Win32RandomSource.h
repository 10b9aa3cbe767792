#pragma once
// Secure random bytes from BCryptGenRandom.
#include "platform/IRandomSource.h"

namespace velmora {

class Win32RandomSource final : public IRandomSource {
public:
    Result<void> Fill(std::span<std::uint8_t> out) override;
};

} // namespace velmora
