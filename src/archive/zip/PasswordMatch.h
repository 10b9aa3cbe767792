#pragma once
// Finding the password bytes that open an encrypted entry, and AES keys derived ahead on a
// helper thread. Internal to src/archive.
#include "archive/crypto/WinZipAes.h"
#include "archive/zip/Extraction.h"

#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace velmora::extraction {

using namespace archive;

// Keys derived ahead of time for one AES entry, with the password bytes they came from.
struct ReadyAesKeys {
    std::string passwordBytes;
    std::shared_ptr<const AesKeys> keys;
};

// Finds the password bytes that open an AES entry (its UTF-8 bytes first, as the writers
// of AES entries use them, then Windows-1252), asking for another password up to three
// times like the traditional cipher does. keys receives the keys that open it; keys made
// ahead for the same password bytes are used instead of deriving them again.
bool MatchAesPassword(SharedArchive& file, const ZipEntryInfo& e, const AesExtraField& aes, std::uint64_t start,
                      const ZipExtractOptions& options, std::string& currentPassword, std::string& passwordBytes,
                      const std::optional<ReadyAesKeys>& ready, std::shared_ptr<const AesKeys>& keys);

// The key derivation of one AES entry, queued for a helper thread; whichever thread comes
// to it first does it.
class AesKeyTask {
public:
    AesKeyTask(std::string passwordBytes, const unsigned char* head, std::uint8_t strength)
        : m_passwordBytes(std::move(passwordBytes)), m_strength(strength)
    {
        std::memcpy(m_salt, head, AesSaltSize(strength));
    }
    // Derives the keys unless another thread has started on them or they were cancelled.
    void Run()
    {
        {
            std::lock_guard lock(m_mutex);
            if (m_state != State::Waiting) return;
            m_state = State::Deriving;
        }
        std::shared_ptr<const AesKeys> keys;
        try {
            keys = std::make_shared<const AesKeys>(DeriveAesKeys(m_passwordBytes, m_salt, m_strength));
        } catch (const std::exception&) {
            // left to the ordinary check, which reports the failure for its entry
        }
        std::lock_guard lock(m_mutex);
        m_keys = std::move(keys);
        m_state = State::Done;
        m_done.notify_all();
    }
    void Cancel()
    {
        std::lock_guard lock(m_mutex);
        if (m_state == State::Waiting) m_state = State::Done;
    }
    // The keys, derived here when no helper has started on them yet.
    ReadyAesKeys Take()
    {
        Run();
        std::unique_lock lock(m_mutex);
        m_done.wait(lock, [this] { return m_state == State::Done; });
        return {m_passwordBytes, m_keys};
    }

private:
    enum class State { Waiting, Deriving, Done };
    const std::string m_passwordBytes;
    unsigned char m_salt[16] = {};
    const std::uint8_t m_strength;
    std::mutex m_mutex;
    std::condition_variable m_done;
    State m_state = State::Waiting;
    std::shared_ptr<const AesKeys> m_keys;
};

// Finds the password bytes whose key decrypts the traditional encryption header to the
// expected check byte (the password's Windows-1252 bytes first, then its UTF-8 bytes),
// asking for another password up to three times.
bool MatchTraditionalPassword(const unsigned char* header, unsigned char expected, const ZipExtractOptions& options,
                              std::string& currentPassword, std::string& passwordBytes);

} // namespace velmora::extraction
