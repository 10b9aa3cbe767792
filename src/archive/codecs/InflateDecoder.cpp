// Deflate entries through zlib's streaming inflate.
#include "archive/codecs/LibraryDecoder.h"
#include "archive/codecs/LibraryDecoders.h"

#include <zlib.h>

#include <new>

namespace velmora {

namespace {

using namespace librarydecoding;

class InflateDecoder final : public LibraryDecoder {
public:
    InflateDecoder(ByteSource& packed, std::uint64_t declared) : LibraryDecoder(packed, declared)
    {
        if (inflateInit2(&m_zs, -15) != Z_OK) {
            throw std::bad_alloc();
        }
    }
    ~InflateDecoder() override { inflateEnd(&m_zs); }

private:
    bool Step(unsigned char* out, std::size_t capacity, bool more, std::size_t& made) override
    {
        m_zs.next_in = const_cast<unsigned char*>(m_in.Data());
        m_zs.avail_in = static_cast<uInt>(m_in.Size());
        m_zs.next_out = out;
        m_zs.avail_out = static_cast<uInt>(capacity);
        const int rc = inflate(&m_zs, Z_NO_FLUSH);
        m_in.Consume(m_in.Size() - m_zs.avail_in);
        made = capacity - m_zs.avail_out;
        if (rc == Z_STREAM_END) {
            return true;
        }
        if (rc == Z_BUF_ERROR && !more) {
            Damaged("ends early");
        }
        if (rc != Z_OK && rc != Z_BUF_ERROR) {
            Damaged();
        }
        return false;
    }
    z_stream m_zs{};
};

} // namespace

std::unique_ptr<ByteSource> MakeInflateDecoder(ByteSource& packed, std::uint64_t declared)
{
    return std::make_unique<InflateDecoder>(packed, declared);
}

} // namespace velmora
