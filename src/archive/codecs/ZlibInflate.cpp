// The streaming inflater on zlib, for builds without ISA-L (such as the Windows one).
#include "archive/codecs/StreamInflate.h"

#include <zlib.h>

#include <algorithm>
#include <limits>
#include <new>

namespace velmora::archive {

namespace {

constexpr std::size_t kSlice = std::numeric_limits<uInt>::max();

class ZlibInflater final : public StreamInflater {
public:
    ZlibInflater()
    {
        if (inflateInit2(&m_zs, -15) != Z_OK) throw std::bad_alloc();
    }
    ~ZlibInflater() override { inflateEnd(&m_zs); }
    ZlibInflater(const ZlibInflater&) = delete;
    ZlibInflater& operator=(const ZlibInflater&) = delete;

    void Reset() override
    {
        if (inflateReset(&m_zs) != Z_OK) throw std::bad_alloc();
    }

    Status Inflate(const unsigned char* in, std::size_t inSize, unsigned char* out, std::size_t outSize,
                   std::size_t& inUsed, std::size_t& outMade) override
    {
        const auto inPart = static_cast<uInt>(std::min(inSize, kSlice));
        const auto outPart = static_cast<uInt>(std::min(outSize, kSlice));
        m_zs.next_in = const_cast<Bytef*>(in);
        m_zs.avail_in = inPart;
        m_zs.next_out = out;
        m_zs.avail_out = outPart;
        const int rc = inflate(&m_zs, Z_NO_FLUSH);
        inUsed = inPart - m_zs.avail_in;
        outMade = outPart - m_zs.avail_out;
        if (rc == Z_STREAM_END) return Status::End;
        if (rc != Z_OK && rc != Z_BUF_ERROR) return Status::Damaged;
        return Status::More;
    }

    // zlib takes no byte past the end of the stream.
    std::size_t TakeReadAhead(unsigned char*) override { return 0; }

private:
    z_stream m_zs{};
};

} // namespace

std::unique_ptr<StreamInflater> MakeStreamInflater()
{
    return std::make_unique<ZlibInflater>();
}

bool PreferWholeInflate(std::uint64_t packedSize, std::uint64_t plainSize)
{
    // zlib's streaming is slower than one whole-buffer call at every size; the whole
    // buffer is bounded so that memory stays small.
    return packedSize + plainSize <= (40ull << 20);
}

} // namespace velmora::archive
