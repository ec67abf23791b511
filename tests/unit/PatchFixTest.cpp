// quillet-fix --patch and --make-patch, through the tool's command line and real files. Where a
// patch goes and what it makes is the patch tests' business; here, what the tool adds.
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

// --make-patch leaves the copier headers out, and --patch puts them back; the checksum is set
// after the patch.
TEST(PatchFix, MadeThenAppliedToHeaderedFiles) {
    TempFolder folder;
    const Bytes data = Game(11);
    const Bytes swc = SuperWildCardHeader(32, 0);
    const std::string game = folder.Write("game.smc", Concatenate(swc, data));
    const std::string hack = folder.Write("hack.smc", Concatenate(swc, Changed(data)));
    const std::string bps = (folder.Path() / "hack.bps").string();
    ToolRun run = Fix({"--make-patch", game, "-o", bps, hack});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, hack + ": wrote a BPS patch of " + std::to_string(ReadAll(bps).size()) +
                           " bytes that turns " + game + " into " + hack + " to " + bps + "\n" +
                           hack +
                           ": note: the patch leaves out the copier headers, as today's "
                           "patches do\n");

    // How a dry run says what it would do is the repair tests'.
    const std::string out = (folder.Path() / "out.smc").string();
    run = Fix({"--patch", bps, "--checksum", game, "-o", out});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.out.ends_with("\n" + game + ": wrote " + out + "\n")) << run.out;
    Bytes expected = Changed(data);
    FixChecksum(expected, kLoRomArea);
    EXPECT_EQ(ReadAll(out), Concatenate(swc, expected));
    EXPECT_EQ(ReadAll(game), Concatenate(swc, data));

    // IPS made with --format ips, applied in place where it was told to go.
    const std::string ips = (folder.Path() / "hack.ips").string();
    ASSERT_EQ(Fix({"--make-patch", game, "--format", "ips", "-o", ips, hack}).status, 0);
    run = Fix({"--patch", ips, "--patch-data", "--in-place", game});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.out.ends_with(game + ": rewritten in place\n")) << run.out;
    EXPECT_EQ(ReadAll(game), ReadAll(hack));
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
    const std::string big = folder.Write("big.bin", Bytes(16 * 1024 * 1024 + 8192));
    const std::string out = (folder.Path() / "out.sfc").string();
    const std::vector<std::string> before = Names(folder.Path());

    EXPECT_EQ(Fix({"--patch", notPatch, "--in-place", game}).err,
              "quillet-fix: " + game +
                  ": not a patch: it starts with none of \"PATCH\" (IPS), \"BPS1\" and \"UPS1\"\n");
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--patch", wrong, "--in-place", game},
          std::vector<std::string>{"--patch", mismatch, game, "-o", out},
          // IPS cannot describe files over 16 MiB; a patch is not written over a file.
          std::vector<std::string>{"--make-patch", game, "--format", "ips", "-o", out, big},
          std::vector<std::string>{"--make-patch", game, "-o", wrong, game}}) {
        const ToolRun run = Fix(arguments);
        EXPECT_EQ(run.status, 1) << arguments[1];
        EXPECT_TRUE(run.err.starts_with("quillet-fix: ")) << run.err;
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(ReadAll(game), data);
    EXPECT_EQ(ReadAll(wrong), MakeBps(other, Changed(other)));
    EXPECT_EQ(Names(folder.Path()), before);
}

} // namespace
} // namespace quillet
