#pragma once
// The desktop services read through Qt: MIME types and associations, locale formats,
// opening pages and showing folders.
#include "platform/posix/PosixPlatform.h"

#include <memory>

namespace velmora {

std::unique_ptr<DesktopServices> CreateQtDesktopServices();

} // namespace velmora
