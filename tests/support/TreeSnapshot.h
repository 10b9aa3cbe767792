// Snapshots of a folder tree, so a test can state exactly what a command left on disk
// and that nothing outside its target changed.
#pragma once

#include "TestSupport.h"

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

namespace velmora::test {

// Everything below root: relative path -> kind, permission bits and content.
using Tree = std::map<std::string, std::string>;

inline Tree Snapshot(const std::filesystem::path& root)
{
    namespace fs = std::filesystem;
    Tree tree;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const fs::file_status status = it->symlink_status();
        const std::string rel = fs::relative(it->path(), root).generic_string();
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(status.permissions()) & 07777u);
        if (fs::is_symlink(status)) {
            tree[rel] = "link " + fs::read_symlink(it->path()).string();
        } else if (fs::is_directory(status)) {
            tree[rel] = std::string("dir ") + mode;
        } else {
            tree[rel] = std::string("file ") + mode + " " + ReadFile(it->path());
        }
    }
    return tree;
}

// The part of a snapshot outside the folder rel, and the part inside it (relative to it).
inline Tree Outside(const Tree& tree, const std::string& rel)
{
    Tree out;
    for (const auto& [path, what] : tree) {
        if (path != rel && path.rfind(rel + "/", 0) != 0) out[path] = what;
    }
    return out;
}
inline Tree Inside(const Tree& tree, const std::string& rel)
{
    Tree in;
    for (const auto& [path, what] : tree) {
        if (path.rfind(rel + "/", 0) == 0) in[path.substr(rel.size() + 1)] = what;
    }
    return in;
}

// A file with the given content and permission bits, its folders made as needed.
inline void MakeFile(const std::filesystem::path& path, const std::string& content, unsigned mode = 0644)
{
    std::filesystem::create_directories(path.parent_path());
    WriteFile(path, content);
    std::filesystem::permissions(path, static_cast<std::filesystem::perms>(mode));
}

} // namespace velmora::test
