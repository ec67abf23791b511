// Times the analysis of 10,000 small image files against a bare loop doing the same file work
// (open, size, three 512-byte reads, close) over the same files, in the same run, and prints
// the ratio of the two.
#include "base/TextSink.h"
#include "rom/RomAnalysis.h"
#include "tests/bench/Timing.h"
#include "tools/RomImageBuilder.h"

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace quillet;

namespace fs = std::filesystem;

constexpr int kFileCount = 10000;
constexpr int kRounds = 5;

// Writes an image sparsely: only the copier header and the two header areas hold data.
void WriteSparseImage(const fs::path& path, int index) {
    const bool headered = index % 2 == 0;
    const std::size_t romBytes = 131072u * static_cast<std::size_t>(1 + index % 4);
    std::vector<std::uint8_t> areas(0x10000, 0);
    samples::WriteInternalHeader(areas, index % 3 == 0 ? samples::kHiRomArea : samples::kLoRomArea,
                                 {.title = "BENCH " + std::to_string(index), .makeup = 0x20});
    samples::MarkAreaValid(areas, index % 3 == 0 ? samples::kHiRomArea : samples::kLoRomArea,
                           static_cast<std::uint16_t>(index));
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (headered) {
        const auto header = index % 4 == 0 ? samples::SuperWildCardHeader(16, 0)
                                           : samples::ProFighterHeader(16, index % 3 == 0);
        out.write(reinterpret_cast<const char*>(header.data()), 512);
    }
    const std::streamoff base = headered ? 512 : 0;
    for (const std::size_t area : {samples::kLoRomArea, samples::kHiRomArea}) {
        out.seekp(base + static_cast<std::streamoff>(area));
        out.write(reinterpret_cast<const char*>(areas.data() + area), 512);
    }
    out.close();
    fs::resize_file(path, static_cast<std::uintmax_t>(base) + romBytes);
}

void BareLoop(const std::vector<std::string>& files, std::uint64_t& sink) {
    std::uint8_t block[512];
    for (const std::string& file : files) {
        std::FILE* f = std::fopen(file.c_str(), "rb");
        if (f == nullptr)
            continue;
        struct stat info {};
        fstat(fileno(f), &info);
        const long header = info.st_size % 8192 == 512 ? 512 : 0;
        for (const long position : {0L, header + 0x7FC0L, header + 0xFFC0L}) {
            std::fseek(f, position, SEEK_SET);
            sink += std::fread(block, 1, sizeof block, f);
        }
        std::fclose(f);
        sink += block[0x1C];
    }
}

void AnalysisLoop(const std::vector<std::string>& files, std::uint64_t& sink) {
    SNESImageInfo info;
    StringSink trace;
    for (const std::string& file : files) {
        trace.Clear();
        AnalyseRomImage(file, info, trace);
        sink += static_cast<std::uint64_t>(info.Checksum) + trace.Text().size();
    }
}

template <typename Loop> double Seconds(Loop loop, const std::vector<std::string>& files) {
    std::uint64_t sink = 0;
    const auto start = bench::Clock::now();
    loop(files, sink);
    const double seconds = bench::SecondsSince(start);
    if (sink == 42) // keeps the work from being optimised away
        std::puts("");
    return seconds;
}

} // namespace

int main() {
    const fs::path folder = fs::temp_directory_path() / "quillet-bench-analysis";
    fs::remove_all(folder);
    fs::create_directories(folder);
    std::vector<std::string> files;
    for (int i = 0; i < kFileCount; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "image%05d.smc", i);
        WriteSparseImage(folder / name, i);
        files.push_back((folder / name).string());
    }

    // Once each to warm the file cache, then alternating rounds so both see the same machine.
    Seconds(BareLoop, files);
    Seconds(AnalysisLoop, files);
    std::vector<double> bare;
    std::vector<double> analysis;
    for (int round = 0; round < kRounds; ++round) {
        bare.push_back(Seconds(BareLoop, files));
        analysis.push_back(Seconds(AnalysisLoop, files));
    }
    fs::remove_all(folder);

    const double bareMedian = bench::Median(bare);
    const double analysisMedian = bench::Median(analysis);
    std::printf("files: %d, rounds: %d (medians)\n", kFileCount, kRounds);
    std::printf("bare loop (open, size, 3 reads, close): %.1f ms\n", bareMedian * 1000);
    std::printf("AnalyseRomImage:                         %.1f ms\n", analysisMedian * 1000);
    std::printf("ratio analysis / bare loop: %.3f (target at most 1.3)\n",
                analysisMedian / bareMedian);
    return 0;
}
