#pragma once
// The processes that hold a file, told in the user's language, and ending chosen ones.
#include "common/LanguageText.h"
#include "platform/IFileHolders.h"
#include "platform/IProcesses.h"

#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

namespace HolderTexts {
inline constexpr TextPair kTitle{"Held by", "Verwendet von"};
inline constexpr TextPair kProcessColumn{"Process", "Prozess"};
inline constexpr TextPair kProgramColumn{"Program", "Programm"};
inline constexpr TextPair kUserColumn{"User", "Benutzer"};
inline constexpr TextPair kHowColumn{"How", "Wie"};
inline constexpr TextPair kEndButton{"End process", "Prozess beenden"};
inline constexpr TextPair kCloseButton{"Close", "Schließen"};
inline constexpr TextPair kNobody{"No process holds it.", "Kein Prozess verwendet sie."};
inline constexpr TextPair kEndQuestion{"End these processes now? Unsaved work in them is lost.\n\n%1",
                                       "Diese Prozesse jetzt beenden? Nicht gespeicherte Arbeit geht verloren.\n\n%1"};
inline constexpr TextPair kOwnProcess{"Process %1 (%2) is Velmora itself and is not ended.",
                                      "Prozess %1 (%2) ist Velmora selbst und wird nicht beendet."};
inline constexpr TextPair kNotEnded{"Process %1 (%2) could not be ended: %3.",
                                    "Prozess %1 (%2) konnte nicht beendet werden: %3."};
inline constexpr TextPair kNotEndedReason{"it belongs to another user or has already ended",
                                          "er gehört einem anderen Benutzer oder ist schon beendet"};
} // namespace HolderTexts

// One way of holding, e.g. "open for reading and writing", "POSIX write lock".
std::string DescribeHold(const FileHold& hold, std::int32_t language);

// All ways one process holds the path, joined by ", ". For a folder, each way names the
// item inside it that is held, relative to the folder.
std::string DescribeHolds(const FileHolder& holder, const std::string& canonicalPath, std::int32_t language);

// "3 processes of other users could not be checked; run as administrator to see them";
// empty for 0.
std::string UncheckedNote(int count, std::int32_t language);

// The holders one per line ("1234 program (user): how"), at most maxLines of them and a
// line saying how many more; the unchecked note last. "No process holds it." when none.
std::string HoldersSummary(const HolderList& list, const std::string& canonicalPath, std::int32_t language,
                           std::size_t maxLines = 8);

struct EndOutcome {
    std::int64_t id = 0;
    std::string program;
    bool ended = false;
    bool ownProcess = false;
};

// Ends each chosen process by force; the program's own process is never ended.
std::vector<EndOutcome> EndHolders(IProcesses& processes, const std::vector<FileHolder>& chosen);

// The message for a process that was not ended; empty when it was.
std::string EndFailureText(const EndOutcome& outcome, std::int32_t language);

} // namespace velmora
