// Times whole inspections of one file in-process: every step the main window runs,
// through the Linux platform services.
#include "inspect/Inspection.h"
#include "platform/IFileUsage.h"
#include "platform/posix/PosixFileUsage.h"

#include <filesystem>

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: inspect_bench FILE [RUNS]\n");
        return 2;
    }
    const std::string path = argv[1];
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 50;
    const auto backend = velmora::CreateNativePlatform();
    velmora::Platform& platform = backend->Services();

    auto measure = [&](auto&& step) {
        std::vector<double> ms;
        for (int i = 0; i < runs; ++i) {
            const auto start = std::chrono::steady_clock::now();
            step();
            ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
        std::sort(ms.begin(), ms.end());
        return std::make_pair(ms[ms.size() / 2], ms.back());
    };
    bool inUse = false;
    const auto whole = measure([&] { inUse = velmora::GatherInspection(path, platform)->inUse; });
    const auto usage = measure([&] { platform.usage->IsFileInUse(path); });
    // The /proc scan that stands in where the file system grants no leases.
    const std::string canonical = std::filesystem::canonical(path).string();
    const auto scan = measure([&] { velmora::IsOpenInOtherProcess(canonical, std::chrono::seconds(1)); });
    std::printf("inspection_median_ms %.3f\ninspection_max_ms %.3f\ninuse_median_ms %.3f\nscan_median_ms %.3f\n"
                "in_use %s\n",
                whole.first, whole.second, usage.first, scan.first, inUse ? "yes" : "no");
    return 0;
}
