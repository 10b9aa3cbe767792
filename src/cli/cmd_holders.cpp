#include "cli/CliCommand.h"
#include "cli/JsonText.h"
#include "common/QuotedName.h"

#include "fileops/FileHolders.h"
#include "platform/IFileHolders.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <ostream>

namespace velmora::cli {

namespace {

const char* KindName(HoldKind kind)
{
    switch (kind) {
    case HoldKind::Open:
        return "open";
    case HoldKind::Lock:
        return "lock";
    case HoldKind::MemoryMapped:
        return "mapped";
    case HoldKind::Program:
        return "program";
    case HoldKind::WorkingFolder:
        return "cwd";
    }
    return "";
}

const char* AccessName(HoldAccess access)
{
    switch (access) {
    case HoldAccess::Read:
        return "read";
    case HoldAccess::Write:
        return "write";
    case HoldAccess::ReadWrite:
        return "readwrite";
    case HoldAccess::None:
        break;
    }
    return nullptr;
}

const char* LockName(LockKind lock)
{
    switch (lock) {
    case LockKind::Posix:
        return "posix";
    case LockKind::Ofd:
        return "ofd";
    case LockKind::Flock:
        return "flock";
    case LockKind::None:
        break;
    }
    return nullptr;
}

void PrintJson(const std::string& path, const HolderList& list, std::ostream& out)
{
    out << "{\"path\":" << JsonString(path) << ",\"holders\":[";
    for (std::size_t i = 0; i < list.holders.size(); ++i) {
        const FileHolder& h = list.holders[i];
        out << (i ? "," : "") << "{\"pid\":" << h.id << ",\"program\":" << JsonString(h.program)
            << ",\"user\":" << JsonString(h.user) << ",\"holds\":[";
        for (std::size_t j = 0; j < h.holds.size(); ++j) {
            const FileHold& hold = h.holds[j];
            out << (j ? "," : "") << "{\"kind\":\"" << KindName(hold.kind) << "\"";
            if (const char* access = AccessName(hold.access)) out << ",\"access\":\"" << access << "\"";
            if (const char* lock = LockName(hold.lock)) out << ",\"lock\":\"" << lock << "\"";
            out << ",\"path\":" << JsonString(hold.path) << "}";
        }
        out << "]}";
    }
    out << "],\"uncheckedProcesses\":" << list.uncheckedProcesses << "}\n";
}

void PrintTable(const std::string& canonical, const HolderList& list, std::ostream& out)
{
    std::size_t programWidth = 7, userWidth = 4;
    for (const FileHolder& h : list.holders) {
        programWidth = std::max(programWidth, QuotedName(h.program).size());
        userWidth = std::max(userWidth, QuotedName(h.user).size());
    }
    auto pad = [](const std::string& text, std::size_t width) { return text + std::string(width - text.size(), ' '); };
    out << pad("PID", 8) << "  " << pad("USER", userWidth) << "  " << pad("PROGRAM", programWidth) << "  HOW\n";
    for (const FileHolder& h : list.holders) {
        out << pad(std::to_string(h.id), 8) << "  " << pad(QuotedName(h.user), userWidth) << "  "
            << pad(QuotedName(h.program), programWidth) << "  " << DescribeHolds(h, canonical, kEnglish) << "\n";
    }
}

std::string Canonical(const std::string& path)
{
#if defined(_WIN32)
    // The Win32 backend names no holders yet, so there is nothing to compare against.
    return path;
#else
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return path;
    std::string text(resolved);
    std::free(resolved);
    return text;
#endif
}

} // namespace

int RunHolders(const CommandArgs& args, CliContext& context)
{
    const bool json = args.Has("--json");
    const std::string& path = args.arguments.front();
    const HolderList list = context.platform.holders->ListHolders(path);
    if (!list.exists) {
        const std::string why = WhyNotA(path, PathKind::Folder);
        context.err << "velmora-cli holders: cannot look at " << QuotedInText(path) << ": "
                    << (why.empty() || why == "it is not a folder" ? "it cannot be examined" : why) << "\n";
        return kExitFailed;
    }
    const std::string canonical = Canonical(path);
    if (json) {
        PrintJson(canonical, list, context.out);
    } else if (list.holders.empty()) {
        context.out << Pick(kEnglish, HolderTexts::kNobody) << "\n";
    } else {
        PrintTable(canonical, list, context.out);
    }
    if (list.uncheckedProcesses > 0)
        context.err << "note: " << UncheckedNote(list.uncheckedProcesses, kEnglish) << "\n";
    return kExitOk;
}

} // namespace velmora::cli
