#pragma once
// A set of names (output paths of an extraction run) kept compactly: the names lie one
// after another in large blocks, and an open-addressed table of 8-byte slots finds them.
// A million names of 40 bytes cost about 60 bytes each, where a node-based set costs
// well over a hundred. Lookups hash with a key chosen per set, so names chosen to
// collide cannot slow a run down; equal hashes are settled by comparing the names.
// Internal to src/archive.
#include <cstdint>
#include <memory>
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
    std::string_view NameAt(std::uint64_t position) const;
    std::uint64_t Store(std::string_view name);
    void Grow();

    std::uint64_t m_key[2];
    std::vector<std::uint64_t> m_slots; // 0: empty; else the hash's top bits and position + 1
    std::size_t m_size = 0;
    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::size_t m_used = 0; // bytes used in the last block
};

} // namespace velmora::archive
