// The data of an entry made ready for the archive: small files read and compressed whole,
// large files' pieces compressed, and the headers of their encryption.
#include "archive/zip/ArchiveBuilder.h"

namespace velmora::writer {

std::string StartAes(const EntryPlan& plan, const Encryption& encryption, std::optional<WinZipAesCipher>& cipher)
{
    const std::size_t saltSize = AesSaltSize(Encryption::kAesStrength);
    unsigned char verifier[kAesVerifierSize];
    cipher.emplace(encryption.passwordBytes, plan.random.data(), Encryption::kAesStrength, verifier);
    std::string head(reinterpret_cast<const char*>(plan.random.data()), saltSize);
    head.append(reinterpret_cast<const char*>(verifier), kAesVerifierSize);
    return head;
}

std::string FinishAes(WinZipAesCipher& cipher)
{
    unsigned char mac[kAesMacSize];
    cipher.Mac(mac);
    return std::string(reinterpret_cast<const char*>(mac), kAesMacSize);
}

std::string EncryptionHeader(const EntryPlan& plan)
{
    std::string header(reinterpret_cast<const char*>(plan.random.data()), 11);
    header.push_back(static_cast<char>((plan.dosTime >> 8) & 0xFF)); // high byte of the time field
    return header;
}

Prepared PrepareSmall(const EntryPlan& plan, const Encryption& encryption, int level)
{
    Prepared out;
    StdFile file;
    if (!OpenSource(plan.source, file)) {
        out.readable = false;
        out.reason = ErrorFromErrno(errno, Utf8FromPath(plan.source.path), "Opening");
        return out;
    }
    // Read straight into the buffer: no stdio buffer to fill (and to ask the size for).
    std::setvbuf(file.Handle(), nullptr, _IONBF, 0);
    std::string content;
    content.resize(std::max<std::size_t>(plan.size, 1) + 1);
    std::size_t got = file.Read(content.data(), content.size());
    while (got == content.size() && !file.Error()) {
        if (content.size() > kWholeLimit) {
            out.tooLarge = true;
            return out;
        }
        content.resize(content.size() * 2);
        got += file.Read(content.data() + got, content.size() - got);
    }
    if (file.Error()) {
        out.readable = false;
        out.reason = ErrorFromErrno(errno, Utf8FromPath(plan.source.path), "Reading");
        return out;
    }
    content.resize(got);
    out.size = got;
    out.crc = got ? Crc32(0, content.data(), got) : 0;
    std::string body;
    const auto* bytes = reinterpret_cast<const unsigned char*>(content.data());
    if (got > 0 && DeflateWhole(bytes, got, level, body) && body.size() <= got) {
        out.method = 8;
    } else {
        out.method = 0;
        body = std::move(content);
    }
    if (encryption.aes) {
        std::optional<WinZipAesCipher> cipher;
        std::string data = StartAes(plan, encryption, cipher);
        cipher->Encrypt(reinterpret_cast<unsigned char*>(body.data()), body.size());
        data.append(body);
        data.append(FinishAes(*cipher));
        out.data = std::move(data);
    } else if (encryption.On()) {
        PkwareCipher cipher(encryption.passwordBytes);
        std::string data = EncryptionHeader(plan);
        data.append(body);
        cipher.Encrypt(reinterpret_cast<unsigned char*>(data.data()), data.size());
        out.data = std::move(data);
    } else {
        out.data = std::move(body);
    }
    return out;
}

CompressedPiece CompressPiece(const std::string& input, int level)
{
    CompressedPiece out;
    out.crc = Crc32(0, input.data(), input.size());
    DeflatePiece(reinterpret_cast<const unsigned char*>(input.data()), input.size(), level, out.data);
    return out;
}

} // namespace velmora::writer
