#pragma once
// Deflate compression of whole buffers and of the consecutive pieces of one long stream,
// so that the pieces of a large file can be compressed on several cores at once.
#include <cstddef>
#include <string>

namespace velmora::archive {

// Raw deflate of data at level; false when the output would not be smaller than
// size + 1 KiB (the caller then stores the data).
bool DeflateWhole(const unsigned char* data, std::size_t size, int level, std::string& out);

// Raw deflate of one piece of a longer stream: the output ends byte-aligned without a
// final block, so pieces can be concatenated. Finish the stream with kDeflateEnd. A piece
// whose samples do not shrink at the fastest level is put in stored blocks unsearched.
void DeflatePiece(const unsigned char* data, std::size_t size, int level, std::string& out);

// An empty final block: ends a stream built from pieces.
inline constexpr unsigned char kDeflateEnd[2] = {0x03, 0x00};

} // namespace velmora::archive
