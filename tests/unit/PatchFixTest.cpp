// quillet-fix --patch and --make-patch, through the tool's command line and real files.
#include "cli/QuilletFix.h"

#include "rom/Digests.h"
#include "rom/PatchFormats.h"
#include "rom/PatchMaker.h"
#include "tests/support/FailingFileLayer.h"
#include "tests/support/TempFolder.h"
#include "tests/support/ToolRuns.h"
#include "tools/RomImageBuilder.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

namespace quillet {
namespace {

using testing::Fix;
using testing::ToolRun;

using namespace samples;
using Bytes = std::vector<std::uint8_t>;
using testing::FailingFileLayer;
using testing::Names;
using testing::ReadAll;
using testing::TempFolder;

Bytes Game(std::uint32_t seed) {
    Bytes rom = MakeRomData(256 * 1024, seed);
    WriteInternalHeader(rom, kLoRomArea, {.title = "PATCH TEST", .romSizeCode = 0x08});
    FixChecksum(rom, kLoRomArea);
    return rom;
}

Bytes Changed(Bytes rom) {
    for (std::size_t at = 0x9000; at < 0x9400; ++at)
        rom[at] = static_cast<std::uint8_t>(at * 7);
    return rom;
}

TEST(PatchFix, CommandLine) {
    const struct {
        std::vector<std::string> arguments;
        const char* err;
    } cases[] = {
        {{"--patch", "", "a.sfc"}, "quillet-fix: --patch needs the name of the patch file\n"},
        {{"--patch-data", "--checksum", "a.sfc"},
         "quillet-fix: --patch-file and --patch-data go with --patch\n"},
        {{"--format", "ips", "--checksum", "a.sfc"},
         "quillet-fix: --format goes with --make-patch\n"},
        {{"--make-patch", "a.sfc", "--format", "xdelta", "-o", "p", "b.sfc"},
         "quillet-fix: cannot make a patch of format 'xdelta': bps or ips\n"},
        {{"--make-patch", "a.sfc", "b.sfc"},
         "quillet-fix: --make-patch needs -o and the name of the patch to write\n"},
        {{"--make-patch", "a.sfc", "-o", "p.bps", "b.sfc", "c.sfc"},
         "quillet-fix: --make-patch takes one FILE, the image the patch makes\n"},
        {{"--make-patch", "a.sfc", "--checksum", "-o", "p.bps", "b.sfc"},
         "quillet-fix: --make-patch goes with -o PATCH and one FILE, and no repairs\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.err);
        const ToolRun run = Fix(c.arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_TRUE(run.err.starts_with(c.err)) << run.err;
    }
    const std::string help = Fix({"--help"}).out;
    EXPECT_NE(help.find("without copier headers"), std::string::npos);
}

TEST(PatchFix, APatchAndAChecksumThenWhatIsWritten) {
    TempFolder folder;
    const Bytes data = Game(11);
    const Bytes swc = SuperWildCardHeader(32, 0);
    const std::string game = folder.Write("game.smc", Concatenate(swc, data));
    // Made for the data, by the tool itself; the change leaves the checksum wrong.
    const std::string original = folder.Write("original.sfc", data);
    const std::string hack = folder.Write("hack.sfc", Changed(data));
    const std::string bps = (folder.Path() / "hack.bps").string();
    ToolRun run = Fix({"--make-patch", original, "-o", bps, hack});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, hack + ": wrote a BPS patch of " + std::to_string(ReadAll(bps).size()) +
                           " bytes that turns " + original + " into " + hack + " to " + bps + "\n");

    // A dry run says what it would do and writes nothing.
    const std::vector<std::string> before = Names(folder.Path());
    run = Fix({"--dry-run", "--patch", bps, "--in-place", game});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.out.starts_with(game +
                                    ": would apply the BPS patch to the data without the "
                                    "copier header: its source CRC32, " +
                                    CrcText(Crc32Of(data))))
        << run.out;
    EXPECT_TRUE(run.out.ends_with(game + ": nothing written (--dry-run)\n"));
    EXPECT_EQ(Names(folder.Path()), before);

    const std::string out = (folder.Path() / "out.smc").string();
    run = Fix({"--patch", bps, "--checksum", game, "-o", out});
    ASSERT_EQ(run.status, 0) << run.err;
    std::istringstream lines(run.out);
    std::string line;
    std::getline(lines, line);
    EXPECT_TRUE(line.starts_with(game + ": applied the BPS patch to the data")) << line;
    std::getline(lines, line);
    EXPECT_TRUE(line.starts_with(game + ": set the checksum at 0x007FC0 (LoROM) to 0x")) << line;
    std::getline(lines, line);
    EXPECT_EQ(line, game + ": wrote " + out);
    Bytes expected = Changed(data);
    FixChecksum(expected, kLoRomArea);
    EXPECT_EQ(ReadAll(out), Concatenate(swc, expected));
    EXPECT_EQ(ReadAll(game), Concatenate(swc, data));

    // IPS made with --format ips, applied in place; the choice is said.
    const std::string ips = (folder.Path() / "hack.ips").string();
    ASSERT_EQ(Fix({"--make-patch", original, "--format", "ips", "-o", ips, hack}).status, 0);
    EXPECT_EQ(ReadAll(ips), MakeIps(data, Changed(data)));
    run = Fix({"--patch", ips, "--patch-data", "--in-place", game});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, game +
                           ": applied the IPS patch to the data without the copier header: as "
                           "asked; the copier header goes back in front with its blocks count "
                           "set to 32 (of 8 KiB)\n" +
                           game + ": rewritten in place\n");
    EXPECT_EQ(ReadAll(game), Concatenate(swc, Changed(data)));
}

TEST(PatchFix, RefusalsExitWith1AndTouchNothing) {
    TempFolder folder;
    const Bytes data = Game(12);
    const std::string game = folder.Write("game.sfc", data);
    const Bytes other = Game(13);
    const std::string wrong = folder.Write("wrong.bps", MakeBps(other, Changed(other)));
    const std::string notPatch = folder.Write("note.txt", {'h', 'e', 'l', 'l', 'o'});
    const Bytes ips = MakeIps(data, Changed(data));
    const std::string cut = folder.Write("cut.ips", Bytes(ips.begin(), ips.end() - 3));
    Bytes huge = {'P', 'A', 'T', 'C', 'H', 0x80, 0, 0, 0, 1, 9, 'E', 'O', 'F'};
    const std::string large = folder.Write("large.ips", huge);
    Bytes badTarget = MakeBps(data, Changed(data));
    badTarget[badTarget.size() - 6] ^= 1; // the target CRC32, and the patch's own to match
    const std::uint32_t crc = Crc32Of(std::span(badTarget).first(badTarget.size() - 4));
    for (int i = 0; i < 4; ++i)
        badTarget[badTarget.size() - 4 + i] = static_cast<std::uint8_t>(crc >> (8 * i));
    const std::string mismatch = folder.Write("mismatch.bps", badTarget);
    const std::string out = (folder.Path() / "out.sfc").string();
    const std::vector<std::string> before = Names(folder.Path());

    const struct {
        std::string patch;
        std::string err;
    } cases[] = {
        {wrong, "quillet-fix: " + game + ": This patch is for an image whose CRC32 is " +
                    CrcText(Crc32Of(other)) + "; this file's is " + CrcText(Crc32Of(data)) +
                    ", and it has no copier header to leave out\n"},
        {notPatch, "quillet-fix: " + game +
                       ": not a patch: it starts with none of \"PATCH\" "
                       "(IPS), \"BPS1\" and \"UPS1\"\n"},
        {cut, "quillet-fix: " + game + ": the IPS patch is truncated: it ends without \"EOF\"\n"},
        {large, "quillet-fix: " + game +
                    ": the result would hold 8388609 bytes of data, more "
                    "than the 8 MiB a cartridge can hold\n"},
        {mismatch, "quillet-fix: " + game + ": the BPS patch made a result whose CRC32 is "},
        {(folder.Path() / "missing.bps").string(),
         "quillet-fix: Cannot open file " + (folder.Path() / "missing.bps").string() + ": "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.err);
        for (const std::vector<std::string>& arguments :
             {std::vector<std::string>{"--patch", c.patch, "--in-place", game},
              std::vector<std::string>{"--patch", c.patch, game, "-o", out}}) {
            const ToolRun run = Fix(arguments);
            EXPECT_EQ(run.status, 1);
            EXPECT_TRUE(run.err.starts_with(c.err)) << run.err;
            EXPECT_EQ(run.out, "");
        }
        EXPECT_EQ(ReadAll(game), data);
        EXPECT_EQ(Names(folder.Path()), before);
    }

    // --make-patch refuses IPS for files over 16 MiB, and an existing target without --force.
    const std::string big = folder.Write("big.bin", Bytes(16 * 1024 * 1024 + 8192));
    ToolRun run = Fix({"--make-patch", game, "--format", "ips", "-o", out, big});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "quillet-fix: " + big +
                           ": an IPS patch cannot describe files over 16 MiB; make a BPS patch\n");
    run = Fix({"--make-patch", game, "-o", wrong, game});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "quillet-fix: " + wrong + " exists; give --force to replace it\n");
    EXPECT_FALSE(std::filesystem::exists(out));
}

