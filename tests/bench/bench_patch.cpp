// Times `quillet-fix --make-patch` against `xdelta3 -e -9 -S none` and `quillet-fix --patch`
// against reading and writing the same files as a program does (bench_read_write: both inputs
// read whole, the result written safely), all in the same run, on generated 4 MiB images with
// three kinds of change. Prints the patch sizes and the time ratios, and for comparison the
// time of streaming the same bytes through cat and dd, which hold no file in memory.
#include "tests/bench/Timing.h"
#include "tools/RomImageBuilder.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace quillet;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kMiB = 1048576;
constexpr int kRounds = 5;

Bytes Game(std::size_t size, std::uint32_t seed) {
    Bytes rom = samples::MakeRomData(size, seed);
    samples::WriteInternalHeader(rom, samples::kLoRomArea,
                                 {.title = "BENCH PATCH", .romSizeCode = 0x0C});
    samples::FixChecksum(rom, samples::kLoRomArea);
    return rom;
}

// About 5% of the bytes rewritten in runs, with text-like bytes.
Bytes Translation(Bytes rom, std::mt19937& random) {
    std::size_t changed = 0;
    while (changed < rom.size() / 20) {
        const std::size_t length = 16 + random() % 200;
        const std::size_t at = 0x8000 + random() % (rom.size() - 0x8000 - length);
        for (std::size_t i = at; i < at + length; ++i)
            rom[i] = static_cast<std::uint8_t>(0x20 + random() % 48);
        changed += length;
    }
    samples::FixChecksum(rom, samples::kLoRomArea);
    return rom;
}

// A quarter of the 32 KiB blocks moved elsewhere, and a few small edits.
Bytes Relocation(const Bytes& rom, std::mt19937& random) {
    constexpr std::size_t kBlock = 32 * 1024;
    const std::size_t blocks = rom.size() / kBlock;
    std::vector<std::size_t> order(blocks);
    for (std::size_t i = 0; i < blocks; ++i)
        order[i] = i;
    for (std::size_t i = 0; i < blocks / 4; ++i)
        std::swap(order[1 + random() % (blocks - 1)], order[1 + random() % (blocks - 1)]);
    Bytes moved;
    for (const std::size_t block : order)
        moved.insert(moved.end(), rom.begin() + block * kBlock, rom.begin() + (block + 1) * kBlock);
    for (int i = 0; i < 200; ++i)
        moved[0x8000 + random() % (moved.size() - 0x8000)] = static_cast<std::uint8_t>(random());
    samples::FixChecksum(moved, samples::kLoRomArea);
    return moved;
}

// A 2 MiB game grown to 4 MiB: new code, copies of its graphics and padding.
Bytes Expansion(const Bytes& rom, std::mt19937& random) {
    Bytes grown = rom;
    for (int i = 0; i < 300; ++i)
        grown[0x8000 + random() % (rom.size() - 0x8000)] = static_cast<std::uint8_t>(random());
    const Bytes code = samples::MakeRomData(kMiB, 99);
    grown.insert(grown.end(), code.begin(), code.end());
    for (int i = 0; i < 16; ++i) {
        const std::size_t from = random() % (rom.size() - 32 * 1024);
        grown.insert(grown.end(), rom.begin() + from, rom.begin() + from + 32 * 1024);
    }
    grown.resize(4 * kMiB, 0xFF);
    samples::FixChecksum(grown, samples::kLoRomArea);
    return grown;
}

void Write(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

void Run(const std::string& command) {
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
}

double Time(const std::string& command) {
    return bench::MedianSeconds(kRounds, [&] { Run(command); });
}

std::string Quoted(const fs::path& path) {
    return "'" + path.string() + "'";
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_patch QUILLET_FIX\n");
        return 2;
    }
    const std::string fix = argv[1];
    const std::string readWriteTool =
        (fs::read_symlink("/proc/self/exe").parent_path() / "bench_read_write").string();
    if (std::system("xdelta3 -V >/dev/null 2>&1") != 0) {
        std::fprintf(stderr, "bench_patch: needs xdelta3 (tools/install-deps)\n");
        return 1;
    }
    const fs::path work = fs::temp_directory_path() / ("bench-patch-" + std::to_string(getpid()));
    fs::create_directories(work);

    std::mt19937 random(2024);
    const Bytes four = Game(4 * kMiB, 1);
    const Bytes two = Game(2 * kMiB, 2);
    const struct {
        const char* name;
        Bytes original;
        Bytes changed;
    } kinds[] = {
        {"translation (5% in runs)", four, Translation(four, random)},
        {"relocated blocks", four, Relocation(four, random)},
        {"2 MiB expanded to 4 MiB", two, Expansion(two, random)},
    };

    std::printf("%-26s %10s %10s %6s | %8s %8s %6s | %8s %8s %6s | %8s %6s\n", "change",
                "bps bytes", "xdelta3", "size", "make s", "xdelta3", "time", "apply s", "r+w s",
                "time", "cat+dd s", "time");
    bool met = true;
    for (const auto& kind : kinds) {
        const fs::path original = work / "original.sfc";
        const fs::path changed = work / "changed.sfc";
        const fs::path bps = work / "patch.bps";
        const fs::path xdelta = work / "patch.xd3";
        const fs::path result = work / "result.sfc";
        Write(original, kind.original);
        Write(changed, kind.changed);

        const double make = Time(fix + " --make-patch " + Quoted(original) + " -o " + Quoted(bps) +
                                 " --force " + Quoted(changed) + " >/dev/null");
        const double xdeltaMake = Time("xdelta3 -e -9 -S none -f -s " + Quoted(original) + " " +
                                       Quoted(changed) + " " + Quoted(xdelta));
        const double apply = Time(fix + " --patch " + Quoted(bps) + " -o " + Quoted(result) +
                                  " --force " + Quoted(original) + " >/dev/null");
        Run("cmp -s " + Quoted(result) + " " + Quoted(changed));
        // What applying cannot do without: read both files whole, hold the result, and write it
        // with the flushes and the rename of the safe write.
        const double readWrite = Time(Quoted(readWriteTool) + " " + Quoted(original) + " " +
                                      Quoted(bps) + " " + Quoted(changed) + " " + Quoted(result));
        Run("cmp -s " + Quoted(result) + " " + Quoted(changed));
        // The bytes streamed through the small buffers of two tools that start at once: less
        // than any program that holds an image can do, shown for comparison.
        const double stream = Time("cat " + Quoted(original) + " " + Quoted(bps) +
                                   " >/dev/null && dd if=" + Quoted(changed) +
                                   " of=" + Quoted(result) + " bs=1M conv=fsync status=none");

        const double bpsBytes = static_cast<double>(fs::file_size(bps));
        const double xdeltaBytes = static_cast<double>(fs::file_size(xdelta));
        const double sizeRatio = bpsBytes / xdeltaBytes;
        const double makeRatio = make / xdeltaMake;
        const double applyRatio = apply / readWrite;
        std::printf(
            "%-26s %10.0f %10.0f %6.2f | %8.3f %8.3f %6.2f | %8.3f %8.3f %6.2f | %8.3f %6.2f\n",
            kind.name, bpsBytes, xdeltaBytes, sizeRatio, make, xdeltaMake, makeRatio, apply,
            readWrite, applyRatio, stream, apply / stream);
        met = met && sizeRatio <= 1.1 && makeRatio <= 2.0 && applyRatio <= 2.0;
    }
    std::printf("targets (size <= 1.1, make <= 2, apply <= 2): %s\n", met ? "met" : "not met");
    fs::remove_all(work);
    return 0;
}
