#pragma once
// The attribute word on Linux file systems. Per file, the first store that applies:
// the FAT attribute byte (vfat), the NTFS attribute xattr (ntfs3, ntfs-3g), the CIFS
// client's xattr, else the "user.DOSATTRIB" xattr that file servers and compatibility
// layers share. Read-only also follows the mode, hidden also a leading dot or a line in
// the folder's ".hidden" file where no word is stored. Setting read-only takes every write bit away and keeps
// the bits it took in the "user.velmora.writebits" xattr (octal text), so that clearing it
// gives back exactly those bits; without that record only the owner's write bit returns.
#include "platform/IFileAttributes.h"

namespace velmora {

class PosixFileAttributes final : public IFileAttributes {
public:
    std::optional<std::uint32_t> ReadAttributes(const std::string& path) override;
    Result<void> WriteAttributes(const std::string& path, std::uint32_t attributes) override;
    // One status call per entry (statx), and the file system type and the ".hidden" list
    // asked once per folder; per entry only what its attribute store needs besides.
    Result<std::vector<FolderEntry>> ListFolder(const std::string& folder, bool followLinks) override;
    AttributeRefusal RefusalFor(const std::string& path, std::uint32_t attributes) override;
};

} // namespace velmora
