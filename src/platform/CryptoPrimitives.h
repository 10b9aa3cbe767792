#pragma once
// The few cryptographic primitives the AES entries need, behind a small interface so
// each platform supplies them from its own library (libcrypto here); no library header
// shows through.
#include <cstddef>
#include <memory>
#include <string_view>

namespace velmora::crypto {

// PBKDF2 with HMAC-SHA1.
void Pbkdf2HmacSha1(std::string_view password, const unsigned char* salt, std::size_t saltSize, unsigned iterations,
                    unsigned char* out, std::size_t outSize);

// AES (128, 192 or 256 bits by the key's size) encrypting whole 16-byte blocks on their own.
class AesBlockEncryptor {
public:
    AesBlockEncryptor(const unsigned char* key, std::size_t keySize);
    ~AesBlockEncryptor();
    AesBlockEncryptor(const AesBlockEncryptor&) = delete;
    AesBlockEncryptor& operator=(const AesBlockEncryptor&) = delete;
    void EncryptBlocks(const unsigned char* in, unsigned char* out, std::size_t blocks);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// HMAC-SHA1 over a stream of bytes.
class HmacSha1 {
public:
    static constexpr std::size_t kSize = 20;
    HmacSha1(const unsigned char* key, std::size_t keySize);
    ~HmacSha1();
    HmacSha1(const HmacSha1&) = delete;
    HmacSha1& operator=(const HmacSha1&) = delete;
    void Update(const unsigned char* data, std::size_t size);
    void Final(unsigned char out[kSize]);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace velmora::crypto
