#pragma once
// What a seed's name says about the build it needs. A seed named ok_method_<name> (an
// archive) or ok_<name> (raw method data) needs that method's library; a build without the
// library methods refuses it by name. A seed named ok_posix_... holds a name that is only a
// name on POSIX systems.
#include <string>

namespace velmora::fuzz {

inline bool NeedsMissingLibrary(const std::string& name)
{
#ifdef _WIN32
    // A drive letter is only a name on POSIX systems.
    if (name.rfind("ok_posix_", 0) == 0) return true;
#endif
#ifdef VELMORA_LIBRARY_METHODS
    (void)name;
    return false;
#else
    for (const char* prefix : {"ok_method_bzip2", "ok_method_lzma", "ok_method_xz", "ok_method_zstd", "ok_bzip2",
                               "ok_lzma", "ok_xz", "ok_zstd"})
        if (name.rfind(prefix, 0) == 0) return true;
    return false;
#endif
}

} // namespace velmora::fuzz
