#pragma once
// File times through statx/utimensat with nanoseconds, converted to and from local time.
#include "platform/IFileTimes.h"

#include <cstdint>

namespace velmora {

class PosixFileTimes final : public IFileTimes {
public:
    std::optional<TDateTime> ModificationTime(const std::string& path) override;
    std::optional<TDateTime> LastAccessTime(const std::string& path) override;
    Result<void> SetModificationTime(const std::string& path, TDateTime local) override;
    Result<void> SetAccessAndModificationTime(const std::string& path, TDateTime local) override;
    TDateTime Now() override;
};

// Seconds and nanoseconds since 1970 (UTC) as a local TDateTime, and back.
TDateTime LocalFromUnix(std::int64_t seconds, std::uint32_t nanoseconds);
bool UnixFromLocal(TDateTime local, std::int64_t& seconds, std::uint32_t& nanoseconds);

} // namespace velmora
