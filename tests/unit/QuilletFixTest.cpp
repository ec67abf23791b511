#include "cli/QuilletFix.h"

#include "base/Utf8.h"
#include "cli/CommandLine.h"
#include "rom/ImageRepair.h"
#include "tests/support/TempFolder.h"
#include "tests/support/ToolRuns.h"
#include "tools/RomImageBuilder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <utility>

namespace quillet {
namespace {

namespace fs = std::filesystem;
using namespace samples;
using Bytes = std::vector<std::uint8_t>;
using namespace testing; // the tools in-process, folders and files, failing writes

// A homebrew game as its assembler leaves it: everything but the checksum.
Bytes Homebrew(std::size_t size = 256 * 1024, std::size_t area = kLoRomArea,
               std::uint8_t makeup = 0x20) {
    Bytes rom = MakeRomData(size, 31);
    WriteInternalHeader(
        rom, area, {.title = "HOMEBREW", .makeup = makeup, .romSizeCode = 0x08, .licensee = 0});
    WriteResetVector(rom, area, 0x8000, area == kLoRomArea ? 0 : 0x8000, 0x78);
    return rom;
}

// The image with its checksum filled in, as the repair in memory makes it.
Bytes Checksummed(const Bytes& image) {
    return RepairImage(image, {.fillChecksum = true}).image;
}

// Without its checksum the HiROM game reads as LoROM: the mode bits of the new header follow
// the map it reads as once it has one. What the tool writes is what the repair in memory makes,
// whose reading back is the repair tests' business.
TEST(QuilletFix, RepairsAreSaidInTurnAndWrittenAsTheRepairInMemoryMakesThem) {
    TempFolder folder;
    const Bytes image = Concatenate(UnknownCopierHeader(), Homebrew(512 * 1024, kHiRomArea, 0x21));
    const std::string in = folder.Write("in.sfc", image);
    const std::string out = (folder.Path() / "out.sfc").string();
    const ToolRun run = Fix({"--add-header=SWC", "--checksum", "--strip-header", in, "-o", out});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    std::istringstream lines(run.out);
    std::string line;
    for (const std::string said :
         {"removed the 512-byte copier header (Unknown 512-header based Image)",
          "set the checksum at 0x00FFC0 (HiROM) to 0x",
          "added a Super Wild Card header: 64 blocks of 8 KiB, mode byte 0x3C (HiROM, mode 21, "
          "no SRAM)",
          "note: The analysis now reads the image as HiROM, not as LoROM.", "wrote "}) {
        ASSERT_TRUE(std::getline(lines, line));
        EXPECT_TRUE(line.starts_with(in + ": " + said)) << line;
    }
    EXPECT_EQ(line, in + ": wrote " + out);
    EXPECT_FALSE(std::getline(lines, line)) << line;

    EXPECT_EQ(ReadAll(in), image);
    EXPECT_EQ(
        ReadAll(out),
        RepairImage(image, {.stripCopierHeader = true, .fillChecksum = true, .addSwcHeader = true})
            .image);
}

// A wrong command line exits with 2, a refusal with 1; each says why and leaves every file as
// it was, and a run over several files goes on past those it refuses.
TEST(QuilletFix, RefusalsSayWhyAndTouchNothing) {
    TempFolder folder;
    const std::string a = folder.Write("a.sfc", Homebrew());
    const std::string fig =
        folder.Write("game.fig", Concatenate(ProFighterHeader(32, false), Homebrew()));
    const std::string existing = folder.Write("existing.sfc", {1, 2, 3});
    const std::string huge = (folder.Path() / "huge.sfc").string();
    { std::ofstream{huge}; }
    fs::resize_file(huge, 9 * 1024 * 1024); // sparse: refused before it is read
    const std::string missing = (folder.Path() / "missing.sfc").string();
    const std::string sub = (folder.Path() / "sub").string();
    fs::create_directory(sub);
    const std::string tiny = folder.Write("tiny.bin", MakeRomData(600));
    const std::string z = folder.Write("z.sfc", Homebrew(512 * 1024, kHiRomArea, 0x21));
    const std::vector<std::string> before = Names(folder.Path());

    const std::pair<int, std::vector<std::string>> cases[] = {
        {2, {}},
        {1, {"--checksum", a, "-o", existing}},
        {1, {"--add-header", "swc", "--in-place", fig}},
    };
    for (const auto& [status, arguments] : cases) {
        const ToolRun run = Fix(arguments);
        EXPECT_EQ(run.status, status) << run.err;
        EXPECT_TRUE(run.err.starts_with("quillet-fix: ")) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(Names(folder.Path()), before);
    }
    EXPECT_EQ(Fix({"--checksum", a, "-o", existing}).err,
              "quillet-fix: " + existing + " exists; give --force to replace it\n");

    const ToolRun run = Fix({"--checksum", "--in-place", a, huge, missing, sub, tiny, z});
    EXPECT_EQ(run.status, 1);
    for (const std::string& err :
         {huge + ": too large: 9437184 bytes of data, more than the 8 MiB a cartridge can hold\n",
          "Cannot open file " + missing + ": ",
          "Cannot open file " + sub + ": not a regular file\n", tiny + ": no internal header: "})
        EXPECT_NE(run.err.find("quillet-fix: " + err), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.starts_with(a + ": set the checksum")) << run.out;
    EXPECT_TRUE(run.out.ends_with(z + ": rewritten in place\n")) << run.out;
    EXPECT_EQ(run.out.find(tiny), std::string::npos) << run.out;
    EXPECT_EQ(Names(folder.Path()), before);
    EXPECT_EQ(ReadAll(a), Checksummed(Homebrew()));
    EXPECT_EQ(ReadAll(z), Checksummed(Homebrew(512 * 1024, kHiRomArea, 0x21)));
    EXPECT_EQ(ReadAll(tiny), MakeRomData(600));
    EXPECT_EQ(ReadAll(existing), (Bytes{1, 2, 3}));
    EXPECT_EQ(fs::file_size(huge), 9u * 1024 * 1024);
}

// Shown, written to -o or in place, under names in any script in a folder named in Japanese:
// the result is under exactly the name given, in place too, where the new file takes its name
// from it.
TEST(QuilletFix, WhereTheResultGoes) {
    TempFolder folder;
    const fs::path roms = folder.Path() / PathFromUtf8("ロム");
    fs::create_directory(roms);
    const Bytes image = Homebrew();
    const Bytes fixed = Checksummed(image);
    const std::string game = folder.Write("ロム/Pokémon.smc", image);
    const std::string other = folder.Write("ロム/テスト (Japan).sfc", {9});

    // Neither -o nor --in-place, or a dry run: the changes are only shown.
    ToolRun run = Fix({"--checksum", game});
    EXPECT_TRUE(run.out.starts_with(game + ": would set the checksum at 0x007FC0 (LoROM) to 0x"))
        << run.out;
    EXPECT_TRUE(run.out.ends_with(
        game + ": nothing written; give -o FILE or --in-place to write the result\n"));
    run = Fix({"--dry-run", "--checksum", "-o", other, "--force", game});
    EXPECT_TRUE(run.out.ends_with(game + ": nothing written (--dry-run)\n")) << run.out;
    EXPECT_EQ(ReadAll(PathFromUtf8(other)), Bytes{9});

    // -o over an existing file with --force; in place.
    run = Fix({"--checksum", "-o", other, "--force", game});
    EXPECT_TRUE(run.out.ends_with(game + ": wrote " + other + "\n")) << run.out;
    EXPECT_EQ(ReadAll(PathFromUtf8(game)), image);
    EXPECT_EQ(ReadAll(PathFromUtf8(other)), fixed);
    run = Fix({"--checksum", "--in-place", game});
    EXPECT_TRUE(run.out.ends_with(game + ": rewritten in place\n")) << run.out;
    EXPECT_EQ(ReadAll(PathFromUtf8(game)), fixed);
    EXPECT_EQ(Names(roms), (std::vector<std::string>{"Pokémon.smc", "テスト (Japan).sfc"}));
}

// A failure at a step of the write is the file's, and the run goes on; one nobody expected
// ends the run with status 2 once everything is cleaned up. Either way the file is as it was.
TEST(QuilletFix, AWriteThatFailsSaysSoAndLeavesTheFileAsItWas) {
    TempFolder folder;
    const Bytes image = Homebrew();
    const std::string game = folder.Write("game.sfc", image);
    const std::string out = (folder.Path() / "out.sfc").string();
    for (const WriteStep step :
         {WriteStep::Write, WriteStep::Flush, WriteStep::Rename, WriteStep::WriteOutOfMemory}) {
        SCOPED_TRACE(static_cast<int>(step));
        const bool unexpected = step == WriteStep::WriteOutOfMemory;
        for (const bool inPlace : {true, false}) {
            const std::vector<std::string> arguments =
                inPlace ? std::vector<std::string>{"--checksum", "--in-place", game}
                        : std::vector<std::string>{"--checksum", game, "-o", out};
            FailingFileLayer files(step);
            std::ostringstream said;
            std::ostringstream err;
            EXPECT_EQ(RunGuarded(err, "quillet-fix",
                                 [&] { return RunQuilletFix(arguments, said, err, files); }),
                      unexpected ? 2 : 1);
            EXPECT_TRUE(err.str().ends_with(unexpected ? "quillet-fix: out of memory\n"
                                            : inPlace
                                                ? ": injected failure; " + game + " is as it was\n"
                                                : ": injected failure; nothing was written\n"))
                << err.str();
            EXPECT_EQ(said.str(), ""); // nothing claims a change that did not happen
            EXPECT_EQ(ReadAll(game), image);
            EXPECT_EQ(Names(folder.Path()), std::vector<std::string>{"game.sfc"});
        }
    }
    // Any other failure is said with its control characters escaped.
    std::ostringstream said;
    EXPECT_EQ(
        RunGuarded(said, "quillet-info", []() -> int { throw std::runtime_error("odd\x1b[2J"); }),
        2);
    EXPECT_EQ(said.str(), "quillet-info: odd\\x1b[2J\n");
}

} // namespace
} // namespace quillet