// --make-patch then --patch gives the file back, headers or not, for random edits.
TEST(PatchFix, MakeThenApplyGivesTheFileBack) {
    TempFolder folder;
    std::mt19937 random(77);
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(round);
        const bool headered = round % 2 == 1;
        const Bytes data =
            MakeRomData(64 * 1024 * (1 + random() % 4), static_cast<std::uint32_t>(random()));
        Bytes edited = data;
        for (int e = 0; e < 20; ++e) {
            const std::size_t at = random() % edited.size();
            const std::size_t length = 1 + random() % 200;
            switch (random() % 3) {
            case 0:
                edited.insert(edited.begin() + at, length, static_cast<std::uint8_t>(random()));
                break;
            case 1:
                edited.erase(edited.begin() + at,
                             edited.begin() + std::min(edited.size(), at + length));
                break;
            default:
                for (std::size_t i = at; i < std::min(edited.size(), at + length); ++i)
                    edited[i] = static_cast<std::uint8_t>(random());
            }
        }
        edited.resize(edited.size() / 8192 * 8192 + 8192); // whole blocks, so a header counts
        const Bytes swc = SuperWildCardHeader(static_cast<std::uint16_t>(edited.size() / 8192), 0);
        const Bytes target = headered ? Concatenate(swc, edited) : edited;
        const std::string original = folder.Write(
            "original.smc",
            headered
                ? Concatenate(
                      SuperWildCardHeader(static_cast<std::uint16_t>(data.size() / 8192), 0), data)
                : data);
        const std::string file = folder.Write("file.smc", target);
        const std::string format = round % 4 < 2 ? "bps" : "ips";
        const std::string patch = (folder.Path() / ("p." + format)).string();
        const std::string result = (folder.Path() / "result.smc").string();
        ToolRun run =
            Fix({"--make-patch", original, "--format", format, "-o", patch, "--force", file});
        ASSERT_EQ(run.status, 0) << run.err;
        // The data's checksums do not match: IPS is told where it goes.
        std::vector<std::string> apply = {"--patch", patch, original, "-o", result, "--force"};
        if (format == "ips")
            apply.push_back("--patch-data");
        run = Fix(apply);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(ReadAll(result), target);
    }
}

} // namespace
} // namespace quillet
