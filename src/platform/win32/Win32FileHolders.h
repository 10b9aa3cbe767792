#pragma once
// Who holds a file on Windows: the Restart Manager, the system's service for exactly this;
// where it names nobody although the file is in use, and for folders, the system's table
// of open handles.
#include "platform/IFileHolders.h"

// windows.h first: the Windows headers below need its types.
#include <windows.h>

#include <restartmanager.h>

#include <string>
#include <vector>

namespace velmora {

class Win32FileHolders final : public IFileHolders {
public:
    HolderList ListHolders(const std::string& path) override;
};

namespace win32 {

// The processes the Restart Manager names for the files (RmStartSession,
// RmRegisterResources, RmGetList, RmEndSession). Returns the first error code of those
// calls, ERROR_SUCCESS when the list is complete.
DWORD QueryRestartManager(const std::vector<std::wstring>& files, std::vector<RM_PROCESS_INFO>& processes);

// The Restart Manager's entries as holders of heldPath: one per process, by process
// number, with the full program path and the owner where the system tells them (else the
// name the Restart Manager gives). An entry whose process has ended or whose number now
// belongs to a process started at another time is left out, and so is ownProcess.
std::vector<FileHolder> HoldersFromRestartManager(const std::vector<RM_PROCESS_INFO>& processes,
                                                  const std::string& heldPath, DWORD ownProcess);

} // namespace win32
} // namespace velmora
