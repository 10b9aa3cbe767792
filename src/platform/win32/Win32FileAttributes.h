#pragma once
// File attributes through GetFileAttributesW and SetFileAttributesW, links followed.
#include "platform/IFileAttributes.h"

namespace velmora {

class Win32FileAttributes final : public IFileAttributes {
public:
    std::optional<std::uint32_t> ReadAttributes(const std::string& path) override;
    Result<void> WriteAttributes(const std::string& path, std::uint32_t attributes) override;
};

} // namespace velmora
