// The planning of one entry in an extraction run: its method and where its data lies, the
// local and central records reconciled, the password checked and AES keys derived ahead,
// and a link entry made as the policy allows.
#include "archive/zip/ExtractionRun.h"

#include "archive/codecs/EntryDecoder.h"
#include "archive/crypto/PkwareCipher.h"
#include "archive/crypto/WinZipAes.h"
#include "archive/zip/ZipNames.h"
#include "common/AsciiText.h"
#include "common/Utf8Path.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace velmora::extraction {

using namespace archive;

void Extraction::MakeLinkEntry(std::size_t i, const EntryJob& job, const std::string& relative)
{
    const ZipEntryInfo& e = m_entry;
    const fs::path path = m_request.target / PathFromUtf8(relative);
    constexpr std::uint64_t kLongestTarget = 4095;
    std::string target;
    JobResult result;
    Guarded(result, [&] {
        if (job.plainSize > kLongestTarget) throw LayerFailure(ErrorKind::Damaged, "the link's target is too long");
        std::unique_ptr<ByteSource> source = BuildEntryPipeline(job.stream);
        target.resize(static_cast<std::size_t>(job.plainSize) + 1);
        std::size_t got = 0;
        for (std::size_t n;
             got < target.size() &&
             (n = source->Read(reinterpret_cast<unsigned char*>(target.data()) + got, target.size() - got)) > 0;) {
            got += n;
        }
        if (got != job.plainSize) throw LayerFailure(ErrorKind::Damaged, "the link's target has the wrong size");
        source->Finish();
        target.resize(got);
        if (job.checkCrc && Crc32(0, target.data(), target.size()) != job.crc32) {
            throw LayerFailure(ErrorKind::Damaged, "CRC-32 mismatch");
        }
    });
    if (result.error) {
        if (result.error->path.empty()) result.error->path = e.name;
        Fail(*result.error);
        return;
    }
    const std::string shown = "'" + Utf8FromPath(path) + "' -> '" + target + "'";
    if (const std::string refusal = LinkRefusal(relative, target); !refusal.empty()) {
        m_result.warnings.push_back(shown + ": link not made, " + refusal);
        return;
    }
    const fs::path name = job.output.name;
    FolderHandle& folder = *job.output.folder;
    int error = folder.MakeLink(name, target);
    if (error == EEXIST) {
        // Something is there already: replaced under the rules that files follow, in one step.
        try {
            CheckedSink::CommitRules rules;
            rules.notOver = m_request.notOver.empty() ? m_request.archive : m_request.notOver;
            CheckOutputSlot(job.output, rules);
        } catch (const LayerFailure& failure) {
            Fail(failure.Error());
            return;
        }
        const fs::path temp = PathFromUtf8(".velmora-link-" + std::to_string(i));
        folder.RemoveTree(temp);
        error = folder.MakeLink(temp, target);
        if (error == 0) error = folder.Move(temp, folder, name);
        if (error != 0) folder.RemoveTree(temp);
    }
    if (error == ENOSYS) {
        m_result.warnings.push_back(shown + ": link not made, links are not made on this system");
        return;
    }
    if (error != 0) {
        Fail({ErrorKind::Io, Utf8FromPath(path), error, "Making the link"});
        return;
    }
    m_state.madeLinks.insert(path);
    ++m_result.filesWritten;
    ++m_result.entriesPassed;
}

std::string Extraction::LinkRefusal(const std::string& relative, const std::string& target)
{
    if (m_options.links == LinkPolicy::Skip) return "links are skipped";
    if (target.empty() || target.find('\0') != std::string::npos) return "its target is empty or not a name";
    if (m_options.links == LinkPolicy::All) return {};
    if (target.front() == '/') return "it points outside the folder";
    std::vector<std::string> parts;
    for (std::size_t at = 0; at <= target.size();) {
        const std::size_t slash = std::min(target.find('/', at), target.size());
        parts.push_back(target.substr(at, slash - at));
        at = slash + 1;
    }
    std::vector<fs::path> folder;
    for (const fs::path& part : PathFromUtf8(relative).parent_path())
        folder.push_back(part);
    std::size_t k = 0;
    for (; k < parts.size() && (parts[k] == ".." || parts[k] == "." || parts[k].empty()); ++k) {
        if (parts[k] != "..") continue;
        if (folder.empty()) return "it points outside the folder";
        folder.pop_back();
    }
    fs::path at;
    for (const fs::path& part : folder)
        at /= part;
    int error = 0;
    std::shared_ptr<FolderHandle> walk = OpenFolderBeneath(m_root, at, error);
    for (; k < parts.size(); ++k) {
        if (parts[k] == "..") return "its target climbs back up after going down";
        if (parts[k] == "." || parts[k].empty()) continue;
        const fs::path part = PathFromUtf8(parts[k]);
        at /= part;
        if (!walk) continue; // missing on the way: nothing to pass through yet
        FolderItem item;
        if (walk->Look(part, item) != 0 || item.kind == FolderItem::Kind::Missing) {
            walk.reset();
        } else if (item.kind == FolderItem::Kind::Link) {
            if (!m_state.madeLinks.count(m_request.target / at))
                return "it passes through a link that was there already";
            walk.reset(); // a link of this run: its target kept to the rule
        } else if (item.kind == FolderItem::Kind::Folder) {
            walk = walk->Child(part, FolderHandle::ChildMode::Open, nullptr, error);
        } else {
            walk.reset();
        }
    }
    return {};
}

