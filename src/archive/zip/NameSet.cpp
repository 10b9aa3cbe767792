#include "archive/zip/NameSet.h"

#include <algorithm>
#include <cstring>
#include <random>

namespace velmora::archive {

namespace {

constexpr unsigned kBlockBits = 20; // 1 MiB blocks
constexpr std::size_t kBlockSize = std::size_t{1} << kBlockBits;
constexpr unsigned kPositionBits = 40; // block index and offset
constexpr std::uint64_t kPositionMask = (std::uint64_t{1} << kPositionBits) - 1;
constexpr std::size_t kLengthBytes = 4;
constexpr std::size_t kHeaderBytes = 8; // the folder part's number, the last part's length

// The folder part of a name (up to and with its last "/") and its last part.
std::pair<std::string_view, std::string_view> SplitName(std::string_view name)
{
    const std::size_t slash = name.rfind('/');
    if (slash == std::string_view::npos) return {{}, name};
    return {name.substr(0, slash + 1), name.substr(slash + 1)};
}

inline std::uint64_t Rotl(std::uint64_t x, int b)
{
    return (x << b) | (x >> (64 - b));
}

// SipHash-1-3 of data under the 128-bit key k.
std::uint64_t SipHash13(const std::uint64_t k[2], const unsigned char* data, std::size_t size)
{
    std::uint64_t v0 = 0x736f6d6570736575ull ^ k[0];
    std::uint64_t v1 = 0x646f72616e646f6dull ^ k[1];
    std::uint64_t v2 = 0x6c7967656e657261ull ^ k[0];
    std::uint64_t v3 = 0x7465646279746573ull ^ k[1];
    const auto round = [&] {
        v0 += v1;
        v1 = Rotl(v1, 13);
        v1 ^= v0;
        v0 = Rotl(v0, 32);
        v2 += v3;
        v3 = Rotl(v3, 16);
        v3 ^= v2;
        v0 += v3;
        v3 = Rotl(v3, 21);
        v3 ^= v0;
        v2 += v1;
        v1 = Rotl(v1, 17);
        v1 ^= v2;
        v2 = Rotl(v2, 32);
    };
    std::size_t at = 0;
    for (; at + 8 <= size; at += 8) {
        std::uint64_t m = 0;
        for (int i = 7; i >= 0; --i)
            m = (m << 8) | data[at + static_cast<std::size_t>(i)];
        v3 ^= m;
        round();
        v0 ^= m;
    }
    std::uint64_t last = static_cast<std::uint64_t>(size) << 56;
    for (std::size_t i = 0; at + i < size; ++i)
        last |= static_cast<std::uint64_t>(data[at + i]) << (8 * i);
    v3 ^= last;
    round();
    v0 ^= last;
    v2 ^= 0xff;
    round();
    round();
    round();
    return v0 ^ v1 ^ v2 ^ v3;
}

} // namespace

NameSet::NameSet()
{
    std::random_device device;
    m_key[0] = (static_cast<std::uint64_t>(device()) << 32) | device();
    m_key[1] = (static_cast<std::uint64_t>(device()) << 32) | device();
}

std::uint64_t NameSet::Hash(std::string_view name) const
{
    return SipHash13(m_key, reinterpret_cast<const unsigned char*>(name.data()), name.size());
}

std::uint32_t NameSet::FolderOf(std::string_view folder)
{
    if (!m_folders.empty() && m_folders[m_lastFolder] == folder) return m_lastFolder;
    auto it = m_folderIndex.find(folder);
    if (it == m_folderIndex.end()) {
        it = m_folderIndex.emplace(std::string(folder), static_cast<std::uint32_t>(m_folders.size())).first;
        m_folders.emplace_back(folder);
    }
    m_lastFolder = it->second;
    return it->second;
}

bool NameSet::Matches(std::uint64_t position, std::string_view name) const
{
    const char* at = m_blocks[position >> kBlockBits].get() + (position & (kBlockSize - 1));
    std::uint32_t folder = 0;
    std::uint32_t length = 0;
    std::memcpy(&folder, at, kLengthBytes);
    std::memcpy(&length, at + kLengthBytes, kLengthBytes);
    const auto [folderPart, lastPart] = SplitName(name);
    return m_folders[folder] == folderPart && std::string_view(at + kHeaderBytes, length) == lastPart;
}

std::string NameSet::NameAt(std::uint64_t position) const
{
    const char* at = m_blocks[position >> kBlockBits].get() + (position & (kBlockSize - 1));
    std::uint32_t folder = 0;
    std::uint32_t length = 0;
    std::memcpy(&folder, at, kLengthBytes);
    std::memcpy(&length, at + kLengthBytes, kLengthBytes);
    return m_folders[folder] + std::string(at + kHeaderBytes, length);
}

std::uint64_t NameSet::Store(std::string_view name)
{
    const auto [folderPart, lastPart] = SplitName(name);
    const std::uint32_t folder = FolderOf(folderPart);
    name = lastPart;
    const std::size_t need = kHeaderBytes + name.size();
    if (m_blocks.empty() || m_used + need > kBlockSize) {
        // A name longer than a block gets a block of its own size.
        m_blocks.push_back(std::make_unique<char[]>(std::max(need, kBlockSize)));
        m_used = 0;
    }
    char* at = m_blocks.back().get() + m_used;
    const auto length = static_cast<std::uint32_t>(name.size());
    std::memcpy(at, &folder, kLengthBytes);
    std::memcpy(at + kLengthBytes, &length, kLengthBytes);
    std::memcpy(at + kHeaderBytes, name.data(), name.size());
    const std::uint64_t position = (static_cast<std::uint64_t>(m_blocks.size() - 1) << kBlockBits) | m_used;
    // A block of its own is never shared: the next name starts a new block.
    m_used = need > kBlockSize ? kBlockSize : m_used + need;
    return position;
}

std::size_t NameSet::Find(std::string_view name, std::uint64_t hash) const
{
    const std::size_t mask = m_slots.size() - 1;
    const std::uint64_t tag = hash >> kPositionBits;
    for (std::size_t i = static_cast<std::size_t>(hash) & mask;; i = (i + 1) & mask) {
        const std::uint64_t slot = m_slots[i];
        if (slot == 0) return i;
        if ((slot >> kPositionBits) == tag && Matches((slot & kPositionMask) - 1, name)) return i;
    }
}

void NameSet::Grow()
{
    std::vector<std::uint64_t> old(m_slots.empty() ? 64 : m_slots.size() * 2, 0);
    old.swap(m_slots);
    const std::size_t mask = m_slots.size() - 1;
    for (const std::uint64_t slot : old) {
        if (slot == 0) continue;
        const std::uint64_t hash = Hash(NameAt((slot & kPositionMask) - 1));
        std::size_t i = static_cast<std::size_t>(hash) & mask;
        while (m_slots[i] != 0)
            i = (i + 1) & mask;
        m_slots[i] = slot;
    }
}

bool NameSet::Insert(std::string_view name)
{
    if ((m_size + 1) * 4 > m_slots.size() * 3) Grow(); // at most three quarters full
    const std::uint64_t hash = Hash(name);
    const std::size_t i = Find(name, hash);
    if (m_slots[i] != 0) return false;
    m_slots[i] = ((hash >> kPositionBits) << kPositionBits) | (Store(name) + 1);
    ++m_size;
    return true;
}

bool NameSet::Contains(std::string_view name) const
{
    return !m_slots.empty() && m_slots[Find(name, Hash(name))] != 0;
}

} // namespace velmora::archive
