#include "archive/GzipReader.h"

namespace velmora {

std::string GzipOutputName(std::string_view, bool) { return "unknown"; }

GunzipResult GUnzipToFile(const std::filesystem::path&, const GunzipOptions&) { return {false, "not available yet", {}}; }

} // namespace velmora
