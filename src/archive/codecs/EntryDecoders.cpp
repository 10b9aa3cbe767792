// The decoder layer: one ByteSource per compression method, chosen from the table at the
// end of this file.
#include "archive/EntryLayers.h"
#include "archive/codecs/DeflateCodec.h"
#include "archive/codecs/StreamInflate.h"

#include "archive/codecs/EntryDecoder.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace velmora::archive {

namespace {

// Method 0: the bytes as they are.
class StoredDecoder final : public ByteSource {
public:
    explicit StoredDecoder(std::unique_ptr<ByteSource> packed) : m_packed(std::move(packed)) {}
    std::size_t Read(unsigned char* data, std::size_t size) override { return m_packed->Read(data, size); }
    void Finish() override { m_packed->Finish(); }

private:
    std::unique_ptr<ByteSource> m_packed;
};

// Method 8: raw deflate. Entries that one whole-buffer call decodes faster are read whole
// and inflated at once; larger ones stream through the streaming inflater with bounded
// memory. Either way no more than the declared plain size is produced (one byte more is
// reported as TooLarge by the sink).
class InflateDecoder final : public ByteSource {
public:
    InflateDecoder(std::unique_ptr<ByteSource> packed, const DecoderParams& params)
        : m_packed(std::move(packed)), m_params(params),
          m_whole(PreferWholeInflate(params.packedSize, params.plainSize))
    {}
    std::size_t Read(unsigned char* data, std::size_t size) override
    {
        return m_whole ? ReadWhole(data, size) : ReadStreamed(data, size);
    }
    void Finish() override { m_packed->Finish(); }

private:
    std::size_t ReadWhole(unsigned char* data, std::size_t size)
    {
        if (!m_inflated) {
            m_inflated = true;
            thread_local std::vector<unsigned char> packed;
            packed.resize(static_cast<std::size_t>(m_params.packedSize));
            std::size_t got = 0;
            while (got < packed.size()) {
                const std::size_t n = m_packed->Read(packed.data() + got, packed.size() - got);
                if (n == 0) break;
                got += n;
            }
            // One byte of room beyond the declared size tells a larger stream from an exact one.
            const std::size_t room = static_cast<std::size_t>(m_params.plainSize) + 1;
            // Where the caller's buffer holds the whole entry it is inflated straight into it;
            // otherwise into a buffer of its own, left unfilled until then.
            unsigned char* target = data;
            if (size < room) {
                m_plain.reset(new unsigned char[room]);
                target = m_plain.get();
            }
            std::size_t used = 0;
            std::size_t made = 0;
            const InflateResult rc = RawInflate(packed.data(), got, target, room, used, made);
            if (rc == InflateResult::NoRoom) throw LayerFailure(ErrorKind::TooLarge, {});
            if (rc != InflateResult::Ok) throw LayerFailure(ErrorKind::Damaged, "damaged compressed data");
            if (target == data) return made;
            m_plainSize = made;
        }
        const std::size_t n = std::min(size, m_plainSize - m_pos);
        if (n > 0) std::memcpy(data, m_plain.get() + m_pos, n);
        m_pos += n;
        return n;
    }

    std::size_t ReadStreamed(unsigned char* data, std::size_t size)
    {
        if (!m_stream) {
            m_stream = MakeStreamInflater();
            m_in.resize(1u << 18);
        }
        std::size_t made = 0;
        while (!m_ended && made < size) {
            if (m_inPos == m_inEnd && !m_sourceEnded) {
                m_inPos = 0;
                m_inEnd = m_packed->Read(m_in.data(), m_in.size());
                m_sourceEnded = m_inEnd == 0;
            }
            std::size_t used = 0;
            std::size_t out = 0;
            const auto status =
                m_stream->Inflate(m_in.data() + m_inPos, m_inEnd - m_inPos, data + made, size - made, used, out);
            m_inPos += used;
            made += out;
            if (status == StreamInflater::Status::Damaged) {
                throw LayerFailure(ErrorKind::Damaged, "damaged compressed data");
            }
            if (status == StreamInflater::Status::End) {
                m_ended = true;
            } else if (used == 0 && out == 0 && m_inPos == m_inEnd && m_sourceEnded) {
                throw LayerFailure(ErrorKind::Damaged, "damaged compressed data (ends early)");
            } else if (used == 0 && out == 0 && m_inPos < m_inEnd) {
                throw LayerFailure(ErrorKind::Damaged, "damaged compressed data");
            }
        }
        return made;
    }

