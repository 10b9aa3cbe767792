// The cryptographic primitives of the AES entries from the system's own BCrypt.
#include "platform/CryptoPrimitives.h"

// windows.h first: the Windows headers below need its types.
#include <windows.h>

#include <bcrypt.h>

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace velmora::crypto {

namespace {
[[noreturn]] void CryptoFailed(const char* what)
{
    throw std::runtime_error(std::string("system cryptography failed: ") + what);
}

bool Ok(NTSTATUS status)
{
    return status >= 0;
}

void Check(NTSTATUS status, const char* what)
{
    if (!Ok(status)) CryptoFailed(what);
}

// A key or hash object, destroyed with the class that holds it.
template <NTSTATUS(WINAPI* Destroy)(void*)> struct BCryptObject {
    void* handle = nullptr;
    BCryptObject() = default;
    BCryptObject(const BCryptObject&) = delete;
    BCryptObject& operator=(const BCryptObject&) = delete;
    ~BCryptObject()
    {
        if (handle) Destroy(handle);
    }
};

// Algorithm providers are opened once per process and kept.
BCRYPT_ALG_HANDLE Provider(const wchar_t* algorithm, ULONG flags)
{
    BCRYPT_ALG_HANDLE handle = nullptr;
    if (!Ok(BCryptOpenAlgorithmProvider(&handle, algorithm, nullptr, flags))) CryptoFailed("opening a provider");
    return handle;
}

BCRYPT_ALG_HANDLE HmacSha1Provider()
{
    static const BCRYPT_ALG_HANDLE provider = Provider(BCRYPT_SHA1_ALGORITHM, BCRYPT_ALG_HANDLE_HMAC_FLAG);
    return provider;
}

BCRYPT_ALG_HANDLE AesEcbProvider()
{
    static const BCRYPT_ALG_HANDLE provider = [] {
        BCRYPT_ALG_HANDLE handle = Provider(BCRYPT_AES_ALGORITHM, 0);
        const wchar_t mode[] = BCRYPT_CHAIN_MODE_ECB;
        if (!Ok(BCryptSetProperty(handle, BCRYPT_CHAINING_MODE, reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(mode)),
                                  sizeof(mode), 0))) {
            CryptoFailed("AES mode");
        }
        return handle;
    }();
    return provider;
}
} // namespace

void Pbkdf2HmacSha1(std::string_view password, const unsigned char* salt, std::size_t saltSize, unsigned iterations,
                    unsigned char* out, std::size_t outSize)
{
    if (!Ok(BCryptDeriveKeyPBKDF2(HmacSha1Provider(), reinterpret_cast<PUCHAR>(const_cast<char*>(password.data())),
                                  static_cast<ULONG>(password.size()), const_cast<PUCHAR>(salt),
                                  static_cast<ULONG>(saltSize), iterations, out, static_cast<ULONG>(outSize), 0))) {
        CryptoFailed("PBKDF2");
    }
}

struct AesBlockEncryptor::Impl : BCryptObject<BCryptDestroyKey> {};

AesBlockEncryptor::AesBlockEncryptor(const unsigned char* key, std::size_t keySize) : m_impl(new Impl)
{
    if (keySize != 16 && keySize != 24 && keySize != 32) throw std::invalid_argument("AES key size");
    Check(BCryptGenerateSymmetricKey(AesEcbProvider(), &m_impl->handle, nullptr, 0, const_cast<PUCHAR>(key),
                                     static_cast<ULONG>(keySize), 0),
          "AES key");
}

AesBlockEncryptor::~AesBlockEncryptor() = default;

void AesBlockEncryptor::EncryptBlocks(const unsigned char* in, unsigned char* out, std::size_t blocks)
{
    ULONG made = 0;
    const ULONG size = static_cast<ULONG>(blocks * 16);
    if (!Ok(BCryptEncrypt(m_impl->handle, const_cast<PUCHAR>(in), size, nullptr, nullptr, 0, out, size, &made, 0)) ||
        made != size) {
        CryptoFailed("AES");
    }
}

struct HmacSha1::Impl : BCryptObject<BCryptDestroyHash> {};

HmacSha1::HmacSha1(const unsigned char* key, std::size_t keySize) : m_impl(new Impl)
{
    Check(BCryptCreateHash(HmacSha1Provider(), &m_impl->handle, nullptr, 0, const_cast<PUCHAR>(key),
                           static_cast<ULONG>(keySize), 0),
          "HMAC");
}

HmacSha1::~HmacSha1() = default;

void HmacSha1::Update(const unsigned char* data, std::size_t size)
{
    if (size && !Ok(BCryptHashData(m_impl->handle, const_cast<PUCHAR>(data), static_cast<ULONG>(size), 0))) {
        CryptoFailed("HMAC");
    }
}

void HmacSha1::Final(unsigned char out[kSize])
{
    if (!Ok(BCryptFinishHash(m_impl->handle, out, static_cast<ULONG>(kSize), 0))) CryptoFailed("HMAC");
}

} // namespace velmora::crypto
