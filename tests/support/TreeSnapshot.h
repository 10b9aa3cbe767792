// Snapshots of a folder tree, so a test can state exactly what a command left on disk
// and that nothing outside its target changed; and their comparison, told line by line.
#pragma once

#include "TestSupport.h"

#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>

namespace velmora::test {

// Calls visit(relative path with "/" separators, entry) for everything below root.
template <typename Visit> void ForEachBelow(const std::filesystem::path& root, Visit visit)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        visit(it->path().lexically_relative(root).generic_string(), *it);
    }
}

// Everything below root: relative path -> kind, permission bits and content
// ("file 0644 text", "dir 0755", "link target").
using Tree = std::map<std::string, std::string>;

inline Tree Snapshot(const std::filesystem::path& root)
{
    namespace fs = std::filesystem;
    Tree tree;
    ForEachBelow(root, [&](const std::string& rel, const fs::directory_entry& entry) {
        const fs::file_status status = entry.symlink_status();
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(status.permissions()) & 07777u);
        if (fs::is_symlink(status)) {
            tree[rel] = "link " + fs::read_symlink(entry.path()).string();
        } else if (fs::is_directory(status)) {
            tree[rel] = std::string("dir ") + mode;
        } else {
            tree[rel] = std::string("file ") + mode + " " + ReadFile(entry.path());
        }
    });
    return tree;
}

// The names below root, folders with a trailing "/" (for trees whose modes and contents
// a test does not check).
inline std::set<std::string> Names(const std::filesystem::path& root)
{
    std::set<std::string> names;
    ForEachBelow(root, [&](const std::string& rel, const std::filesystem::directory_entry& entry) {
        names.insert(entry.is_directory() ? rel + "/" : rel);
    });
    return names;
}

// Relative path -> contents of everything below root that is not a folder (a link read
// through), for comparing the files two tools extracted.
inline Tree Files(const std::filesystem::path& root)
{
    Tree files;
    ForEachBelow(root, [&](const std::string& rel, const std::filesystem::directory_entry& entry) {
        if (!entry.is_directory()) files[rel] = ReadFile(entry.path());
    });
    return files;
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

// A value short enough for a failure message.
inline std::string Shown(const std::string& what)
{
    std::string shown;
    for (char c : what.substr(0, 60))
        shown += c == '\n' ? std::string("\\n") : std::string(1, c);
    return what.size() > 60 ? shown + "... (" + std::to_string(what.size()) + " bytes)" : shown;
}

// How got differs from want, one line a path ("missing", "unexpected", "changed"); empty
// when they agree. A wanted "*" takes what is there, as long as it is what before held
// at that path when before had it.
inline std::string TreeDiff(const Tree& want, const Tree& got, const Tree& before = {})
{
    std::string diff;
    for (const auto& [path, what] : want) {
        const auto found = got.find(path);
        if (found == got.end()) {
            diff += "missing:    " + path + "  (want " + Shown(what) + ")\n";
            continue;
        }
        const auto earlier = before.find(path);
        const std::string& wanted = what != "*" ? what : earlier != before.end() ? earlier->second : found->second;
        if (found->second != wanted) {
            diff += "changed:    " + path + "  want " + Shown(wanted) + "\n            " +
                    std::string(path.size(), ' ') + "  got  " + Shown(found->second) + "\n";
        }
    }
    for (const auto& [path, what] : got) {
        if (want.count(path) == 0) diff += "unexpected: " + path + "  (" + Shown(what) + ")\n";
    }
    return diff;
}

// What a run did to a sandbox, against what it may do: target "" means nothing may
// change; otherwise nothing outside the folder target (relative to the sandbox, "." for
// all of it) may change and target must hold exactly want. Empty when it holds.
inline std::string TargetDiff(const Tree& before, const Tree& after, const std::string& target, const Tree& want)
{
    if (target.empty()) {
        const std::string diff = TreeDiff(before, after);
        return diff.empty() ? diff : "the sandbox changed:\n" + diff;
    }
    if (target != ".") {
        const std::string diff = TreeDiff(Outside(before, target), Outside(after, target));
        if (!diff.empty()) return "something outside " + target + " changed:\n" + diff;
    }
    const Tree inside = target == "." ? after : Inside(after, target);
    const Tree insideBefore = target == "." ? before : Inside(before, target);
    const std::string diff = TreeDiff(want, inside, insideBefore);
    return diff.empty() ? diff : target + " differs from what it should hold:\n" + diff;
}

// A file with the given content and permission bits, its folders made as needed.
inline void MakeFile(const std::filesystem::path& path, const std::string& content, unsigned mode = 0644)
{
    std::filesystem::create_directories(path.parent_path());
    WriteFile(path, content);
    std::filesystem::permissions(path, static_cast<std::filesystem::perms>(mode));
}

} // namespace velmora::test
