// Extracts a gzip file member by member into its own folder.
#include "archive/gzip/GzipReader.h"

#include "archive/ArchiveIo.h"
#include "archive/BackgroundWriter.h"
#include "archive/EntryLayers.h"
#include "archive/ReadAhead.h"
#include "archive/codecs/StreamInflate.h"
#include "common/CodePages.h"
#include "common/Errors.h"
#include "common/Utf.h"
#include "common/Utf8Path.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace velmora {

using namespace archive;
namespace fs = std::filesystem;

std::string GzipOutputName(std::string_view storedName, bool hasName)
{
    if (!hasName) {
        return "unknown";
    }
    std::string text =
        IsValidUtf8(storedName) ? std::string(storedName) : DecodeCodePage(CodePage::Ansi1252, storedName);
    const std::size_t cut = text.find_last_of("\\/:");
    if (cut != std::string::npos) {
        text.erase(0, cut + 1);
    }
    // A name that is empty or names a folder itself cannot be a file name.
    if (text.empty() || text == "." || text == "..") {
        return "unknown";
    }
    return text;
}

namespace {

// The input in chunks read ahead on a second thread, with room to put bytes back.
class BufferedInput {
public:
    explicit BufferedInput(StdFile& file) : m_source(file, kInputChunk, kInputChunks) {}
    bool Byte(unsigned char& out)
    {
        if (m_pos == m_end && !Fill()) {
            return false;
        }
        out = m_buffer[m_pos++];
        return true;
    }
    bool Skip(std::size_t n)
    {
        unsigned char b;
        while (n-- > 0) {
            if (!Byte(b)) return false;
        }
        return true;
    }
    bool Fill()
    {
        m_pos = 0;
        m_end = m_source.Next(m_buffer) ? m_buffer.size() : 0;
        m_read += m_end;
        return m_end > 0;
    }
    // Gives back the byte Byte returned last.
    void PutBack() { --m_pos; }
    // Puts bytes that were taken from the input back in front of what is left of it.
    void Unread(const unsigned char* data, std::size_t n)
    {
        if (n == 0) return;
        if (m_pos < n) {
            m_buffer.insert(m_buffer.begin() + static_cast<std::ptrdiff_t>(m_pos), n - m_pos, 0);
            m_end += n - m_pos;
            m_pos = n;
        }
        m_pos -= n;
        std::memcpy(m_buffer.data() + m_pos, data, n);
    }
    unsigned char* Data() { return m_buffer.data() + m_pos; }
    std::size_t Available() const { return m_end - m_pos; }
    void Consume(std::size_t n) { m_pos += n; }
    std::uint64_t TotalRead() const { return m_read; }

private:
    // Up to 2 MiB of input is read ahead.
    static constexpr std::size_t kInputChunk = 256u << 10;
    static constexpr std::size_t kInputChunks = 8;
    ReadAhead m_source;
    std::vector<unsigned char> m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
    std::uint64_t m_read = 0;
};

struct MemberHeader {
    std::uint32_t mtime = 0;
    bool hasName = false;
    std::string storedName;
};

// Reads one member header (RFC 1952); returns an error text or "".
std::string ReadMemberHeader(BufferedInput& in, MemberHeader& member)
{
    unsigned char header[10];
    for (unsigned char& b : header) {
        if (!in.Byte(b)) return "Not a gzip file";
    }
    if (header[0] != 31 || header[1] != 139 || header[2] != 8) return "Not a gzip file";
    const unsigned flags = header[3];
    member.mtime = Get32(header + 4);
    if (flags & 0x04) {
        unsigned char lo, hi;
        if (!in.Byte(lo) || !in.Byte(hi) || !in.Skip(static_cast<std::size_t>(lo | (hi << 8)))) {
            return "Damaged gzip header: extra field";
        }
    }
    member.hasName = (flags & 0x08) != 0;
    if (member.hasName) {
        for (unsigned char b;;) {
            if (!in.Byte(b)) return "Damaged gzip header: file name";
            if (b == 0) break;
            if (member.storedName.size() > 65535) return "Damaged gzip header: file name too long";
            member.storedName.push_back(static_cast<char>(b));
        }
    }
    if (flags & 0x10) {
        for (unsigned char b = 1; b != 0;) {
            if (!in.Byte(b)) return "Damaged gzip header: comment";
        }
    }
    if ((flags & 0x02) && !in.Skip(2)) return "Damaged gzip header: header CRC";
    return {};
}

// The output is decoded into buffers of this size, which a writer thread checksums and
// writes while the next one is decoded.
constexpr std::size_t kOutBuffer = 256u << 10;
// Up to this many decoded buffers (16 MiB) may wait for the writer. When the machine is busy
// the writer thread can wait for a core for several milliseconds; with only a few buffers
// queued the decoder then stops too and waits for a core again itself (on a loaded 2-core
// machine a queue of 3 made gunzip a fifth slower than one of 64). While the writer keeps
// up, the queue stays short and the buffers stay in the cache.
constexpr std::size_t kQueuedBuffers = 64;

// Inflates one member's deflate stream, hands the output to writer (which feeds sink), and
// checks the member's trailer once its output has all reached the sink.
void InflateMember(BufferedInput& in, StreamInflater& inflater, BackgroundWriter& writer, CheckedSink& sink,
                   WriteBuffer& out, const GunzipOptions& options, std::uint64_t fileSize)
{
    inflater.Reset();
    bool inputEnded = false;
    for (;;) {
        if (options.cancel && options.cancel->load()) throw LayerFailure(ErrorKind::Cancelled, {});
        if (in.Available() == 0 && !inputEnded) {
            inputEnded = !in.Fill();
            if (options.progress) options.progress(std::min(in.TotalRead(), fileSize), fileSize);
        }
        out.Reserve(kOutBuffer);
        std::size_t used = 0;
        std::size_t made = 0;
        const auto status =
            inflater.Inflate(in.Data(), in.Available(), out.data.get() + out.size, kOutBuffer - out.size, used, made);
        in.Consume(used);
        out.size += made;
        if (status == StreamInflater::Status::Damaged) {
            throw LayerFailure(ErrorKind::Damaged, "The compressed data is damaged");
        }
        if (status == StreamInflater::Status::End) {
            unsigned char ahead[StreamInflater::kMaxReadAhead];
            in.Unread(ahead, inflater.TakeReadAhead(ahead));
            break;
        }
        if (out.size == kOutBuffer) {
            writer.Push(out);
        } else if (used == 0 && made == 0 && (inputEnded || in.Available() > 0)) {
            throw LayerFailure(ErrorKind::Damaged,
                               inputEnded ? "The compressed data ends early" : "The compressed data is damaged");
        }
    }
    if (out.size > 0) writer.Push(out);
    writer.Drain();
    unsigned char trailer[8];
    for (unsigned char& b : trailer) {
        if (!in.Byte(b)) throw LayerFailure(ErrorKind::Damaged, "The gzip trailer is missing");
    }
    if (Get32(trailer) != sink.Crc()) throw LayerFailure(ErrorKind::Damaged, "CRC-32 mismatch");
    if (Get32(trailer + 4) != static_cast<std::uint32_t>(sink.Count() & 0xFFFFFFFFu)) {
        throw LayerFailure(ErrorKind::Damaged, "Length mismatch");
    }
    sink.RestartCount();
}

} // namespace

