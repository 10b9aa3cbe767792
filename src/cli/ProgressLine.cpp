#include "cli/ProgressLine.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

namespace velmora::cli {

namespace {
// A run shorter than this shows nothing; afterwards the line changes at most this often.
constexpr std::chrono::milliseconds kQuietStart{500};
constexpr std::chrono::milliseconds kInterval{100};
} // namespace

std::string ByteText(std::uint64_t bytes)
{
    static const char* const units[] = {"KiB", "MiB", "GiB", "TiB", "PiB"};
    if (bytes < 1024) return std::to_string(bytes) + " B";
    double value = static_cast<double>(bytes) / 1024.0;
    std::size_t unit = 0;
    while (value >= 1024.0 && unit + 1 < std::size(units)) {
        value /= 1024.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
    return text;
}

ProgressLine::ProgressLine(CliContext& context, Clock clock)
    : ProgressLine(context.err, context.progressToTerminal, std::move(clock))
{}

ProgressLine::ProgressLine(std::ostream& err, bool enabled, Clock clock)
    : m_err(err), m_enabled(enabled), m_clock(clock ? std::move(clock) : Clock(&std::chrono::steady_clock::now))
{
    m_start = m_clock();
    m_lastShown = m_start - kInterval;
}

ProgressLine::~ProgressLine()
{
    try {
        Finish();
    } catch (...) {
    }
}

ProgressCallback ProgressLine::Callback()
{
    if (!m_enabled) return {};
    return [this](std::uint64_t done, std::uint64_t total) { Update(done, total); };
}

void ProgressLine::Update(std::uint64_t done, std::uint64_t total)
{
    if (!m_enabled || total == 0) return;
    const std::lock_guard lock(m_mutex);
    const auto now = m_clock();
    if (now - m_start < kQuietStart || now - m_lastShown < kInterval) return;
    m_lastShown = now;
    if (done > total) done = total;
    const double seconds = std::chrono::duration<double>(now - m_start).count();
    const auto rate = static_cast<std::uint64_t>(seconds > 0 ? static_cast<double>(done) / seconds : 0);
    const std::string line = std::to_string(done * 100 / total) + "%  " + ByteText(done) + " of " + ByteText(total) +
                             "  " + ByteText(rate) + "/s";
    // Blanks cover what a longer line before left behind.
    const std::size_t width = line.size();
    m_err << "\r" << line << std::string(m_shownWidth > width ? m_shownWidth - width : 0, ' ') << std::flush;
    m_shownWidth = std::max(m_shownWidth, width);
}

void ProgressLine::Finish()
{
    const std::lock_guard lock(m_mutex);
    if (m_shownWidth == 0) return;
    m_err << "\r" << std::string(m_shownWidth, ' ') << "\r" << std::flush;
    m_shownWidth = 0;
}

} // namespace velmora::cli
