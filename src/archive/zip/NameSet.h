#pragma once
// A set of names (output paths of an extraction run) kept compactly: each name is kept as
// its folder part, stored once for all names that share it, and its last part; these lie
// one after another in large blocks, and an open-addressed table of 8-byte slots finds
// them. A million paths cost some 40 bytes each, where a node-based set costs well over
// a hundred. Lookups hash with a key chosen per set, so names chosen to
// collide cannot slow a run down; equal hashes are settled by comparing the names.
// Internal to src/archive.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::archive {

class NameSet {
public:
    NameSet();
    // False when the name was there already.
    bool Insert(std::string_view name);
    bool Contains(std::string_view name) const;
    std::size_t Size() const { return m_size; }

private:
    std::uint64_t Hash(std::string_view name) const;
    // The slot that holds name, or the empty slot where it would go.
    std::size_t Find(std::string_view name, std::uint64_t hash) const;
    bool Matches(std::uint64_t position, std::string_view name) const;
    std::string NameAt(std::uint64_t position) const;
    std::uint64_t Store(std::string_view name);
    void Grow();

    std::uint64_t m_key[2];
    std::vector<std::uint64_t> m_slots; // 0: empty; else the hash's top bits and position + 1
    std::size_t m_size = 0;
    std::uint32_t FolderOf(std::string_view folder);

    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::size_t m_used = 0;             // bytes used in the last block
    std::vector<std::string> m_folders; // the folder parts, each once
    std::map<std::string, std::uint32_t, std::less<>> m_folderIndex;
    std::uint32_t m_lastFolder = 0;
};

} // namespace velmora::archive