bool Extraction::PlanJob(std::size_t i, const OutputSlot& output, EntryJob& job)
{
    const ZipEntryInfo& e = m_entry;
    // An AES entry names its real method in its 0x9901 field.
    std::optional<AesExtraField> aes;
    if (e.method == zipmethod::kAes) {
        aes = FindAesExtra(e.extra);
        if (!aes || !e.encrypted) {
            Fail({ErrorKind::Damaged, e.name, 0, "damaged AES extra field"});
            return false;
        }
    }
    if (const std::uint16_t method = aes ? aes->method : e.method; !IsMethodSupported(method)) {
        Fail({ErrorKind::Unsupported, e.name, 0, MethodText(method) + " is not supported"});
        return false;
    }
    job.output = output;
    job.crc32 = e.crc32;
    job.plainSize = e.uncompressedSize;
    job.cancel = m_options.cancel;
    job.commit.time = m_options.restoreTimes ? (e.modified ? e.modified : DosToFileTime(e.dosDateTime)) : std::nullopt;
    job.commit.mode = RecordedMode(e);
    if (!job.commit.mode && output.folder) {
        if (!m_newFileMode) m_newFileMode = NewFileMode();
        job.commit.newFileMode = m_newFileMode;
    }
    job.commit.notOver = m_request.notOver.empty() ? m_request.archive : m_request.notOver;
    DataSpan span;
    const std::string error = LocateData(*m_archive, m_index, e, m_next[i], span);
    const bool disagree = span.localSizes && (span.localCrc != e.crc32 || span.localPacked != e.compressedSize ||
                                              span.localPlain != e.uncompressedSize);
    if (!error.empty() && !(disagree && span.start <= m_next[i])) {
        Fail({ErrorKind::Damaged, e.name, 0, error});
        return false;
    }
    job.stream.archive = m_archive;
    job.stream.dataOffset = span.start;
    job.stream.dataLength = e.compressedSize;
    job.stream.decoder.method = aes ? aes->method : e.method;
    job.stream.decoder.flags = e.flags;
    job.stream.decoder.plainSize = e.uncompressedSize;
    if (disagree && !ReconcileRecords(i, span, error.empty(), job)) return false;
    if (e.encrypted) return PlanCipher(i, span, aes, job);
    return true;
}

bool Extraction::ReconcileRecords(std::size_t i, const DataSpan& span, bool centralFits, EntryJob& job)
{
    const ZipEntryInfo& e = m_entry;
    std::string fields;
    const auto field = [&](bool differs, const char* name) {
        if (differs) fields += (fields.empty() ? "" : ", ") + std::string(name);
    };
    field(span.localPacked != e.compressedSize, "compressed size");
    field(span.localPlain != e.uncompressedSize, "size");
    field(span.localCrc != e.crc32, "CRC-32");
    const bool localFits = span.localPacked <= m_next[i] - span.start;
    const auto bornOut = [&](std::uint64_t packed, std::uint64_t plain, std::uint32_t crc) {
        EntryJob trial = job;
        trial.output = OutputSlot{};
        trial.keepUnnamed = false;
        trial.stream.dataLength = packed;
        trial.stream.decoder.plainSize = plain;
        trial.plainSize = plain;
        trial.crc32 = crc;
        return !RunEntryJob(trial).error;
    };
    const std::string disagreement = "the central and local records disagree on the " + fields;
    if (!e.encrypted && centralFits && bornOut(e.compressedSize, e.uncompressedSize, e.crc32)) {
        m_result.warnings.push_back("'" + e.name + "': " + disagreement + "; the central record matches the data");
        return true;
    }
    if (!e.encrypted && localFits && bornOut(span.localPacked, span.localPlain, span.localCrc)) {
        m_result.warnings.push_back("'" + e.name + "': " + disagreement + "; the local record matches the data");
        job.stream.dataLength = span.localPacked;
        job.stream.decoder.plainSize = span.localPlain;
        job.plainSize = span.localPlain;
        job.crc32 = span.localCrc;
        return true;
    }
    if (e.encrypted && centralFits) return true; // checked as before
    Fail({ErrorKind::Damaged, e.name, 0, disagreement + ", and the data matches neither"});
    return false;
}

