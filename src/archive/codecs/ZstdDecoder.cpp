// Zstandard entries through libzstd.
#include "archive/codecs/LibraryDecoder.h"
#include "archive/codecs/LibraryDecoders.h"

#include <zstd.h>

#include <new>

namespace velmora {

namespace {

using namespace librarydecoding;

class ZstdDecoder final : public LibraryDecoder {
public:
    ZstdDecoder(ByteSource& packed, std::uint64_t declared) : LibraryDecoder(packed, declared)
    {
        m_ds = ZSTD_createDStream();
        if (!m_ds) {
            throw std::bad_alloc();
        }
        // A window larger than the entry is never needed; allow the largest only for large entries.
        int windowLog = 27;
        while (windowLog < 31 && (std::uint64_t{1} << windowLog) < declared) {
            ++windowLog;
        }
        ZSTD_DCtx_setParameter(m_ds, ZSTD_d_windowLogMax, windowLog);
    }
    ~ZstdDecoder() override { ZSTD_freeDStream(m_ds); }

private:
    bool Step(unsigned char* out, std::size_t capacity, bool more, std::size_t& made) override
    {
        // Frames may follow each other; the data ends with the input after a whole frame.
        ZSTD_inBuffer input{m_in.Data(), m_in.Size(), 0};
        ZSTD_outBuffer output{out, capacity, 0};
        const std::size_t rc = ZSTD_decompressStream(m_ds, &output, &input);
        m_in.Consume(input.pos);
        made = output.pos;
        if (ZSTD_isError(rc)) {
            Damaged(ZSTD_getErrorName(rc));
        }
        if (more || made > 0) {
            m_anyFrame = true;
            m_last = rc;
            return false;
        }
        if (m_last != 0 || !m_anyFrame) {
            Damaged("ends early");
        }
        return true;
    }
    ZSTD_DStream* m_ds = nullptr;
    std::size_t m_last = 1; // 0 once a frame is complete and flushed
    bool m_anyFrame = false;
};

} // namespace

std::unique_ptr<ByteSource> MakeZstdDecoder(ByteSource& packed, std::uint64_t declared)
{
    return std::make_unique<ZstdDecoder>(packed, declared);
}

} // namespace velmora
