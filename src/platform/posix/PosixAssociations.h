#pragma once
// The programs a file opens with, from the freedesktop MIME-apps lists and desktop
// entries; the MIME type comes from the shared MIME database.
#include "platform/IAssociations.h"

#include <string>
#include <vector>

namespace velmora {

class PosixAssociations final : public IAssociations {
public:
    explicit PosixAssociations(std::vector<std::string> osReleaseFiles = {"/etc/os-release", "/usr/lib/os-release"})
        : m_osReleaseFiles(std::move(osReleaseFiles))
    {}
    ExecutableLookup FindExecutable(const std::string& file, const std::string& folder) override;
    std::string ProductName() override;
    std::string ReadOpenWithListCommand(const std::string& extension) override;
    std::string ReadShellOpenCommand(const std::string& extension) override;

private:
    std::vector<std::string> m_osReleaseFiles;
};

// The full path of a program named in an Exec line: a name with "/" as it stands, else
// the first executable file of that name in the PATH folders. Empty when there is none.
std::string ResolveProgram(const std::string& program, const std::string& pathVariable);

} // namespace velmora
