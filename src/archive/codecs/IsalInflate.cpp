// The streaming inflater on ISA-L. Small entries stay with the whole-buffer codec, which
// decodes them faster (bench/inflate_sizes.cpp measures both by size).
#include "archive/codecs/StreamInflate.h"

#include <isa-l/igzip_lib.h>

#include <algorithm>
#include <memory>

namespace velmora::archive {

namespace {

// ISA-L counts in uint32_t; larger buffers are offered in slices of this size.
constexpr std::size_t kSlice = 1u << 30;

class IsalInflater final : public StreamInflater {
public:
    IsalInflater() : m_state(std::make_unique<inflate_state>()) { isal_inflate_init(m_state.get()); }

    void Reset() override { isal_inflate_reset(m_state.get()); }

    Status Inflate(const unsigned char* in, std::size_t inSize, unsigned char* out, std::size_t outSize,
                   std::size_t& inUsed, std::size_t& outMade) override
    {
        inflate_state& s = *m_state;
        const auto inPart = static_cast<std::uint32_t>(std::min(inSize, kSlice));
        const auto outPart = static_cast<std::uint32_t>(std::min(outSize, kSlice));
        s.next_in = const_cast<unsigned char*>(in);
        s.avail_in = inPart;
        s.next_out = out;
        s.avail_out = outPart;
        const int rc = isal_inflate(&s);
        inUsed = inPart - s.avail_in;
        outMade = outPart - s.avail_out;
        if (rc < 0) return Status::Damaged;
        return s.block_state == ISAL_BLOCK_FINISH ? Status::End : Status::More;
    }

    // ISA-L reads its input up to eight bytes ahead into a bit buffer; at the end of the
    // stream the whole bytes left there, past the last block's padding bits, follow it.
    std::size_t TakeReadAhead(unsigned char* out) override
    {
        inflate_state& s = *m_state;
        if (s.read_in_length <= 0) return 0;
        const unsigned padding = static_cast<unsigned>(s.read_in_length) % 8;
        const std::size_t bytes = std::min<std::size_t>(static_cast<unsigned>(s.read_in_length) / 8, kMaxReadAhead);
        std::uint64_t bits = padding < 64 ? s.read_in >> padding : 0;
        for (std::size_t i = 0; i < bytes; ++i, bits >>= 8)
            out[i] = static_cast<unsigned char>(bits & 0xFF);
        s.read_in_length = 0;
        s.read_in = 0;
        return bytes;
    }

private:
    std::unique_ptr<inflate_state> m_state;
};

} // namespace

std::unique_ptr<StreamInflater> MakeStreamInflater()
{
    return std::make_unique<IsalInflater>();
}

bool PreferWholeInflate(std::uint64_t packedSize, std::uint64_t plainSize)
{
    // libdeflate's one call wins below about half a MiB; above it ISA-L, which also needs
    // no buffer of the whole entry.
    (void)packedSize;
    return plainSize <= (512u << 10);
}

} // namespace velmora::archive
