#include "fileops/FileDateEdit.h"

#include <cerrno>

namespace velmora {

std::optional<TDateTime> StorableFileDate(TDateTime value)
{
    const std::uint32_t packed = PackDosDateTime(DecodeDateTime(value));
    if (packed == 0) return std::nullopt;
    return EncodeDateTime(UnpackDosDateTime(packed));
}

std::optional<TDateTime> ParseIsoDateTime(std::string_view text)
{
    // Each field has a fixed number of digits; the separators are fixed too.
    const auto number = [&](std::size_t at, std::size_t digits, int& out) {
        if (at + digits > text.size()) return false;
        out = 0;
        for (std::size_t i = at; i < at + digits; ++i) {
            if (text[i] < '0' || text[i] > '9') return false;
            out = out * 10 + (text[i] - '0');
        }
        return true;
    };
    DateTimeParts parts;
    if (!number(0, 4, parts.year) || text.size() < 10 || text[4] != '-' || !number(5, 2, parts.month) ||
        text[7] != '-' || !number(8, 2, parts.day)) {
        return std::nullopt;
    }
    parts.hour = parts.minute = parts.second = 0;
    if (text.size() > 10) {
        if ((text[10] != ' ' && text[10] != 'T') || !number(11, 2, parts.hour) || text.size() < 16 || text[13] != ':' ||
            !number(14, 2, parts.minute)) {
            return std::nullopt;
        }
        if (text.size() > 16 && (text.size() != 19 || text[16] != ':' || !number(17, 2, parts.second))) {
            return std::nullopt;
        }
    }
    if (!IsValidDate(parts.year, parts.month, parts.day) || !IsValidTime(parts.hour, parts.minute, parts.second, 0)) {
        return std::nullopt;
    }
    return EncodeDateTime(parts);
}

FileDateOutcome ApplyFileDate(const std::string& path, TDateTime value, FileDateServices services)
{
    FileDateOutcome outcome;
    const std::optional<TDateTime> storable = StorableFileDate(value);
    const std::optional<std::uint32_t> attributes = services.attributes.ReadAttributes(path);
    if (!storable) {
        outcome.result = FileDateResult::OutOfRange;
    } else if (!attributes) {
        // The file has gone or cannot be read.
        outcome.result = FileDateResult::WriteFailed;
        outcome.error = ErrorFromErrno(ENOENT, path, kSetModificationTimeFailed);
    } else if ((*attributes & kAttributeReadOnly) != 0) {
        outcome.result = FileDateResult::ReadOnly;
    } else if (const UsageCheck usage = services.usage.CheckUsage(path); usage.state != UsageCheck::State::Free) {
        // Held by another process, or not to be opened for writing at all (a read-only
        // mount, no permission): in the second case the system's reason is the result.
        if (usage.state == UsageCheck::State::InUse) {
            outcome.result = FileDateResult::InUse;
        } else if (usage.readOnly) {
            outcome.result = FileDateResult::ReadOnly;
        } else {
            outcome.result = FileDateResult::WriteFailed;
            outcome.error = ErrorFromErrno(usage.reason, path, kSetModificationTimeFailed);
        }
    } else if (const Result<void> set = services.times.SetModificationTime(path, *storable); set) {
        outcome.result = FileDateResult::Stored;
    } else {
        outcome.result = FileDateResult::WriteFailed;
        outcome.error = set.error();
    }
    outcome.readBack = services.times.ModificationTime(path);
    return outcome;
}

} // namespace velmora
