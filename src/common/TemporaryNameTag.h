#pragma once
// The random part of a temporary file's name: 12 hex digits (48 bits), so that a name made
// with it is unlikely to exist already. Safe to call from any thread.
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <random>
#include <string>

namespace velmora {

inline std::string TemporaryNameTag()
{
    static std::mutex mutex;
    static std::mt19937_64 generator{std::random_device{}()};
    std::uint64_t tag;
    {
        std::lock_guard lock(mutex);
        tag = generator();
    }
    char text[16];
    std::snprintf(text, sizeof text, "%012llx", static_cast<unsigned long long>(tag & 0xFFFFFFFFFFFFull));
    return text;
}

} // namespace velmora
