// BZip2 entries through libbz2.
#include "archive/codecs/LibraryDecoder.h"
#include "archive/codecs/LibraryDecoders.h"

#include <bzlib.h>

#include <new>

namespace velmora {

namespace {

using namespace librarydecoding;

class Bzip2Decoder final : public LibraryDecoder {
public:
    Bzip2Decoder(ByteSource& packed, std::uint64_t declared) : LibraryDecoder(packed, declared)
    {
        if (BZ2_bzDecompressInit(&m_bs, 0, 0) != BZ_OK) {
            throw std::bad_alloc();
        }
    }
    ~Bzip2Decoder() override { BZ2_bzDecompressEnd(&m_bs); }

private:
    bool Step(unsigned char* out, std::size_t capacity, bool, std::size_t& made) override
    {
        m_bs.next_in = const_cast<char*>(reinterpret_cast<const char*>(m_in.Data()));
        m_bs.avail_in = static_cast<unsigned>(m_in.Size());
        m_bs.next_out = reinterpret_cast<char*>(out);
        m_bs.avail_out = static_cast<unsigned>(std::min<std::size_t>(capacity, 1u << 30));
        const unsigned offered = m_bs.avail_out;
        const int rc = BZ2_bzDecompress(&m_bs);
        m_in.Consume(m_in.Size() - m_bs.avail_in);
        made = offered - m_bs.avail_out;
        if (rc == BZ_STREAM_END) {
            return true;
        }
        if (rc != BZ_OK) {
            Damaged();
        }
        return false;
    }
    bz_stream m_bs{};
};

} // namespace

std::unique_ptr<ByteSource> MakeBzip2Decoder(ByteSource& packed, std::uint64_t declared)
{
    return std::make_unique<Bzip2Decoder>(packed, declared);
}

} // namespace velmora
