// The method decoders and the AES layer on their own: round trips through the
// libraries' encoders, damaged and truncated data, and the declared-size bound.
#include "archive/codecs/EntryDecoder.h"
#include "archive/EntryLayers.h"
#include "archive/codecs/Deflate64.h"
#include "archive/crypto/WinZipAes.h"
#include "platform/CryptoPrimitives.h"

#include <gtest/gtest.h>

#include <bzlib.h>
#include <lzma.h>
#include <zlib.h>
#include <zstd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace velmora {
namespace {

class MemorySource : public ByteSource {
public:
    explicit MemorySource(std::string data, std::size_t step = 1000) : m_data(std::move(data)), m_step(step) {}
    std::size_t Read(unsigned char* out, std::size_t size) override
    {
        const std::size_t n = std::min({size, m_step, m_data.size() - m_pos});
        std::memcpy(out, m_data.data() + m_pos, n);
        m_pos += n;
        return n;
    }

private:
    std::string m_data;
    std::size_t m_step;
    std::size_t m_pos = 0;
};

class StringSink : public ByteSink {
public:
    void Write(const unsigned char* data, std::size_t size) override
    {
        text.append(reinterpret_cast<const char*>(data), size);
    }
    std::string text;
};

// Text with repeats near and far, some noise: exercises literals, short and long matches.
std::string Sample(std::size_t size)
{
    std::mt19937 rng(7);
    std::string out;
    const std::string words[] = {"alpha ", "beta ", "gamma\n", "delta, ", "epsilon; "};
    while (out.size() < size) {
        if (rng() % 7 == 0) {
            out.push_back(static_cast<char>(rng()));
        } else if (out.size() > 70000 && rng() % 50 == 0) {
            out.append(out.substr(out.size() - 70000 + rng() % 1000, 300));
        } else {
            out += words[rng() % 5];
        }
    }
    out.resize(size);
    return out;
}

std::string Deflate(const std::string& in, int level)
{
    z_stream zs{};
    deflateInit2(&zs, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&zs, in.size()), '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    zs.avail_in = static_cast<uInt>(in.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

std::string Bzip(const std::string& in)
{
    std::string out(in.size() + in.size() / 100 + 600, '\0');
    unsigned size = static_cast<unsigned>(out.size());
    BZ2_bzBuffToBuffCompress(out.data(), &size, const_cast<char*>(in.data()), static_cast<unsigned>(in.size()), 9, 0,
                             0);
    out.resize(size);
    return out;
}

std::string Xz(const std::string& in)
{
    std::string out(lzma_stream_buffer_bound(in.size()), '\0');
    std::size_t pos = 0;
    lzma_easy_buffer_encode(6, LZMA_CHECK_CRC64, nullptr, reinterpret_cast<const uint8_t*>(in.data()), in.size(),
                            reinterpret_cast<uint8_t*>(out.data()), &pos, out.size());
    out.resize(pos);
    return out;
}

// ZIP's LZMA form: version 2 bytes, properties size, the 5 properties, raw LZMA1.
std::string ZipLzma(const std::string& in, bool endMarker)
{
    lzma_options_lzma options;
    lzma_lzma_preset(&options, 6);
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    lzma_stream ls = LZMA_STREAM_INIT;
    if (endMarker) {
        EXPECT_EQ(lzma_raw_encoder(&ls, filters), LZMA_OK);
    } else {
        filters[0].id = LZMA_FILTER_LZMA1EXT;
        options.ext_flags = 0;
        options.ext_size_low = static_cast<uint32_t>(in.size());
        options.ext_size_high = 0;
        EXPECT_EQ(lzma_raw_encoder(&ls, filters), LZMA_OK);
    }
    std::string out(in.size() + 1000, '\0');
    ls.next_in = reinterpret_cast<const uint8_t*>(in.data());
    ls.avail_in = in.size();
    ls.next_out = reinterpret_cast<uint8_t*>(out.data());
    ls.avail_out = out.size();
    while (lzma_code(&ls, LZMA_FINISH) == LZMA_OK) {
    }
    out.resize(ls.total_out);
    lzma_end(&ls);
    uint8_t props[5];
    filters[0].id = LZMA_FILTER_LZMA1;
    uint32_t propsSize = 0;
    lzma_properties_size(&propsSize, filters);
    lzma_properties_encode(filters, props);
    return std::string("\x10\x02\x05\x00", 4) + std::string(reinterpret_cast<char*>(props), 5) + out;
}

std::string Zstd(const std::string& in)
{
    std::string out(ZSTD_compressBound(in.size()), '\0');
    out.resize(ZSTD_compress(out.data(), out.size(), in.data(), in.size(), 3));
    return out;
}

struct Case {
    const char* name;
    std::uint16_t method;
    std::uint16_t flags;
    std::string packed;
};

TEST(EntryDecoder, EveryMethodRoundTripsAndRefusesDamage)
{
    const std::string plain = Sample(300000);
    const Case cases[] = {
        {"stored", zipmethod::kStored, 0, plain},
        {"deflate", zipmethod::kDeflate, 0, Deflate(plain, 6)},
        {"bzip2", zipmethod::kBzip2, 0, Bzip(plain)},
        {"lzma with end marker", zipmethod::kLzma, 2, ZipLzma(plain, true)},
        {"lzma sized", zipmethod::kLzma, 0, ZipLzma(plain, false)},
        {"xz", zipmethod::kXz, 0, Xz(plain)},
        {"zstd", zipmethod::kZstd, 0, Zstd(plain)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        {
            MemorySource source(c.packed);
            StringSink sink;
            EXPECT_EQ(DecodeEntryData(c.method, c.flags, source, sink, plain.size()), plain.size());
            EXPECT_TRUE(sink.text == plain);
        }
        // Declared smaller: refused once the limit is passed, never more written than declared.
        {
            MemorySource source(c.packed);
            StringSink sink;
            EXPECT_THROW(DecodeEntryData(c.method, c.flags, source, sink, plain.size() - 1), DecodeError);
            EXPECT_LE(sink.text.size(), plain.size() - 1);
        }
        // Declared larger, and data cut short.
        {
            MemorySource source(c.packed);
            StringSink sink;
            EXPECT_THROW(DecodeEntryData(c.method, c.flags, source, sink, plain.size() + 1), DecodeError);
        }
        {
            MemorySource source(c.packed.substr(0, c.packed.size() / 2));
            StringSink sink;
            EXPECT_THROW(DecodeEntryData(c.method, c.flags, source, sink, plain.size()), DecodeError);
        }
        if (c.method != zipmethod::kStored) {
            std::string damaged = c.packed;
            for (std::size_t i = damaged.size() / 3; i < damaged.size() / 3 + 64; ++i) {
                damaged[i] = static_cast<char>(damaged[i] ^ 0x5A);
            }
            MemorySource source(damaged);
            StringSink sink;
            EXPECT_THROW(DecodeEntryData(c.method, c.flags, source, sink, plain.size()), DecodeError);
        }
    }
}

TEST(EntryDecoder, UnsupportedMethodsAreNamed)
{
    MemorySource source("abc");
    StringSink sink;
    try {
        DecodeEntryData(97, 0, source, sink, 3);
        FAIL();
    } catch (const DecodeError& error) {
        EXPECT_STREQ(error.what(), "method 97 (WavPack) is not supported");
    }
    EXPECT_EQ(MethodText(98), "method 98 (PPMd)");
    EXPECT_EQ(MethodText(200), "method 200");
    EXPECT_TRUE(sink.text.empty());
}

// Our inflater, run on plain deflate, must agree with zlib at every level, on input
// fed in odd-sized pieces (bit reader across refills, stored blocks across the window).
TEST(EntryDecoder, OwnInflaterAgreesWithZlib)
{
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{70000}, std::size_t{3000000}}) {
        const std::string plain = Sample(size);
        for (int level : {0, 1, 6, 9}) {
            SCOPED_TRACE("size " + std::to_string(size) + " level " + std::to_string(level));
            MemorySource source(Deflate(plain, level), 777);
            StringSink sink;
            const auto inflater = MakeClassicInflater(source, plain.size());
            unsigned char buffer[5000];
            for (std::size_t n; (n = inflater->Read(buffer, sizeof buffer)) > 0;) {
                sink.Write(buffer, n);
            }
            EXPECT_TRUE(sink.text == plain);
        }
    }
}

// Deflate entries small enough to be inflated whole: read with a buffer that holds the
// whole entry (inflated straight into it) and with small ones (through the decoder's own
// buffer). Either way the output may pass the declared size by one byte only (which the
// sink then refuses), and damage is told.
TEST(EntryDecoder, WholeInflateFillsLargeAndSmallBuffersAlike)
{
    using archive::DecoderParams;
    using archive::ErrorKind;
    using archive::LayerFailure;
    const std::string plain = Sample(100000);
    const std::string packed = Deflate(plain, 6);
    struct Row {
        const char* name;
        std::uint64_t declared;
        std::string packed;
        std::optional<ErrorKind> failure;
    };
    const Row rows[] = {
        {"exact", plain.size(), packed, std::nullopt},
        {"declared one byte short", plain.size() - 1, packed, std::nullopt},
        {"declared two bytes short", plain.size() - 2, packed, ErrorKind::TooLarge},
        {"cut in half", plain.size(), packed.substr(0, packed.size() / 2), ErrorKind::Damaged},
    };
    for (const Row& row : rows) {
        for (std::size_t bufferSize : {std::size_t{1} << 20, std::size_t{4096}}) {
            SCOPED_TRACE(std::string(row.name) + ", buffer " + std::to_string(bufferSize));
            DecoderParams params;
            params.method = 8;
            params.packedSize = row.packed.size();
            params.plainSize = row.declared;
            const auto decoder = archive::MakeDecoder(std::make_unique<MemorySource>(row.packed), params);
            ASSERT_TRUE(decoder);
            std::vector<unsigned char> buffer(bufferSize);
            std::string out;
            std::optional<ErrorKind> failure;
            try {
                for (std::size_t n; (n = decoder->Read(buffer.data(), buffer.size())) > 0;) {
                    out.append(reinterpret_cast<const char*>(buffer.data()), n);
                }
            } catch (const LayerFailure& error) {
                failure = error.Error().kind;
            }
            EXPECT_EQ(failure, row.failure);
            if (!row.failure) EXPECT_TRUE(out == plain);
        }
    }
}

std::string Hex(const std::string& bytes)
{
    std::string out;
    char b[3];
    for (unsigned char ch : bytes) {
        std::snprintf(b, sizeof b, "%02x", ch);
        out += b;
    }
    return out;
}

// Python's hashlib answer, or empty when python3 failed.
std::string PythonPbkdf2(const std::string& password, const std::string& salt, unsigned iterations, std::size_t size)
{
    const std::string command = "python3 -c \"import hashlib;print(hashlib.pbkdf2_hmac('sha1',bytes.fromhex('" +
                                Hex(password) + "'),bytes.fromhex('" + Hex(salt) + "')," + std::to_string(iterations) +
                                "," + std::to_string(size) + ").hex())\"";
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe))
            out += buffer;
        pclose(pipe);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

