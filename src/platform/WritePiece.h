#pragma once
// The most bytes handed to the system in one write call, for every file the program
// writes in bulk (extracted files, archives, gunzip output).
//
// Linux sizes a file's page-cache pages by the write that creates them: one write of
// 1 MiB or more gets pages of up to 2 MiB. On a virtual machine whose host takes free
// memory back (free page reporting), those large blocks are mostly ones the host has
// reclaimed, and the first touch of each costs the host a fault. Measured on a 2-core
// VM, writing 300 MB into new files took 0.47-0.59 s of system time in 1 MiB writes and
// 0.06-0.07 s in 128-256 KiB writes. Smaller writes cost more calls again (32 KiB: 0.11 s).
#include <cstddef>

namespace velmora {

inline constexpr std::size_t kWritePiece = std::size_t{256} * 1024;

} // namespace velmora
