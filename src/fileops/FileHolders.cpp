#include "fileops/FileHolders.h"

#include "common/QuotedName.h"

namespace velmora {

namespace {
std::string Fill(std::string text, const std::vector<std::string>& values)
{
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::string mark = "%" + std::to_string(i + 1);
        const std::size_t at = text.find(mark);
        if (at != std::string::npos) text.replace(at, mark.size(), values[i]);
    }
    return text;
}

std::string LockName(const FileHold& hold, bool english)
{
    const bool write = hold.access == HoldAccess::Write;
    switch (hold.lock) {
    case LockKind::Posix:
        return english ? (write ? "POSIX write lock" : "POSIX read lock")
                       : (write ? "POSIX-Schreibsperre" : "POSIX-Lesesperre");
    case LockKind::Ofd:
        return english ? (write ? "OFD write lock" : "OFD read lock")
                       : (write ? "OFD-Schreibsperre" : "OFD-Lesesperre");
    case LockKind::Flock:
        return english ? (write ? "exclusive flock lock" : "shared flock lock")
                       : (write ? "exklusive flock-Sperre" : "geteilte flock-Sperre");
    case LockKind::None:
        break;
    }
    return english ? "lock" : "Sperre";
}
} // namespace

std::string DescribeHold(const FileHold& hold, std::int32_t language)
{
    const bool english = IsEnglish(language);
    switch (hold.kind) {
    case HoldKind::Open:
        switch (hold.access) {
        case HoldAccess::Read:
            return english ? "open for reading" : "zum Lesen geöffnet";
        case HoldAccess::Write:
            return english ? "open for writing" : "zum Schreiben geöffnet";
        case HoldAccess::ReadWrite:
            return english ? "open for reading and writing" : "zum Lesen und Schreiben geöffnet";
        case HoldAccess::None:
            return english ? "open as a path only" : "nur als Pfad geöffnet";
        }
        break;
    case HoldKind::Lock:
        return LockName(hold, english);
    case HoldKind::MemoryMapped:
        return english ? "memory-mapped" : "in den Speicher eingeblendet";
    case HoldKind::Program:
        return english ? "runs it as its program" : "führt sie als Programm aus";
    case HoldKind::WorkingFolder:
        return english ? "working folder" : "Arbeitsordner";
    }
    return {};
}

std::string DescribeHolds(const FileHolder& holder, const std::string& canonicalPath, std::int32_t language)
{
    std::string text;
    for (const FileHold& hold : holder.holds) {
        if (!text.empty()) text += ", ";
        text += DescribeHold(hold, language);
        if (hold.path != canonicalPath && !hold.path.empty()) {
            const std::string prefix = canonicalPath == "/" ? "/" : canonicalPath + "/";
            const std::string item = hold.path.starts_with(prefix) ? hold.path.substr(prefix.size()) : hold.path;
            text += " (" + QuotedName(item) + ")";
        }
    }
    return text;
}

std::string UncheckedNote(int count, std::int32_t language)
{
    if (count <= 0) return {};
    const std::string number = std::to_string(count);
    if (IsEnglish(language)) {
        return number +
               (count == 1 ? " process of another user could not be checked"
                           : " processes of other users could not be checked") +
               "; run as administrator to see them";
    }
    return number +
           (count == 1 ? " Prozess eines anderen Benutzers konnte nicht geprüft werden"
                       : " Prozesse anderer Benutzer konnten nicht geprüft werden") +
           "; starten Sie das Programm als Administrator, um sie zu sehen";
}

std::string HoldersSummary(const HolderList& list, const std::string& canonicalPath, std::int32_t language,
                           std::size_t maxLines)
{
    std::string text;
    if (list.holders.empty()) text = Pick(language, HolderTexts::kNobody);
    for (std::size_t i = 0; i < list.holders.size(); ++i) {
        if (i == maxLines) {
            const std::string more = std::to_string(list.holders.size() - maxLines);
            text += IsEnglish(language) ? "and " + more + " more" : "und " + more + " weitere";
            break;
        }
        const FileHolder& h = list.holders[i];
        text += std::to_string(h.id) + " " + QuotedName(h.program) + " (" + QuotedName(h.user) +
                "): " + DescribeHolds(h, canonicalPath, language);
        if (i + 1 < list.holders.size()) text += "\n";
    }
    const std::string note = UncheckedNote(list.uncheckedProcesses, language);
    if (!note.empty()) text += "\n" + note;
    return text;
}

std::vector<EndOutcome> EndHolders(IProcesses& processes, const std::vector<FileHolder>& chosen)
{
    std::vector<EndOutcome> outcomes;
    const std::int64_t own = processes.OwnProcessId();
    for (const FileHolder& holder : chosen) {
        EndOutcome outcome{holder.id, holder.program, false, holder.id == own};
        if (!outcome.ownProcess && holder.id > 0) outcome.ended = processes.Terminate(holder.id).has_value();
        outcomes.push_back(std::move(outcome));
    }
    return outcomes;
}

std::string EndFailureText(const EndOutcome& outcome, std::int32_t language)
{
    if (outcome.ended) return {};
    const std::string id = std::to_string(outcome.id);
    if (outcome.ownProcess) return Fill(Pick(language, HolderTexts::kOwnProcess), {id, QuotedName(outcome.program)});
    return Fill(Pick(language, HolderTexts::kNotEnded),
                {id, QuotedName(outcome.program), Pick(language, HolderTexts::kNotEndedReason)});
}

} // namespace velmora
