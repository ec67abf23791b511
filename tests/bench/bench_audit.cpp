// Times `quillet-info --audit` over more than 1 GiB of images zipped one to an archive (deflate),
// against a DAT of more than 5,000 games, and against `unzip -p ARCHIVE | sha1sum` over the same
// archives on every core (xargs -P), in the same run, and prints the ratio of the wall times.
#include "rom/Digests.h"
#include "tests/bench/Timing.h"
#include "tests/support/ArchiveMaker.h"
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
constexpr int kGames = 5200;

void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary)
        .write(text.data(), static_cast<std::streamsize>(text.size()));
}

// The zipped collection, and a DAT in the libretro layout that knows every image in it among
// games the collection lacks. Returns the images' bytes.
std::uintmax_t WriteCollection(const fs::path& folder, const fs::path& dat) {
    fs::create_directories(folder);
    std::string games = "clrmamepro (\n\tname \"Bench\"\n)\n";
    std::uintmax_t total = 0;
    int count = 0;
    for (; total < 1100 * kMiB; ++count) {
        const std::size_t size =
            bench::kCollectionSizesMiB[count % std::size(bench::kCollectionSizesMiB)] * kMiB;
        std::vector<std::uint8_t> rom =
            samples::MakeRomData(size, static_cast<std::uint32_t>(count));
        samples::WriteInternalHeader(
            rom, samples::kLoRomArea,
            {.title = "BENCH " + std::to_string(count), .romSizeCode = 0x0C});
        samples::FixChecksum(rom, samples::kLoRomArea);
        DigestSet digests;
        digests.Update(rom);
        const Digests d = digests.Finish();
        const std::string name = "Game " + std::to_string(count) + " (World)";
        games += "\ngame (\n\tname \"" + name + "\"\n\trom ( name \"" + name + ".sfc\" size " +
                 std::to_string(size) + " crc " + d.crc32 + " md5 " + d.md5 + " sha1 " + d.sha1 +
                 " )\n)\n";
        const auto zip = testing::MakeArchive(ArchiveFormat::Zip, {{name + ".sfc", rom}});
        std::ofstream(folder / (name + ".zip"), std::ios::binary)
            .write(reinterpret_cast<const char*>(zip.data()),
                   static_cast<std::streamsize>(zip.size()));
        total += size;
    }
    for (int i = count; i < kGames; ++i) {
        char sha1[41];
        std::snprintf(sha1, sizeof sha1, "%040x", i);
        games += "\ngame (\n\tname \"Missing " + std::to_string(i) + "\"\n\trom ( name \"Missing " +
                 std::to_string(i) + ".sfc\" size 1048576 crc 00000000 sha1 " + sha1 + " )\n)\n";
    }
    WriteFile(dat, games);
    return total;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_audit PATH-OF-QUILLET-INFO\n");
        return 2;
    }
    const std::string tool = argv[1];
    const fs::path root = fs::temp_directory_path() / "quillet-bench-audit";
    fs::remove_all(root);
    const fs::path folder = root / "roms";
    const fs::path dat = root / "games.dat";
    const std::uintmax_t bytes = WriteCollection(folder, dat);
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const std::string unzip = "cd '" + folder.string() + "' && ls | xargs -P " +
                              std::to_string(cores) +
                              " -I{} sh -c 'unzip -p \"{}\" | sha1sum' >/dev/null";
    const std::string audit =
        "'" + tool + "' --audit --dat '" + dat.string() + "' '" + folder.string() + "' >/dev/null";

    // Once each to fill the file cache, then alternating so both see the same machine.
    bench::RunSeconds(unzip);
    bench::RunSeconds(audit);
    std::vector<double> baseline, audits;
    for (int round = 0; round < kRounds; ++round) {
        baseline.push_back(bench::RunSeconds(unzip));
        audits.push_back(bench::RunSeconds(audit));
    }
    const double b = bench::Median(baseline);
    const double a = bench::Median(audits);
    std::printf("%.0f MiB of images, one to a zip, a DAT of %d games; %u cores, medians of %d\n",
                static_cast<double>(bytes) / kMiB, kGames, cores, kRounds);
    std::printf("  unzip -p | sha1sum (xargs -P %u): %.2f s\n", cores, b);
    std::printf("  quillet-info --audit:            %.2f s\n", a);
    std::printf("  ratio audit / unzip and sha1sum: %.3f (target at most 1.2)\n", a / b);
    fs::remove_all(root);
    return 0;
}
