// Times `quillet-info --dat` over a collection in which one image in ten matches its DAT entry
// only after a step (an overdump cut off, padding trimmed), against the same collection with
// every image as the DAT lists it, in the same run, and prints the ratio of the wall times.
#include "rom/Digests.h"
#include "tests/bench/Timing.h"
#include "tools/RomImageBuilder.h"

#include <bit>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace quillet;

constexpr std::size_t kMiB = 1048576;
constexpr int kImages = 300;
constexpr int kRounds = 3;

void Write(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_dat_steps PATH-OF-QUILLET-INFO\n");
        return 2;
    }
    const std::string tool = argv[1];
    const fs::path root = fs::temp_directory_path() / "quillet-bench-dat-steps";
    fs::remove_all(root);
    fs::create_directories(root / "matching");
    fs::create_directories(root / "stepped");
    std::string dat = "clrmamepro (\n\tname \"Steps\"\n)\n";
    for (int i = 0; i < kImages; ++i) {
        // Whole powers of two, as the headers can declare them.
        const std::size_t size = (std::size_t{1} << (i % 3)) * kMiB;
        std::vector<std::uint8_t> rom = samples::MakeRomData(size, static_cast<std::uint32_t>(i));
        samples::WriteInternalHeader(
            rom, samples::kLoRomArea,
            {.title = "STEPS " + std::to_string(i),
             .romSizeCode = static_cast<std::uint8_t>(std::bit_width(size / 1024) - 1)});
        samples::FixChecksum(rom, samples::kLoRomArea);
        DigestSet digests;
        digests.Update(rom);
        const Digests d = digests.Finish();
        const std::string name = "Game " + std::to_string(i);
        dat += "\ngame (\n\tname \"" + name + "\"\n\trom ( name \"" + name + ".sfc\" size " +
               std::to_string(size) + " crc " + d.crc32 + " sha1 " + d.sha1 + " )\n)\n";
        Write(root / "matching" / (name + ".sfc"), rom);
        if (i % 10 == 0) {
            // Every tenth: an overdump (the data twice) or padding with 0xFF after it.
            std::vector<std::uint8_t> changed = rom;
            if (i % 20 == 0)
                changed.insert(changed.end(), rom.begin(), rom.end());
            else
                changed.resize(size * 2, 0xFF);
            rom = std::move(changed);
        }
        Write(root / "stepped" / (name + ".sfc"), rom);
    }
    std::ofstream(root / "steps.dat") << dat;

    const auto run = [&](const char* folder) {
        return "'" + tool + "' --json --dat '" + (root / "steps.dat").string() + "' '" +
               (root / folder).string() + "'";
    };
    const auto command = [&](const char* folder) { return run(folder) + " >/dev/null"; };
    // grep fails, and the benchmark with it, when no image matched through the step.
    const auto check = [&](const char* folder, const char* via) {
        bench::RunSeconds(run(folder) + " | grep -q '\"Via\":\\[\"" + via + "\"\\]'");
    };
    // The stepped images do match, through the steps.
    check("stepped", "trim-overdump");
    check("stepped", "trim-padding");
    bench::RunSeconds(command("matching"));
    bench::RunSeconds(command("stepped"));
    std::vector<double> matching, stepped;
    for (int round = 0; round < kRounds; ++round) {
        matching.push_back(bench::RunSeconds(command("matching")));
        stepped.push_back(bench::RunSeconds(command("stepped")));
    }
    const double m = bench::Median(matching);
    const double s = bench::Median(stepped);
    std::printf("%d images, one in ten matching only after a step; medians of %d\n", kImages,
                kRounds);
    std::printf("  all matching as they are:    %.2f s\n", m);
    std::printf("  one in ten through a step:   %.2f s\n", s);
    std::printf("  ratio:                       %.3f (target at most 1.3)\n", s / m);
    fs::remove_all(root);
    return 0;
}