    std::unique_ptr<ByteSource> m_packed;
    DecoderParams m_params;
    bool m_whole;
    bool m_inflated = false;
    std::unique_ptr<unsigned char[]> m_plain;
    std::size_t m_plainSize = 0;
    std::size_t m_pos = 0;
    std::unique_ptr<StreamInflater> m_stream;
    std::vector<unsigned char> m_in;
    std::size_t m_inPos = 0;
    std::size_t m_inEnd = 0;
    bool m_sourceEnded = false;
    bool m_ended = false;
};

// Shrink, Reduce, Implode, Deflate64, bzip2, LZMA, XZ, Zstandard and PPMd: the decoders of EntryDecoder.h, holding the
// layer they read from and reporting their faults as the layers do.
class MethodDecoder final : public ByteSource {
public:
    MethodDecoder(std::unique_ptr<ByteSource> packed, const DecoderParams& params) : m_packed(std::move(packed))
    {
        Guarded([&] { m_decoder = MakeMethodDecoder(params.method, params.flags, *m_packed, params.plainSize); });
    }
    std::size_t Read(unsigned char* data, std::size_t size) override
    {
        std::size_t n = 0;
        Guarded([&] { n = m_decoder->Read(data, size); });
        return n;
    }
    void Finish() override { m_decoder->Finish(); }

private:
    template <typename F> static void Guarded(F&& f)
    {
        try {
            f();
        } catch (const DecodeError& error) {
            const std::string text = error.what();
            throw LayerFailure(text.find("larger than its declared size") != std::string::npos ? ErrorKind::TooLarge
                               : text.find("is not supported") != std::string::npos            ? ErrorKind::Unsupported
                                                                                               : ErrorKind::Damaged,
                               text);
        }
    }

    std::unique_ptr<ByteSource> m_packed;
    std::unique_ptr<ByteSource> m_decoder;
};

std::unique_ptr<ByteSource> MakeMethodLayer(std::unique_ptr<ByteSource> packed, const DecoderParams& params)
{
    return std::make_unique<MethodDecoder>(std::move(packed), params);
}

using Factory = std::unique_ptr<ByteSource> (*)(std::unique_ptr<ByteSource>, const DecoderParams&);

struct DecoderRow {
    std::uint16_t method;
    Factory make;
};

// One row per supported compression method.
constexpr DecoderRow kDecoders[] = {
    {0,
     [](std::unique_ptr<ByteSource> packed, const DecoderParams& params) -> std::unique_ptr<ByteSource> {
         if (params.packedSize != params.plainSize)
             throw LayerFailure(ErrorKind::Damaged, "stored entry's sizes differ");
         return std::make_unique<StoredDecoder>(std::move(packed));
     }},
    {8,
     [](std::unique_ptr<ByteSource> packed, const DecoderParams& params) -> std::unique_ptr<ByteSource> {
         return std::make_unique<InflateDecoder>(std::move(packed), params);
     }},
    {zipmethod::kShrink, MakeMethodLayer},
    {zipmethod::kReduce1, MakeMethodLayer},
    {zipmethod::kReduce2, MakeMethodLayer},
    {zipmethod::kReduce3, MakeMethodLayer},
    {zipmethod::kReduce4, MakeMethodLayer},
    {zipmethod::kImplode, MakeMethodLayer},
    {zipmethod::kDeflate64, MakeMethodLayer},
    {zipmethod::kBzip2, MakeMethodLayer},
    {zipmethod::kLzma, MakeMethodLayer},
    {zipmethod::kZstd, MakeMethodLayer},
    {zipmethod::kXz, MakeMethodLayer},
    {zipmethod::kPpmd, MakeMethodLayer},
};

} // namespace

std::unique_ptr<ByteSource> MakeDecoder(std::unique_ptr<ByteSource> packed, const DecoderParams& params)
{
    for (const DecoderRow& row : kDecoders) {
        if (row.method == params.method) return row.make(std::move(packed), params);
    }
    return nullptr;
}

bool IsMethodSupported(std::uint16_t method)
{
    return std::any_of(std::begin(kDecoders), std::end(kDecoders),
                       [method](const DecoderRow& row) { return row.method == method; });
}

} // namespace velmora::archive
