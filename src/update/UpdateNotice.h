#pragma once
// One tick of the main window's update notice timer, without the window.
#include "common/Result.h"

#include <cstdint>
#include <string>

namespace velmora {

// The notice timer looks at the release file on its first three ticks only.
inline constexpr std::int32_t kUpdateTickLimit = 3;

enum class UpdateTickResult {
    KeepPolling, // nothing to tell yet; the timer stays on
    StopPolling, // switch the timer off for good
    ShowNotice,  // switch the timer off, then tell the user and open the product page
};

// Raises tickCount, then reads the release file (when it exists) and compares its
// version with localVersion. An error reading the file or converting a version text is
// the failure, with its text in the language; the timer stays on in that case.
Result<UpdateTickResult> UpdateTick(std::int32_t& tickCount, const std::string& releaseFile,
                                    const std::string& localVersion, std::int32_t language = 1);

} // namespace velmora
