#pragma once
// The programs a file opens with: FindExecutableW and the registry.
#include "platform/IAssociations.h"

namespace velmora {

class Win32Associations final : public IAssociations {
public:
    ExecutableLookup FindExecutable(const std::string& file, const std::string& folder) override;
    std::string ProductName() override;
    std::string ReadOpenWithListCommand(const std::string& extension) override;
    std::string ReadShellOpenCommand(const std::string& extension) override;
};

} // namespace velmora
