// quillet-fix --patch and --make-patch, through the tool's command line and real files.
#include "rom/PatchFormats.h"
#include "rom/PatchMaker.h"
#include "tests/support/GameImages.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

using namespace samples;
using Bytes = std::vector<std::uint8_t>;
using testing::Fix;
using testing::Names;
using testing::ReadAll;
using testing::TempFolder;
using testing::ToolRun;

Bytes Game(std::uint32_t seed) {
    return testing::ScoredGame(256 * 1024, kLoRomArea, {.title = "PATCH TEST", .romSizeCode = 0x08},
                               seed);
}

// A change that leaves the checksum wrong.
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
        const ToolRun run = Fix(c.arguments);
        EXPECT_EQ(run.status, 2) << c.err;
        EXPECT_TRUE(run.err.starts_with(c.err)) << run.err;
    }
}

TEST(PatchFix, APatchAndAChecksumThenWhatIsWritten) {
    TempFolder folder;
    const Bytes data = Game(11);
    const Bytes swc = SuperWildCardHeader(32, 0);
    const std::string game = folder.Write("game.smc", Concatenate(swc, data));
    // Made for the data, by the tool itself.
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

    // The patch, then the checksum of what it made.
    const std::string out = (folder.Path() / "out.smc").string();
    run = Fix({"--patch", bps, "--checksum", game, "-o", out});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.out.starts_with(game + ": applied the BPS patch to the data")) << run.out;
    EXPECT_NE(run.out.find("\n" + game + ": set the checksum at 0x007FC0 (LoROM) to 0x"),
              std::string::npos)
        << run.out;
    EXPECT_TRUE(run.out.ends_with("\n" + game + ": wrote " + out + "\n")) << run.out;
    Bytes expected = Changed(data);
    FixChecksum(expected, kLoRomArea);
    EXPECT_EQ(ReadAll(out), Concatenate(swc, expected));
    EXPECT_EQ(ReadAll(game), Concatenate(swc, data));

    // IPS made with --format ips, applied in place; the choice is said.
    const std::string ips = (folder.Path() / "hack.ips").string();
    ASSERT_EQ(Fix({"--make-patch", original, "--format", "ips", "-o", ips, hack}).status, 0);
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
    // The target's CRC32 changed, and the patch's own set to match: refused once applied.
    Bytes badTarget = MakeBps(data, Changed(data));
    badTarget[badTarget.size() - 6] ^= 1;
    const std::uint32_t crc = Crc32Of(std::span(badTarget).first(badTarget.size() - 4));
    for (int i = 0; i < 4; ++i)
        badTarget[badTarget.size() - 4 + i] = static_cast<std::uint8_t>(crc >> (8 * i));
    const std::string mismatch = folder.Write("mismatch.bps", badTarget);
    const std::string missing = (folder.Path() / "missing.bps").string();
    const std::string out = (folder.Path() / "out.sfc").string();
    const std::vector<std::string> before = Names(folder.Path());

    const struct {
        std::string patch;
        std::string err; // after "quillet-fix: FILE: "
    } cases[] = {
        {wrong, "This patch is for an image whose CRC32 is " + CrcText(Crc32Of(other)) +
                    "; this file's is " + CrcText(Crc32Of(data)) +
                    ", and it has no copier header to leave out\n"},
        {notPatch, "not a patch: it starts with none of \"PATCH\" (IPS), \"BPS1\" and \"UPS1\"\n"},
        {mismatch, "the BPS patch made a result whose CRC32 is "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.err);
        for (const std::vector<std::string>& arguments :
             {std::vector<std::string>{"--patch", c.patch, "--in-place", game},
              std::vector<std::string>{"--patch", c.patch, game, "-o", out}}) {
            const ToolRun run = Fix(arguments);
            EXPECT_EQ(run.status, 1);
            EXPECT_TRUE(run.err.starts_with("quillet-fix: " + game + ": " + c.err)) << run.err;
            EXPECT_EQ(run.out, "");
        }
        EXPECT_EQ(ReadAll(game), data);
        EXPECT_EQ(Names(folder.Path()), before);
    }
    ToolRun run = Fix({"--patch", missing, "--in-place", game});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.starts_with("quillet-fix: Cannot open file " + missing + ": ")) << run.err;

    // --make-patch refuses IPS for files over 16 MiB, and an existing target without --force.
    const std::string big = folder.Write("big.bin", Bytes(16 * 1024 * 1024 + 8192));
    run = Fix({"--make-patch", game, "--format", "ips", "-o", out, big});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "quillet-fix: " + big +
                           ": an IPS patch cannot describe files over 16 MiB; make a BPS patch\n");
    run = Fix({"--make-patch", game, "-o", wrong, game});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "quillet-fix: " + wrong + " exists; give --force to replace it\n");
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_EQ(ReadAll(wrong), MakeBps(other, Changed(other)));
}

// --make-patch leaves the copier headers out, and --patch puts them back with their blocks count
// set for the new data.
TEST(PatchFix, MakeThenApplyGivesAHeaderedFileBack) {
    TempFolder folder;
    const Bytes data = MakeRomData(128 * 1024, 77);
    Bytes edited = Changed(data);
    edited.insert(edited.begin() + 0x4000, 3000, 0x5A);
    edited.erase(edited.begin() + 0x10000, edited.begin() + 0x10000 + 1000);
    edited.resize(192 * 1024); // whole blocks, so the header counts
    const std::string original =
        folder.Write("original.smc", Concatenate(SuperWildCardHeader(16, 0), data));
    const std::string target =
        folder.Write("target.smc", Concatenate(SuperWildCardHeader(24, 0), edited));
    for (const std::string format : {"bps", "ips"}) {
        const std::string patch = (folder.Path() / ("p." + format)).string();
        const std::string result = (folder.Path() / ("result-" + format + ".smc")).string();
        ToolRun run = Fix({"--make-patch", original, "--format", format, "-o", patch, target});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_TRUE(run.out.ends_with(target + ": note: the patch leaves out the copier headers, "
                                               "as today's patches do\n"))
            << run.out;
        // The data's checksum does not match: IPS is told where it goes.
        std::vector<std::string> apply = {"--patch", patch, original, "-o", result};
        if (format == "ips")
            apply.push_back("--patch-data");
        run = Fix(apply);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(ReadAll(result), ReadAll(target));
    }
}

} // namespace
} // namespace quillet