GunzipResult GUnzipToFile(const fs::path& filename, const GunzipOptions& options)
{
    GunzipResult result;
    // The gzip file's folder is opened first and held: the gzip file is read from it, and
    // the output made in it, so a folder swapped for a link part way changes neither.
    const fs::path folderPath = filename.parent_path();
    int folderError = 0;
    const std::shared_ptr<FolderHandle> folder = OpenFolderHandle(folderPath, folderError);
    if (!folder) {
        result.outcome = Fail(
            ErrorFromErrno(folderError, folderPath.empty() ? std::string(".") : Utf8FromPath(folderPath), "Opening"));
        return result;
    }
    StdFile input;
    int openError = 0;
    std::FILE* handle = folder->OpenForReading(filename.filename(), openError);
    if (!handle) {
        result.outcome = Fail(ErrorFromErrno(openError, Utf8FromPath(filename), "Opening"));
        return result;
    }
    input.Adopt(handle);
    const std::optional<std::uint64_t> size = input.Size();
    if (!size || *size == 0 || !input.Seek(0)) {
        result.outcome = Fail(!size ? ErrorFromErrno(errno, Utf8FromPath(filename), "Reading")
                                    : Error{Error::Kind::InvalidData, {}, 0, "The file is empty"});
        return result;
    }
    const std::uint64_t fileSize = *size;
    BufferedInput in(input);
    MemberHeader first;
    if (std::string error = ReadMemberHeader(in, first); !error.empty()) {
        result.outcome = Fail(Error{Error::Kind::InvalidData, {}, 0, std::move(error)});
        return result;
    }
    const fs::path output = folderPath / PathFromUtf8(GzipOutputName(first.storedName, first.hasName));
    result.output = output;
    const OutputSlot slot{folder, output.filename(), output};
    // Never over the gzip file itself, a folder, a link, a special file or a read-only file.
    CheckedSink::CommitRules rules;
    rules.notOver = filename;
    rules.keepReadOnly = true;
    if (options.attributes) {
        const AttributeReader attributes = options.attributes;
        rules.isReadOnly = [attributes](const fs::path& path) {
            const auto value = attributes(path);
            return value && (*value & kAttrReadOnly);
        };
    }
    try {
        CheckOutputSlot(slot, rules);
        CheckedSink sink(slot);
        const std::unique_ptr<StreamInflater> inflater = MakeStreamInflater();
        WriteBuffer out;
        BackgroundWriter writer([&sink](const unsigned char* data, std::size_t size) { sink.Write(data, size); },
                                kQueuedBuffers);
        // Every member in turn, each with its own CRC-32 and length; the output is their
        // concatenation. Any damage fails the whole file.
        for (bool more = true; more;) {
            InflateMember(in, *inflater, writer, sink, out, options, fileSize);
            unsigned char next;
            if (!in.Byte(next)) break;
            if (next == 0) {
                // Zero padding after the last member (tape blocks) is allowed, nothing else.
                for (unsigned char b = 0; in.Byte(b);) {
                    if (b != 0) throw LayerFailure(ErrorKind::Damaged, "Data after the last gzip member");
                }
                break;
            }
            in.PutBack();
            MemberHeader member;
            if (std::string error = ReadMemberHeader(in, member); !error.empty()) {
                throw LayerFailure(ErrorKind::Damaged, "Data after a gzip member is no further member");
            }
        }
        if (first.mtime != 0) {
            if (auto dos = UnixToDos(first.mtime)) rules.time = DosToFileTime(*dos);
        }
        sink.Commit(rules);
        if (options.clearAttributes) {
            try {
                options.clearAttributes(output);
            } catch (...) {
            }
        }
    } catch (const std::exception& caught) {
        result.outcome = Fail(CaughtError(caught));
    }
    return result;
}

} // namespace velmora