// Our key derivation against Python's hashlib: passwords shorter than, exactly and longer
// than a SHA-1 block (which is hashed first), empty, and keys of several blocks.
TEST(WinZipAes, Pbkdf2MatchesPython)
{
    if (std::system("command -v python3 >/dev/null 2>&1") != 0) GTEST_SKIP() << "python3 is missing";
    const struct {
        std::string password;
        std::string salt;
        unsigned iterations;
        std::size_t size;
    } cases[] = {
        {"password", "salt", 1, 20},
        {"password", "salt", 4096, 20},
        {"passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096, 25},
        {"", "0123456789abcdef", 1000, 66},
        {std::string(64, 'k'), "12345678", 1000, 34},
        {std::string(65, 'k'), "12345678", 1000, 34},
        {"Gr\xC3\xBCn " + std::string(120, 'x'), "0123456789abcdef", 1000, 66},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.password.size());
        const std::string expected = PythonPbkdf2(c.password, c.salt, c.iterations, c.size);
        ASSERT_EQ(expected.size(), c.size * 2) << "python3 failed";
        std::string ours(c.size, '\0');
        crypto::Pbkdf2HmacSha1(c.password, reinterpret_cast<const unsigned char*>(c.salt.data()), c.salt.size(),
                               c.iterations, reinterpret_cast<unsigned char*>(ours.data()), ours.size());
        EXPECT_EQ(Hex(ours), expected);
    }
}