bool Extraction::PlanCipher(std::size_t i, const DataSpan& span, const std::optional<AesExtraField>& aes, EntryJob& job)
{
    const ZipEntryInfo& e = m_entry;
    if (!m_request.password) {
        Fail({ErrorKind::WrongPassword, e.name, 0, "the entry is encrypted"});
        return false;
    }
    if (aes) {
        if (!MatchAesPassword(*m_archive, e, *aes, span.start, m_options, m_password, job.stream.passwordBytes,
                              TakeKeysAhead(i), job.stream.aesKeys)) {
            Fail({ErrorKind::WrongPassword, e.name, 0, {}});
            m_stop = true;
            return false;
        }
        job.stream.aesStrength = aes->strength;
        job.checkCrc = aes->version == 1;
        DeriveKeysAhead(i, job.stream.passwordBytes);
        return true;
    }
    unsigned char header[12];
    if (e.compressedSize < 12 || !m_archive->ReadAt(span.start, header, 12)) {
        Fail({ErrorKind::Damaged, e.name, 0, "damaged encryption header"});
        return false;
    }
    const unsigned char expected = span.descriptorFlag ? static_cast<unsigned char>((e.dosDateTime >> 8) & 0xFF)
                                                       : static_cast<unsigned char>(e.crc32 >> 24);
    if (!MatchTraditionalPassword(header, expected, m_options, m_password, job.stream.passwordBytes)) {
        Fail({ErrorKind::WrongPassword, e.name, 0, {}});
        m_stop = true;
        return false;
    }
    job.stream.encrypted = true;
    job.stream.checkByte = expected;
    return true;
}

void Extraction::DeriveKeysAhead(std::size_t i, const std::string& passwordBytes)
{
    if (!m_pool) m_pool.emplace(WorkerPool::DefaultThreads(0));
    const std::size_t last = std::min(m_index.size() - 1, i + 4 * std::size_t{m_pool->Size()});
    for (m_keysAheadFrom = std::max(m_keysAheadFrom, i + 1); m_keysAheadFrom <= last; ++m_keysAheadFrom) {
        const std::size_t j = m_keysAheadFrom;
        if (m_index[j].method != zipmethod::kAes || !m_index[j].Encrypted()) continue;
        const ZipEntryInfo e = m_index.Entry(j);
        const std::optional<AesExtraField> aes = FindAesExtra(e.extra);
        DataSpan span;
        unsigned char head[16 + kAesVerifierSize];
        if (!aes || e.compressedSize < AesOverhead(aes->strength) ||
            !LocateData(*m_archive, m_index, e, m_next[j], span).empty() ||
            !m_archive->ReadAt(span.start, head, AesSaltSize(aes->strength) + kAesVerifierSize)) {
            continue; // the entry's own check reports it
        }
        auto task = std::make_shared<AesKeyTask>(passwordBytes, head, aes->strength);
        m_keyTasks.emplace(j, task);
        m_pool->Submit([task] { task->Run(); });
    }
}

std::optional<ReadyAesKeys> Extraction::TakeKeysAhead(std::size_t i)
{
    std::optional<ReadyAesKeys> ready;
    while (!m_keyTasks.empty() && m_keyTasks.begin()->first <= i) {
        const auto first = m_keyTasks.begin();
        if (first->first == i) {
            ready = first->second->Take();
        } else {
            first->second->Cancel();
        }
        m_keyTasks.erase(first);
    }
    return ready;
}

void Extraction::CancelKeysAhead()
{
    for (auto& [index, task] : m_keyTasks)
        task->Cancel();
    m_keyTasks.clear();
}

} // namespace velmora::extraction
