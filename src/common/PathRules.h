#pragma once
// Name rules on path strings. The separators differ per platform: only "/" on Linux,
// "\", "/" and ":" on Windows, so the platform hands the rules to whoever needs them.
#include <string>
#include <string_view>

namespace velmora {

struct PathRules {
    std::string_view separators; // every character that ends a folder part
    char preferred;              // the one written when joining

    // The part after the last separator.
    std::string FileName(std::string_view path) const;
    // Everything up to and including the last separator ("" when there is none).
    std::string FolderWithSeparator(std::string_view path) const;
    // From the last "." after the last separator to the end, the dot included; "" if none.
    std::string Extension(std::string_view path) const;
    // The path with its extension replaced by (or given) newExtension, which starts with ".".
    std::string ChangeExtension(std::string_view path, std::string_view newExtension) const;
    // folder + preferred separator + name, without doubling a trailing separator.
    std::string Join(std::string_view folder, std::string_view name) const;
    std::string WithTrailingSeparator(std::string_view folder) const;
    bool IsSeparator(char c) const { return separators.find(c) != std::string_view::npos; }
    // Starts at a root: a separator (/x, \x, \\server\share) or, where ":" is a separator,
    // a drive letter (C:\x; also C:x, which names a place on that drive, not in the
    // current folder).
    bool IsAbsolute(std::string_view path) const;
};

inline constexpr PathRules kPosixPathRules{"/", '/'};
inline constexpr PathRules kWindowsPathRules{"\\/:", '\\'};

} // namespace velmora
