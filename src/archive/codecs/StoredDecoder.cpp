// Stored entries: the packed bytes are the data.
#include "archive/codecs/LibraryDecoder.h"
#include "archive/codecs/LibraryDecoders.h"

#include <cstring>

namespace velmora {

namespace {

using namespace librarydecoding;

class StoredDecoder final : public LibraryDecoder {
public:
    using LibraryDecoder::LibraryDecoder;

private:
    bool Step(unsigned char* out, std::size_t capacity, bool more, std::size_t& made) override
    {
        if (!more) {
            return true;
        }
        made = std::min(capacity, m_in.Size());
        std::memcpy(out, m_in.Data(), made);
        m_in.Consume(made);
        return false;
    }
};

} // namespace

std::unique_ptr<ByteSource> MakeStoredDecoder(ByteSource& packed, std::uint64_t declared)
{
    return std::make_unique<StoredDecoder>(packed, declared);
}

} // namespace velmora
