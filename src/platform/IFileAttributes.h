#pragma once
// The file-attribute word of a file: archive, read-only, hidden and system.
#include <cstdint>
#include <optional>
#include <string>

namespace velmora {

inline constexpr std::uint32_t kAttributeReadOnly = 0x01;
inline constexpr std::uint32_t kAttributeHidden = 0x02;
inline constexpr std::uint32_t kAttributeSystem = 0x04;
inline constexpr std::uint32_t kAttributeArchive = 0x20;
// The four bits the program shows and writes.
inline constexpr std::uint32_t kSettableAttributes =
    kAttributeReadOnly | kAttributeHidden | kAttributeSystem | kAttributeArchive;

// Why a set of attributes cannot be written to a file on this system.
enum class AttributeRefusal {
    None,
    NameAlwaysHidden, // clearing Hidden on a name that the system hides by itself
};

class IFileAttributes {
public:
    virtual ~IFileAttributes() = default;
    // The attribute word of the file or folder (symbolic links followed); nothing when
    // the path names nothing or cannot be read.
    virtual std::optional<std::uint32_t> ReadAttributes(const std::string& path) = 0;
    // Makes exactly the given subset of the four settable bits the file's attributes
    // (links followed); bits outside the four are ignored. True when every part of the
    // write succeeded; on failure savedErrno (when given) receives the error.
    virtual bool WriteAttributes(const std::string& path, std::uint32_t attributes, int* savedErrno = nullptr) = 0;
    // The reason WriteAttributes would refuse the set before changing anything; None when
    // nothing speaks against it.
    virtual AttributeRefusal RefusalFor(const std::string& /*path*/, std::uint32_t /*attributes*/)
    {
        return AttributeRefusal::None;
    }
};

} // namespace velmora
