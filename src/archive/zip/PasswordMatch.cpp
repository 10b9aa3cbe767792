#include "archive/zip/PasswordMatch.h"

#include "archive/crypto/PkwareCipher.h"

namespace velmora::extraction {

bool MatchAesPassword(SharedArchive& file, const ZipEntryInfo& e, const AesExtraField& aes, std::uint64_t start,
                      const ZipExtractOptions& options, std::string& currentPassword, std::string& passwordBytes,
                      const std::optional<ReadyAesKeys>& ready, std::shared_ptr<const AesKeys>& keys)
{
    unsigned char head[16 + kAesVerifierSize];
    const std::size_t headSize = AesSaltSize(aes.strength) + kAesVerifierSize;
    if (e.compressedSize < AesOverhead(aes.strength) || !file.ReadAt(start, head, headSize)) {
        return false;
    }
    for (int attempt = 0; attempt <= 3; ++attempt) {
        if (attempt > 0 && options.needPassword && !options.needPassword(currentPassword)) {
            return false;
        }
        const std::string utf8 = currentPassword;
        const std::string windows1252 = PasswordBytes(currentPassword);
        for (const std::string* bytes : {&utf8, &windows1252}) {
            if (bytes == &windows1252 && windows1252 == utf8) {
                break; // an ASCII password has one form only
            }
            std::shared_ptr<const AesKeys> candidate;
            if (ready && ready->keys && ready->passwordBytes == *bytes && ready->keys->strength == aes.strength) {
                candidate = ready->keys;
            } else {
                candidate = std::make_shared<const AesKeys>(DeriveAesKeys(*bytes, head, aes.strength));
            }
            if (candidate->Open(head)) {
                passwordBytes = *bytes;
                keys = std::move(candidate);
                return true;
            }
        }
    }
    return false;
}

bool MatchTraditionalPassword(const unsigned char* header, unsigned char expected, const ZipExtractOptions& options,
                              std::string& currentPassword, std::string& passwordBytes)
{
    for (int attempt = 0; attempt <= 3; ++attempt) {
        if (attempt > 0 && options.needPassword && !options.needPassword(currentPassword)) {
            return false;
        }
        const std::string candidates[2] = {PasswordBytes(currentPassword), currentPassword};
        for (const std::string& bytes : candidates) {
            if (TraditionalDecipher::KeyMatches(header, bytes, expected)) {
                passwordBytes = bytes;
                return true;
            }
        }
    }
    return false;
}

} // namespace velmora::extraction
