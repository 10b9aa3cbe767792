// The cryptographic primitives from libcrypto.
#include "archive/CryptoPrimitives.h"

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/params.h>

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
    if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), salt, static_cast<int>(saltSize),
                          static_cast<int>(iterations), EVP_sha1(), static_cast<int>(outSize), out) != 1) {
        CryptoFailed("PBKDF2");
    }
}

struct AesBlockEncryptor::Impl {
    EVP_CIPHER_CTX* ctx = nullptr;
    ~Impl() { EVP_CIPHER_CTX_free(ctx); }
};

AesBlockEncryptor::AesBlockEncryptor(const unsigned char* key, std::size_t keySize) : m_impl(new Impl)
{
    const EVP_CIPHER* cipher = keySize == 16   ? EVP_aes_128_ecb()
                               : keySize == 24 ? EVP_aes_192_ecb()
                               : keySize == 32 ? EVP_aes_256_ecb()
                                               : nullptr;
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
    EVP_MAC* mac = nullptr;
    EVP_MAC_CTX* ctx = nullptr;
    ~Impl()
    {
        EVP_MAC_CTX_free(ctx);
        EVP_MAC_free(mac);
    }
};

HmacSha1::HmacSha1(const unsigned char* key, std::size_t keySize) : m_impl(new Impl)
{
    m_impl->mac = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
    m_impl->ctx = m_impl->mac ? EVP_MAC_CTX_new(m_impl->mac) : nullptr;
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
