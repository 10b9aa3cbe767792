#include "archive/GzipReader.h"

#include "archive/ArchiveIo.h"
#include "archive/BackgroundWriter.h"
#include "common/CodePages.h"
#include "common/Errors.h"
#include "common/Utf.h"

#include <zlib.h>

#include <cerrno>
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

class BufferedInput {
public:
    explicit BufferedInput(StdFile& file) : m_file(file), m_buffer(1u << 18) {}
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
        m_end = m_file.Read(m_buffer.data(), m_buffer.size());
        m_read += m_end;
        return m_end > 0;
    }
    unsigned char* Data() { return m_buffer.data() + m_pos; }
    std::size_t Available() const { return m_end - m_pos; }
    void Consume(std::size_t n) { m_pos += n; }
    std::uint64_t TotalRead() const { return m_read; }

private:
    StdFile& m_file;
    std::vector<unsigned char> m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
    std::uint64_t m_read = 0;
};

} // namespace

GunzipResult GUnzipToFile(const fs::path& filename, const GunzipOptions& options)
{
    GunzipResult result;
    std::error_code ec;
    const std::uint64_t fileSize = fs::file_size(filename, ec);
    if (ec || fileSize == 0) {
        result.error = ec ? SystemErrorText("Reading", filename.string(), ec.value()) : "The file is empty";
        return result;
    }
    StdFile input;
    if (!input.Open(filename, "rb")) {
        result.error = SystemErrorText("Opening", filename.string(), errno);
        return result;
    }
    BufferedInput in(input);
    unsigned char header[10];
    for (unsigned char& b : header) {
        if (!in.Byte(b)) {
            result.error = "Not a gzip file";
            return result;
        }
    }
    if (header[0] != 31 || header[1] != 139 || header[2] != 8) {
        result.error = "Not a gzip file";
        return result;
    }
    const unsigned flags = header[3];
    const std::uint32_t mtime = Get32(header + 4);
    const auto bad = [&](const char* what) {
        result.error = std::string("Damaged gzip header: ") + what;
        return result;
    };
    if (flags & 0x04) {
        unsigned char lo, hi;
        if (!in.Byte(lo) || !in.Byte(hi) || !in.Skip(static_cast<std::size_t>(lo | (hi << 8)))) {
            return bad("extra field");
        }
    }
    std::string storedName;
    if (flags & 0x08) {
        for (unsigned char b;;) {
            if (!in.Byte(b)) return bad("file name");
            if (b == 0) break;
            if (storedName.size() > 65535) return bad("file name too long");
            storedName.push_back(static_cast<char>(b));
        }
    }
    if (flags & 0x10) {
        for (unsigned char b = 1; b != 0;) {
            if (!in.Byte(b)) return bad("comment");
        }
    }
    if ((flags & 0x02) && !in.Skip(2)) {
        return bad("header CRC");
    }
    const fs::path output = filename.parent_path() / GzipOutputName(storedName, (flags & 0x08) != 0);
    result.output = output;
    if (fs::equivalent(output, filename, ec)) {
        result.error = "The stored name '" + output.filename().string() + "' would replace the gzip file itself";
        return result;
    }
    if (fs::is_directory(fs::symlink_status(output, ec))) {
        result.error = "'" + output.string() + "' is a folder";
        return result;
    }

    StdFile out;
    fs::path temp;
    try {
        temp = CreateTempBeside(output, out);
        RawInflateStream inflater;
        z_stream& zs = inflater.Stream();
        std::uint32_t crc = 0;
        std::uint64_t size = 0;
        {
            BackgroundWriter writer(&out);
            std::vector<unsigned char> chunk;
            int rc = Z_OK;
            constexpr std::size_t kChunk = 1u << 20;
            while (rc != Z_STREAM_END) {
                if (options.cancel && options.cancel->load()) {
                    throw VelmoraError("cancelled");
                }
                if (in.Available() == 0 && !in.Fill()) {
                    throw VelmoraError("The compressed data ends early");
                }
                if (chunk.size() != kChunk) {
                    chunk.resize(kChunk);
                }
                zs.next_in = in.Data();
                zs.avail_in = static_cast<uInt>(in.Available());
                std::size_t filled = 0;
                while (filled < kChunk && rc != Z_STREAM_END && zs.avail_in > 0) {
                    zs.next_out = chunk.data() + filled;
                    zs.avail_out = static_cast<uInt>(kChunk - filled);
                    rc = inflate(&zs, Z_NO_FLUSH);
                    if (rc != Z_OK && rc != Z_STREAM_END) {
                        throw VelmoraError("The compressed data is damaged");
                    }
                    filled = kChunk - zs.avail_out;
                    in.Consume(in.Available() - zs.avail_in);
                    if (zs.avail_in == 0 && rc != Z_STREAM_END && filled < kChunk) {
                        if (!in.Fill()) {
                            throw VelmoraError("The compressed data ends early");
                        }
                        zs.next_in = in.Data();
                        zs.avail_in = static_cast<uInt>(in.Available());
                    }
                }
                chunk.resize(filled);
                size += chunk.size();
                writer.Push(chunk);
                if (options.progress) {
                    options.progress(std::min(in.TotalRead(), fileSize), fileSize);
                }
            }
            if (!writer.Finish()) {
                throw VelmoraError(SystemErrorText("Writing", output.string(), errno));
            }
            crc = writer.Crc();
        }
        // The member's own trailer follows its compressed data.
        unsigned char trailer[8];
        for (unsigned char& b : trailer) {
            if (!in.Byte(b)) {
                throw VelmoraError("The gzip trailer is missing");
            }
        }
        if (Get32(trailer) != crc) {
            throw VelmoraError("CRC-32 mismatch");
        }
        if (Get32(trailer + 4) != static_cast<std::uint32_t>(size & 0xFFFFFFFFu)) {
            throw VelmoraError("Length mismatch");
        }
        if (!out.Close()) {
            throw VelmoraError(SystemErrorText("Writing", output.string(), errno));
        }
        if (mtime != 0) {
            if (auto dos = UnixToDos(mtime)) {
                if (auto time = DosToFileTime(*dos)) {
                    fs::last_write_time(temp, *time, ec);
                }
            }
        }
        fs::rename(temp, output, ec);
        if (ec) {
            throw VelmoraError(SystemErrorText("Writing", output.string(), ec.value()));
        }
        temp.clear();
        if (options.clearAttributes) {
            try {
                options.clearAttributes(output);
            } catch (...) {
            }
        }
        result.ok = true;
    } catch (const std::exception& error) {
        out.Close();
        if (!temp.empty()) {
            fs::remove(temp, ec);
        }
        result.error = error.what();
    }
    return result;
}

} // namespace velmora