TEST(WinZipAes, RoundTripWrongPasswordAndTampering)
{
    const std::string plain = Sample(100000);
    for (std::uint8_t strength : {1, 2, 3}) {
        SCOPED_TRACE(int(strength));
        std::string salt(AesSaltSize(strength), '\0');
        for (std::size_t i = 0; i < salt.size(); ++i)
            salt[i] = static_cast<char>(i * 7 + 1);
        unsigned char verifier[kAesVerifierSize];
        WinZipAesCipher cipher("pässword", reinterpret_cast<const unsigned char*>(salt.data()), strength, verifier);
        std::string body = plain;
        cipher.Encrypt(reinterpret_cast<unsigned char*>(body.data()), body.size());
        unsigned char mac[kAesMacSize];
        cipher.Mac(mac);
        const std::string entry = salt + std::string(reinterpret_cast<char*>(verifier), 2) + body +
                                  std::string(reinterpret_cast<char*>(mac), kAesMacSize);
        EXPECT_NE(body, plain);

        MemorySource raw(entry, 4097);
        AesDecryptingSource source(raw, entry.size(), strength, "pässword");
        StringSink sink;
        EXPECT_EQ(DecodeEntryData(zipmethod::kStored, 0, source, sink, plain.size()), plain.size());
        source.Finish();
        EXPECT_TRUE(sink.text == plain);

        MemorySource wrongRaw(entry);
        EXPECT_THROW(AesDecryptingSource(wrongRaw, entry.size(), strength, "password"), WrongPasswordError);

        std::string tampered = entry;
        tampered[salt.size() + 2 + 500] ^= 1;
        MemorySource tamperedRaw(tampered);
        AesDecryptingSource tamperedSource(tamperedRaw, tampered.size(), strength, "pässword");
        StringSink ignored;
        EXPECT_THROW(
            {
                DecodeEntryData(zipmethod::kStored, 0, tamperedSource, ignored, plain.size());
                tamperedSource.Finish();
            },
            WrongPasswordError);
    }
}

} // namespace
} // namespace velmora
