// The cryptographic primitives from libcrypto.
//
// PBKDF2 runs on the plain SHA-1 functions: an archive of many small AES entries derives
// a key per entry (1000 HMAC rounds each), and libcrypto's generic HMAC copies and frees
// a context in every round, which cost more than the entries' data. The rounds call the
// compression function on ready-padded blocks, which halves the work again. Those
// functions are marked deprecated in OpenSSL 3 but stay the fastest way to reuse a hash
// state.
#define OPENSSL_SUPPRESS_DEPRECATED
#include "platform/CryptoPrimitives.h"

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/params.h>
#include <openssl/sha.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

namespace velmora::crypto {

namespace {
[[noreturn]] void CryptoFailed(const char* what)
{
    throw std::runtime_error(std::string("cryptographic library failed: ") + what);
}
} // namespace

void Pbkdf2HmacSha1(std::string_view password, const unsigned char* salt, std::size_t saltSize, unsigned iterations,
                    unsigned char* out, std::size_t outSize)
{
    // The HMAC key block: the password, or its hash when longer than a block.
    unsigned char key[SHA_CBLOCK] = {};
    if (password.size() > SHA_CBLOCK) {
        SHA1(reinterpret_cast<const unsigned char*>(password.data()), password.size(), key);
    } else {
        std::memcpy(key, password.data(), password.size());
    }
    // The hash states after the inner and outer padded key, computed once.
    SHA_CTX inner;
    SHA_CTX outer;
    unsigned char pad[SHA_CBLOCK];
    for (std::size_t i = 0; i < SHA_CBLOCK; ++i)
        pad[i] = static_cast<unsigned char>(key[i] ^ 0x36);
    SHA1_Init(&inner);
    SHA1_Update(&inner, pad, SHA_CBLOCK);
    for (std::size_t i = 0; i < SHA_CBLOCK; ++i)
        pad[i] = static_cast<unsigned char>(key[i] ^ 0x5C);
    SHA1_Init(&outer);
    SHA1_Update(&outer, pad, SHA_CBLOCK);
    OPENSSL_cleanse(key, sizeof key);
    OPENSSL_cleanse(pad, sizeof pad);

    // Every round after the first hashes one 20-byte value, so each half of its HMAC is a
    // single padded block run through the compression function from the saved state: the
    // value, the 0x80 end mark, zeros, and the message length in bits (a key block plus 20
    // bytes) at the end.
    unsigned char block[SHA_CBLOCK] = {};
    block[SHA_DIGEST_LENGTH] = 0x80;
    constexpr std::uint32_t kBits = (SHA_CBLOCK + SHA_DIGEST_LENGTH) * 8;
    block[SHA_CBLOCK - 2] = static_cast<unsigned char>(kBits >> 8);
    block[SHA_CBLOCK - 1] = static_cast<unsigned char>(kBits & 0xFF);
    SHA_CTX ctx;
    const auto compress = [&](const SHA_CTX& from, unsigned char value[SHA_DIGEST_LENGTH]) {
        ctx = from;
        std::memcpy(block, value, SHA_DIGEST_LENGTH);
        SHA1_Transform(&ctx, block);
        const SHA_LONG words[5] = {ctx.h0, ctx.h1, ctx.h2, ctx.h3, ctx.h4};
        for (std::size_t w = 0; w < 5; ++w) {
            value[4 * w] = static_cast<unsigned char>(words[w] >> 24);
            value[4 * w + 1] = static_cast<unsigned char>(words[w] >> 16);
            value[4 * w + 2] = static_cast<unsigned char>(words[w] >> 8);
            value[4 * w + 3] = static_cast<unsigned char>(words[w]);
        }
    };

    for (std::uint32_t index = 1; outSize > 0; ++index) {
        const unsigned char indexBytes[4] = {static_cast<unsigned char>(index >> 24),
                                             static_cast<unsigned char>(index >> 16),
                                             static_cast<unsigned char>(index >> 8), static_cast<unsigned char>(index)};
        unsigned char u[SHA_DIGEST_LENGTH];
        unsigned char t[SHA_DIGEST_LENGTH];
        // The first round hashes the salt and the block index.
        ctx = inner;
        SHA1_Update(&ctx, salt, saltSize);
        SHA1_Update(&ctx, indexBytes, sizeof indexBytes);
        SHA1_Final(u, &ctx);
        ctx = outer;
        SHA1_Update(&ctx, u, sizeof u);
        SHA1_Final(u, &ctx);
        std::memcpy(t, u, sizeof t);
        for (unsigned round = 1; round < iterations; ++round) {
            compress(inner, u);
            compress(outer, u);
            for (std::size_t i = 0; i < sizeof t; ++i)
                t[i] ^= u[i];
        }
        const std::size_t n = std::min(outSize, sizeof t);
        std::memcpy(out, t, n);
        out += n;
        outSize -= n;
        OPENSSL_cleanse(u, sizeof u);
        OPENSSL_cleanse(t, sizeof t);
    }
    OPENSSL_cleanse(block, sizeof block);
    OPENSSL_cleanse(&ctx, sizeof ctx);
    OPENSSL_cleanse(&inner, sizeof inner);
    OPENSSL_cleanse(&outer, sizeof outer);
}

struct AesBlockEncryptor::Impl {
    EVP_CIPHER_CTX* ctx = nullptr;
    ~Impl() { EVP_CIPHER_CTX_free(ctx); }
};

AesBlockEncryptor::AesBlockEncryptor(const unsigned char* key, std::size_t keySize) : m_impl(new Impl)
{
    // Fetched once: looking an algorithm up costs more than a small entry's data.
    static EVP_CIPHER* const aes128 = EVP_CIPHER_fetch(nullptr, "AES-128-ECB", nullptr);
    static EVP_CIPHER* const aes192 = EVP_CIPHER_fetch(nullptr, "AES-192-ECB", nullptr);
    static EVP_CIPHER* const aes256 = EVP_CIPHER_fetch(nullptr, "AES-256-ECB", nullptr);
    const EVP_CIPHER* cipher = keySize == 16 ? aes128 : keySize == 24 ? aes192 : keySize == 32 ? aes256 : nullptr;
    if (keySize == 16 || keySize == 24 || keySize == 32) {
        if (!cipher) CryptoFailed("AES");
    }
    if (!cipher) {
        throw std::invalid_argument("AES key size");
    }
    m_impl->ctx = EVP_CIPHER_CTX_new();
    if (!m_impl->ctx) {
        throw std::bad_alloc();
    }
    if (EVP_EncryptInit_ex(m_impl->ctx, cipher, nullptr, key, nullptr) != 1 ||
        EVP_CIPHER_CTX_set_padding(m_impl->ctx, 0) != 1) {
        CryptoFailed("AES");
    }
}

AesBlockEncryptor::~AesBlockEncryptor() = default;

void AesBlockEncryptor::EncryptBlocks(const unsigned char* in, unsigned char* out, std::size_t blocks)
{
    int made = 0;
    if (EVP_EncryptUpdate(m_impl->ctx, out, &made, in, static_cast<int>(blocks * 16)) != 1 ||
        made != static_cast<int>(blocks * 16)) {
        CryptoFailed("AES");
    }
}

struct HmacSha1::Impl {
    EVP_MAC_CTX* ctx = nullptr;
    ~Impl() { EVP_MAC_CTX_free(ctx); }
};

HmacSha1::HmacSha1(const unsigned char* key, std::size_t keySize) : m_impl(new Impl)
{
    static EVP_MAC* const mac = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
    m_impl->ctx = mac ? EVP_MAC_CTX_new(mac) : nullptr;
    if (!m_impl->ctx) {
        CryptoFailed("HMAC");
    }
    char digest[] = "SHA1";
    const OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
                                 OSSL_PARAM_construct_end()};
    if (EVP_MAC_init(m_impl->ctx, key, keySize, params) != 1) {
        CryptoFailed("HMAC");
    }
}

HmacSha1::~HmacSha1() = default;

void HmacSha1::Update(const unsigned char* data, std::size_t size)
{
    if (size && EVP_MAC_update(m_impl->ctx, data, size) != 1) {
        CryptoFailed("HMAC");
    }
}

void HmacSha1::Final(unsigned char out[kSize])
{
    std::size_t made = 0;
    if (EVP_MAC_final(m_impl->ctx, out, &made, kSize) != 1 || made != kSize) {
        CryptoFailed("HMAC");
    }
}

} // namespace velmora::crypto
