#pragma once
// The in-use tests on Linux: the file cannot be opened for reading and writing, carries
// the read-only attribute, is locked (an open-file-description lock probe) or is open
// elsewhere. The kernel answers the last one through a write-lease probe where the file
// system grants leases; elsewhere /proc/locks and a scan of /proc/*/fd are asked.
#include "platform/IFileAttributes.h"
#include "platform/IFileUsage.h"

#include <chrono>
#include <string>

namespace velmora {

class PosixFileUsage final : public IFileUsage {
public:
    explicit PosixFileUsage(IFileAttributes& attributes, std::chrono::milliseconds scanBudget = std::chrono::seconds(1))
        : m_attributes(attributes), m_scanBudget(scanBudget)
    {}
    bool IsFileInUse(const std::string& path) override;
    bool IsFileLocked(const std::string& path) override;
    UsageCheck CheckUsage(const std::string& path) override;

private:
    IFileAttributes& m_attributes;
    std::chrono::milliseconds m_scanBudget;
};

// True when a process other than this one has the file open. Compares the targets of
// /proc/<pid>/fd/* with the file's canonical path; reading those links never touches the
// file system the file is on, so a hung mount cannot stall the scan, which also stops
// when its time budget is spent. Processes of other users are visible only to root.
bool IsOpenInOtherProcess(const std::string& canonicalPath, std::chrono::milliseconds budget);

// True when /proc/locks lists a lock on the device and inode held by another process.
bool IsListedAsLocked(unsigned long devMajor, unsigned long devMinor, unsigned long long inode);

} // namespace velmora
