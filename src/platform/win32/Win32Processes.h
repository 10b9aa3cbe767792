#pragma once
// The process list from a Toolhelp snapshot; ending a process with TerminateProcess.
#include "platform/IProcesses.h"

namespace velmora {

class Win32Processes final : public IProcesses {
public:
    std::vector<ProcessEntry> Snapshot() override;
    Result<void> Terminate(std::int64_t id) override;
    std::int64_t OwnProcessId() const override;
};

} // namespace velmora
