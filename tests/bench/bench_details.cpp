// Times `quillet-info --json --details` over more than 1 GiB of generated images against
// `sha256sum` over the same files, in the same run, and prints the ratio of the wall times.
// Two collections: raw images as DAT files describe them, and images with copier headers,
// whose data and whole file are hashed apart (twice the hashing).
#include "tests/bench/Timing.h"
#include "tools/RomImageBuilder.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace quillet;

constexpr std::size_t kMiB = 1048576;
constexpr int kRounds = 3;

std::uintmax_t WriteCollection(const fs::path& folder, bool headered) {
    fs::create_directories(folder);
    std::uintmax_t total = 0;
    for (int i = 0; total < 1100 * kMiB; ++i) {
        const std::size_t size =
            bench::kCollectionSizesMiB[i % std::size(bench::kCollectionSizesMiB)] * kMiB;
        std::vector<std::uint8_t> rom = samples::MakeRomData(size, static_cast<std::uint32_t>(i));
        samples::WriteInternalHeader(rom, samples::kLoRomArea,
                                     {.title = "BENCH " + std::to_string(i), .romSizeCode = 0x0C});
        samples::FixChecksum(rom, samples::kLoRomArea);
        if (headered)
            rom = samples::Concatenate(samples::SuperWildCardHeader(0, 0), rom);
        char name[32];
        std::snprintf(name, sizeof name, "game%04d.%s", i, headered ? "smc" : "sfc");
        std::ofstream out(folder / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(rom.data()),
                  static_cast<std::streamsize>(rom.size()));
        total += rom.size();
    }
    return total;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_details PATH-OF-QUILLET-INFO\n");
        return 2;
    }
    const std::string tool = argv[1];
    const fs::path root = fs::temp_directory_path() / "quillet-bench-details";
    fs::remove_all(root);
    std::printf("cores: %u, rounds: %d (medians), wall times\n",
                std::thread::hardware_concurrency(), kRounds);
    for (const bool headered : {false, true}) {
        const fs::path folder = root / (headered ? "headered" : "raw");
        const std::uintmax_t bytes = WriteCollection(folder, headered);
        std::string files;
        for (const auto& entry : fs::directory_iterator(folder))
            files += " '" + entry.path().string() + "'";
        const std::string sha256sum = "sha256sum" + files + " >/dev/null";
        const std::string info =
            "'" + tool + "' --json --details '" + folder.string() + "' >/dev/null";

        // Once each to fill the file cache, then alternating so both see the same machine.
        bench::RunSeconds(sha256sum);
        bench::RunSeconds(info);
        std::vector<double> baseline, details;
        for (int round = 0; round < kRounds; ++round) {
            baseline.push_back(bench::RunSeconds(sha256sum));
            details.push_back(bench::RunSeconds(info));
        }
        const double b = bench::Median(baseline);
        const double d = bench::Median(details);
        std::printf("%s: %.0f MiB in %zu-byte-header images\n", headered ? "headered" : "raw",
                    static_cast<double>(bytes) / kMiB,
                    headered ? std::size_t{512} : std::size_t{0});
        std::printf("  sha256sum:                      %.2f s (%.0f MiB/s)\n", b,
                    static_cast<double>(bytes) / kMiB / b);
        std::printf("  quillet-info --json --details:  %.2f s (%.0f MiB/s)\n", d,
                    static_cast<double>(bytes) / kMiB / d);
        std::printf("  ratio quillet-info / sha256sum: %.3f (target at most 1.2)\n", d / b);
        fs::remove_all(folder);
    }
    fs::remove_all(root);
    return 0;
}
