// The table of compression methods: their names, and the decoder each one is read with.
#include "archive/codecs/EntryDecoder.h"

#include "archive/codecs/Deflate64.h"
#include "archive/codecs/Implode.h"
#include "archive/codecs/LibraryDecoders.h"
#include "archive/codecs/PpmdDecoder.h"
#include "archive/codecs/Reduce.h"
#include "archive/codecs/Shrink.h"

#include <memory>
#include <vector>

namespace velmora {

std::string MethodName(std::uint16_t method)
{
    switch (method) {
    case 0:
        return "Stored";
    case 1:
        return "Shrunk";
    case 2:
    case 3:
    case 4:
    case 5:
        return "Reduced";
    case 6:
        return "Imploded";
    case 7:
        return "Tokenized";
    case 8:
        return "Deflate";
    case 9:
        return "Deflate64";
    case 10:
        return "PKWARE DCL Imploded";
    case 12:
        return "BZip2";
    case 14:
        return "LZMA";
    case 16:
        return "IBM z/OS CMPSC";
    case 18:
        return "IBM TERSE";
    case 19:
        return "IBM LZ77 z";
    case 20:
        return "Zstandard (old id)";
    case 93:
        return "Zstandard";
    case 94:
        return "MP3";
    case 95:
        return "XZ";
    case 96:
        return "JPEG";
    case 97:
        return "WavPack";
    case 98:
        return "PPMd";
    case 99:
        return "AES";
    default:
        return {};
    }
}

std::string MethodText(std::uint16_t method)
{
    const std::string name = MethodName(method);
    return "method " + std::to_string(method) + (name.empty() ? std::string() : " (" + name + ")");
}

std::unique_ptr<ByteSource> MakeMethodDecoder(std::uint16_t method, std::uint16_t flags, ByteSource& packed,
                                              std::uint64_t declaredSize)
{
    using namespace zipmethod;
    switch (method) {
    case kStored:
        return MakeStoredDecoder(packed, declaredSize);
    case kDeflate:
        return MakeInflateDecoder(packed, declaredSize);
    case kShrink:
        return MakeShrinkDecoder(packed, declaredSize);
    case kReduce1:
    case kReduce2:
    case kReduce3:
    case kReduce4:
        return MakeReduceDecoder(method - kShrink, packed, declaredSize);
    case kImplode:
        return MakeImplodeDecoder(flags, packed, declaredSize);
    case kDeflate64:
        return MakeDeflate64Decoder(packed, declaredSize);
    case kPpmd:
        return MakePpmdDecoder(packed, declaredSize);
#ifdef VELMORA_LIBRARY_METHODS
    case kBzip2:
        return MakeBzip2Decoder(packed, declaredSize);
    case kLzma:
        return MakeLzmaDecoder(flags, packed, declaredSize);
    case kXz:
        return MakeXzDecoder(packed, declaredSize);
    case kZstd:
        return MakeZstdDecoder(packed, declaredSize);
#else
    case kBzip2:
    case kLzma:
    case kXz:
    case kZstd:
        (void)flags;
        throw DecodeError(MethodText(method) + " is not supported in this build");
#endif
    default:
        throw DecodeError(MethodText(method) + " is not supported");
    }
}

std::uint64_t DecodeEntryData(std::uint16_t method, std::uint16_t flags, ByteSource& packed, ByteSink& sink,
                              std::uint64_t declaredSize)
{
    const std::unique_ptr<ByteSource> decoder = MakeMethodDecoder(method, flags, packed, declaredSize);
    std::vector<unsigned char> buffer(256u << 10);
    std::uint64_t total = 0;
    for (std::size_t n; (n = decoder->Read(buffer.data(), buffer.size())) > 0;) {
        sink.Write(buffer.data(), n);
        total += n;
    }
    decoder->Finish();
    return total;
}

} // namespace velmora
