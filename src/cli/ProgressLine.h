#pragma once
// The progress line of long archive runs on stderr: percentage, bytes done and total, and
// the rate, rewritten in place. Shown only when stderr is a terminal and not --quiet,
// and only once a run has lasted a moment, so short runs stay silent.
#include "archive/ArchiveCommon.h"
#include "cli/CliCommand.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <mutex>
#include <string>

namespace velmora::cli {

class ProgressLine {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    explicit ProgressLine(CliContext& context, Clock clock = {});
    ProgressLine(std::ostream& err, bool enabled, Clock clock = {});
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // The callback for the archive options; empty when nothing is to be shown.
    ProgressCallback Callback();
    void Update(std::uint64_t done, std::uint64_t total);
    // Removes the line again, so the messages that follow start on a clean line.
    void Finish();

private:
    std::ostream& m_err;
    bool m_enabled;
    Clock m_clock;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_lastShown;
    std::size_t m_shownWidth = 0;
    std::mutex m_mutex; // archive work may report from more than one thread
};

// "1.5 MiB": bytes in binary units with one decimal (plain bytes below 1 KiB).
std::string ByteText(std::uint64_t bytes);

} // namespace velmora::cli
