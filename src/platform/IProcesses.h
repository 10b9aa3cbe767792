#pragma once
// The running processes of the system: who they are and ending them by force.
#include "common/Result.h"

#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

struct ProcessEntry {
    std::int64_t id = 0;
    // The program file the process runs, as full a path as the system tells (on Linux the
    // target of /proc/<pid>/exe, else the first word of its command line, else its short name).
    std::string program;
};

class IProcesses {
public:
    virtual ~IProcesses() = default;
    // Every running process the caller may see, in the system's order. The program's own
    // process and processes that have already ended are not listed. Empty when no list can
    // be taken.
    virtual std::vector<ProcessEntry> Snapshot() = 0;
    // Asks the process to end at once, without a chance to save anything. Succeeds when
    // the request was accepted; the program's own process is refused (AccessDenied).
    virtual Result<void> Terminate(std::int64_t id) = 0;
    // The identifier of the program's own process, which is never ended.
    virtual std::int64_t OwnProcessId() const = 0;
};

} // namespace velmora
