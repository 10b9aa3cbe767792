#pragma once
// Why a protect request names no folder to protect or no place for its archive: the line
// shown under "Foldewr not found or invalid output name!", in the user's language.
#include <cstdint>
#include <filesystem>
#include <string>

namespace velmora {

// The reason CheckProtectFolder finds the request invalid; empty when it is not.
std::string InvalidProtectReason(const std::filesystem::path& folder, const std::filesystem::path& zipPath,
                                 std::int32_t language);

} // namespace velmora
