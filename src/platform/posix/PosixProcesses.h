#pragma once
#include "platform/IProcesses.h"

namespace velmora {

// Linux: processes from /proc, ended with SIGKILL.
class PosixProcesses final : public IProcesses {
public:
    std::vector<ProcessEntry> Snapshot() override;
    Result<void> Terminate(std::int64_t id) override;
    std::int64_t OwnProcessId() const override;
};

} // namespace velmora
