#pragma once
// Who holds a file on Windows.
#include "platform/IFileHolders.h"

namespace velmora {

class Win32FileHolders final : public IFileHolders {
public:
    HolderList ListHolders(const std::string& path) override;
};

} // namespace velmora
