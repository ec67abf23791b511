#include "cli/RenameFromDat.h"
#include "cli/QuilletFix.h"

#include "rom/Digests.h"
#include "tests/support/FailingFileLayer.h"
#include "tests/support/TempFolder.h"
#include "tests/support/ToolRuns.h"
#include "tools/RomImageBuilder.h"

#include <gtest/gtest.h>

#include <sstream>

namespace quillet {
namespace {

using testing::Fix;
using testing::ToolRun;

using namespace samples;
using Bytes = std::vector<std::uint8_t>;
using testing::Names;
using testing::ReadAll;
using testing::TempFolder;

Bytes Game(std::uint32_t seed) {
    Bytes rom = MakeRomData(131072, seed);
    WriteInternalHeader(rom, kLoRomArea, {.title = "RENAME " + std::to_string(seed)});
    FixChecksum(rom, kLoRomArea);
    return rom;
}

// A clrmamepro DAT naming each game's data by SHA-1.
std::string Dat(const std::vector<std::pair<std::string, Bytes>>& roms) {
    std::string dat = "clrmamepro ( name \"test\" )\n";
    for (const auto& [name, data] : roms) {
        DigestSet digests;
        digests.Update(data);
        dat += "game ( name \"" + name + "\" rom ( name \"" + name + "\" size " +
               std::to_string(data.size()) + " sha1 " + digests.Finish().sha1 + " ) )\n";
    }
    return dat;
}

TEST(RenameFromDat, ImagesTakeTheirDatNamesAndEveryRefusalLeavesTheFileAsItWas) {
    TempFolder folder;
    const Bytes games[] = {Game(1), Game(2), Game(3), Game(4), Game(5), Game(6), Game(7)};
    const std::string dat = Dat({{"Game One (USA).sfc", games[0]},
                                 {"Game Two (Europe).sfc", games[1]},
                                 {"Taken.sfc", games[2]},
                                 {"../Escape.sfc", games[3]},
                                 {"CON.sfc", games[4]},
                                 {"Bell\x07.sfc", games[5]}});
    const std::string datPath = folder.Write("games.dat", Bytes(dat.begin(), dat.end()));
    const auto images = folder.Path() / "images";
    std::filesystem::create_directory(images);
    const TempFolder& f = folder;
    const auto write = [&](const std::string& name, const Bytes& bytes) {
        return f.Write("images/" + name, bytes);
    };
    write("one.sfc", games[0]);
    const Bytes headered = Concatenate(SuperWildCardHeader(0, 0), games[1]);
    write("two.smc", headered);
    write("three.sfc", games[2]);
    write("Taken.sfc", games[6]);
    write("four.sfc", games[3]);
    write("five.sfc", games[4]);
    write("six.sfc", games[5]);
    write("unknown.sfc", Game(8));
    write("Game One (USA).zip", {});

    const std::vector<std::string> before = Names(images);
    const ToolRun dry = Fix({"--rename-from-dat", datPath, "--dry-run", images.string()});
    EXPECT_EQ(dry.status, 1);
    EXPECT_EQ(Names(images), before);
    EXPECT_NE(dry.out.find("one.sfc: would be renamed to Game One (USA).sfc\n"), std::string::npos)
        << dry.out;

    const ToolRun run = Fix({"--rename-from-dat", datPath, images.string()});
    EXPECT_EQ(run.status, 1);
    // The data's name; a copier header keeps its file's extension.
    EXPECT_EQ(ReadAll(images / "Game One (USA).sfc"), games[0]);
    EXPECT_EQ(ReadAll(images / "Game Two (Europe).smc"), headered);
    const struct {
        const char* file;
        const char* says;
    } refused[] = {
        {"three.sfc", "Taken.sfc, which exists"},
        {"four.sfc", "'../Escape.sfc', which holds a path separator"},
        {"five.sfc", "'CON.sfc', which is a name Windows reserves for a device"},
        {"six.sfc", "'Bell\\x07.sfc', which holds a control character"},
    };
    for (const auto& r : refused) {
        EXPECT_TRUE(std::filesystem::exists(images / r.file)) << r.file;
        EXPECT_NE(run.err.find(std::string(r.file) + ": "), std::string::npos) << r.file;
        EXPECT_NE(run.err.find(r.says), std::string::npos) << r.says << "\n" << run.err;
    }
    EXPECT_EQ(ReadAll(images / "Taken.sfc"), games[6]);
    EXPECT_NE(run.out.find("unknown.sfc: not in the DAT files"), std::string::npos);
    EXPECT_NE(run.out.find("images inside archives are not renamed"), std::string::npos);
    EXPECT_EQ(Names(images).size(), before.size());

    // Run again, nothing is left to do for the renamed ones.
    const ToolRun again =
        Fix({"--rename-from-dat", datPath, (images / "Game One (USA).sfc").string()});
    EXPECT_EQ(again.status, 0);
    EXPECT_NE(again.out.find("named as the DAT file names it already"), std::string::npos);

    EXPECT_EQ(Fix({"--rename-from-dat", datPath, "--checksum", images.string()}).status, 2);
    EXPECT_EQ(Fix({"--rename-from-dat", folder.Write("bad.dat", {'x'}), images.string()}).status,
              2);
}

TEST(RenameFromDat, NamesThatCannotBeAFilesNameAnywhere) {
    for (const char* unsafe : {"", "a/b.sfc", "a\\b.sfc", "..", "x..y.sfc", "C:game.sfc",
                               "tab\t.sfc", "del\x7F.sfc", "what?.sfc", "pipe|.sfc", "dot.",
                               "blank ", "nul", "Com1.sfc", "LPT9 .txt", "bad\xC3.sfc"})
        EXPECT_FALSE(UnsafeFileNameReason(unsafe).empty()) << unsafe;
    for (const char* safe : {"Game (USA) (Rev 1).sfc", "Pok\xC3\xA9mon.sfc", "CONSOLE.sfc",
                             "COM10.sfc", "Mario & Luigi, v1.1 [!].smc", ".hidden"})
        EXPECT_EQ(UnsafeFileNameReason(safe), "") << safe;
}

} // namespace
} // namespace quillet
