#include "cli/RenameFromDat.h"

#include "tests/support/GameImages.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

using namespace testing;
using Bytes = std::vector<std::uint8_t>;

TEST(RenameFromDat, ImagesTakeTheirDatNamesAndEveryRefusalLeavesTheFileAsItWas) {
    TempFolder folder;
    const auto images = folder.Path() / "images";
    std::filesystem::create_directory(images);
    std::string dat = "clrmamepro ( name \"test\" )\n";
    // Each file, and the name the DAT file gives its data.
    const std::pair<const char*, const char*> files[] = {{"one.sfc", "Game One (USA).sfc"},
                                                         {"two.smc", "Game Two (Europe).sfc"},
                                                         {"three.sfc", "Taken.sfc"},
                                                         {"four.sfc", "../Escape.sfc"},
                                                         {"five.sfc", "Bell\x07.sfc"}};
    std::vector<Bytes> games;
    for (const auto& [file, name] : files) {
        games.push_back(GameImage(static_cast<std::uint32_t>(games.size() + 1)));
        dat += DatGame(name, name, games.back());
        folder.Write("images/" + std::string(file), games.back());
    }
    // A copier header keeps its file's extension.
    const Bytes headered = samples::Concatenate(samples::SuperWildCardHeader(0, 0), games[1]);
    folder.Write("images/two.smc", headered);
    const std::string datPath = folder.Write("games.dat", Bytes(dat.begin(), dat.end()));
    const Bytes taken = GameImage(7);
    folder.Write("images/Taken.sfc", taken);
    folder.Write("images/unknown.sfc", GameImage(8));
    folder.Write("images/Game One (USA).zip", {});

    const std::vector<std::string> before = Names(images);
    const ToolRun dry = Fix({"--rename-from-dat", datPath, "--dry-run", images.string()});
    EXPECT_TRUE(Has(dry.out, "one.sfc: would be renamed to Game One (USA).sfc\n")) << dry.out;
    EXPECT_EQ(Names(images), before);

    const ToolRun run = Fix({"--rename-from-dat", datPath, images.string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(ReadAll(images / "Game One (USA).sfc"), games[0]);
    EXPECT_EQ(ReadAll(images / "Game Two (Europe).smc"), headered);
    // Why a name is unsafe is UnsafeFileNameReason's test; here, that each file stays, and the
    // name reaches the terminal escaped.
    for (const char* file : {"three.sfc", "four.sfc", "five.sfc"}) {
        EXPECT_TRUE(std::filesystem::exists(images / file)) << file;
        EXPECT_TRUE(Has(run.err, std::string(file) + ": ")) << file;
    }
    EXPECT_TRUE(Has(run.err, "'Bell\\x07.sfc', which holds a control character")) << run.err;
    EXPECT_EQ(ReadAll(images / "Taken.sfc"), taken);
    EXPECT_TRUE(Has(run.out, "images inside archives are not renamed"));
    EXPECT_EQ(Names(images).size(), before.size());

    EXPECT_EQ(Fix({"--rename-from-dat", datPath, "--checksum", images.string()}).status, 2);
}

TEST(RenameFromDat, NamesThatCannotBeAFilesNameAnywhere) {
    for (const char* unsafe : {"", "a\\b.sfc", "x..y.sfc", "C:game.sfc", "del\x7F.sfc", "what?.sfc",
                               "dot.", "blank ", "Com1.sfc", "LPT9 .txt", "bad\xC3.sfc"})
        EXPECT_FALSE(UnsafeFileNameReason(unsafe).empty()) << unsafe;
    for (const char* safe :
         {"Pok\xC3\xA9mon.sfc", "CONSOLE.sfc", "COM10.sfc", "Mario & Luigi, v1.1 [!].smc"})
        EXPECT_EQ(UnsafeFileNameReason(safe), "") << safe;
}

} // namespace
} // namespace quillet
