// Raw inflate by entry size: libdeflate's whole-buffer call against ISA-L, whole-buffer
// (stateless) and streamed into 1 MiB pieces as the entry decoder does, on the same deflate
// streams (libdeflate level 5 of slices of a sample file). Prints MB/s of output per size
// and the ratio ISA-L streamed / libdeflate; the entry decoder takes the faster per size.
//   g++ -O2 -std=c++20 bench/inflate_sizes.cpp -ldeflate -lisal -o inflate_sizes
//   ./inflate_sizes SAMPLE_FILE
#include <isa-l/igzip_lib.h>
#include <libdeflate.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// Median of repeated timings of fn, each timing running fn until 20 ms have passed;
// returns seconds per call.
template <typename F> double PerCall(F&& fn)
{
    std::vector<double> samples;
    for (int round = 0; round < 7; ++round) {
        const auto start = Clock::now();
        long calls = 0;
        do {
            fn();
            ++calls;
        } while (Seconds(start) < 0.02);
        samples.push_back(Seconds(start) / static_cast<double>(calls));
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s SAMPLE_FILE\n", argv[0]);
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    std::vector<unsigned char> sample((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (sample.empty()) return 2;
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(5);
    libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
    static inflate_state state;
    std::printf(
        "| plain size | libdeflate MB/s | ISA-L whole MB/s | ISA-L streamed MB/s | streamed / libdeflate time |\n");
    std::printf("|---|---|---|---|---|\n");
    for (std::size_t size = 512; size <= (16u << 20); size *= 4) {
        std::vector<unsigned char> plain(size);
        for (std::size_t i = 0; i < size; ++i)
            plain[i] = sample[i % sample.size()];
        std::vector<unsigned char> packed(libdeflate_deflate_compress_bound(compressor, size));
        packed.resize(libdeflate_deflate_compress(compressor, plain.data(), size, packed.data(), packed.size()));
        std::vector<unsigned char> out(size + 1);
        std::vector<unsigned char> piece(1u << 20);
        const double ld = PerCall([&] {
            std::size_t made = 0;
            if (libdeflate_deflate_decompress(decompressor, packed.data(), packed.size(), out.data(), out.size(),
                                              &made) != LIBDEFLATE_SUCCESS ||
                made != size)
                std::abort();
        });
        const double whole = PerCall([&] {
            isal_inflate_init(&state);
            state.next_in = packed.data();
            state.avail_in = static_cast<std::uint32_t>(packed.size());
            state.next_out = out.data();
            state.avail_out = static_cast<std::uint32_t>(out.size());
            if (isal_inflate_stateless(&state) != ISAL_DECOMP_OK || state.total_out != size) std::abort();
        });
        const double streamed = PerCall([&] {
            isal_inflate_init(&state);
            state.next_in = packed.data();
            state.avail_in = static_cast<std::uint32_t>(packed.size());
            std::size_t total = 0;
            while (state.block_state != ISAL_BLOCK_FINISH) {
                state.next_out = piece.data();
                state.avail_out = static_cast<std::uint32_t>(piece.size());
                if (isal_inflate(&state) < 0) std::abort();
                total += piece.size() - state.avail_out;
            }
            if (total != size) std::abort();
        });
        std::printf("| %zu | %.0f | %.0f | %.0f | %.2f |\n", size, size / ld / 1e6, size / whole / 1e6,
                    size / streamed / 1e6, streamed / ld);
    }
    libdeflate_free_compressor(compressor);
    libdeflate_free_decompressor(decompressor);
    return 0;
}
