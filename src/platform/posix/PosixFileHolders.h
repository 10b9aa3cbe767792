#pragma once
// Holders on Linux, from /proc: each process's open files (fd, with the mode and the locks
// that fdinfo tells), its memory maps, its program file and its working folder, plus the
// locks of /proc/locks for processes whose files cannot be looked at.
#include "platform/IFileHolders.h"

namespace velmora {

class PosixFileHolders final : public IFileHolders {
public:
    HolderList ListHolders(const std::string& path) override;
};

} // namespace velmora
