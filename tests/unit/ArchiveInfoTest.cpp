// quillet-info on images inside archives.
#include "cli/QuilletInfo.h"

#include "tests/support/ArchiveMaker.h"
#include "tests/support/TempFolder.h"
#include "tests/support/ToolRuns.h"
#include "tools/RomImageBuilder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>

namespace quillet {
namespace {

using namespace samples;
using namespace testing;
using Json = nlohmann::ordered_json;
using Bytes = std::vector<std::uint8_t>;

std::vector<Json> Lines(const std::string& out) {
    std::vector<Json> lines;
    std::istringstream text(out);
    for (std::string line; std::getline(text, line);)
        lines.push_back(Json::parse(line));
    return lines;
}

// Each member reports what the same bytes as a file report, named ARCHIVE#MEMBER, in the
// archive's order, with the record carried from one to the next.
TEST(ArchiveInfo, MembersReportAsTheSameFilesWould) {
    TempFolder folder;
    // Three images whose records differ, so that one carried from member to member shows.
    Bytes raw = MakeRomData(131072, 4);
    WriteInternalHeader(raw, kLoRomArea, {.title = "RAW ONE", .version = 3});
    FixChecksum(raw, kLoRomArea);
    const std::vector<ArchiveItem> images = {
        {"Game (USA).smc", DemoImage()},
        {"notes.txt", {'n', 'o'}},
        {"swc#2 \xE3\x83\x86.SWC",
         Concatenate(SuperWildCardHeader(0x0777, 0xF0), MakeRomData(131072, 2))},
        {"raw.sfc", raw}};
    std::vector<std::string> files;
    for (const ArchiveItem& item : images) {
        if (item.name != "notes.txt")
            files.push_back(
                folder.Write("plain-" + std::to_string(files.size()) + ".sfc", item.bytes));
    }
    const std::string zip = folder.Write("roms.zip", MakeArchive(ArchiveFormat::Zip, images));
    const std::vector<std::string> names = {"Game (USA).smc", "swc#2 \xE3\x83\x86.SWC", "raw.sfc"};

    for (const std::vector<std::string>& mode :
         {std::vector<std::string>{"--json", "--trace", "--verify"},
          {"--json", "--details", "--verify"}}) {
        SCOPED_TRACE(mode.back());
        std::vector<std::string> arguments = mode;
        arguments.insert(arguments.end(), files.begin(), files.end());
        const ToolRun plain = Info(arguments);
        ASSERT_EQ(plain.status, 0) << plain.err;
        arguments = mode;
        arguments.push_back(zip);
        const ToolRun run = Info(arguments);
        EXPECT_EQ(run.status, 0) << run.err;
        const std::vector<Json> expected = Lines(plain.out);
        const std::vector<Json> lines = Lines(run.out);
        ASSERT_EQ(lines.size(), names.size()) << run.out;
        for (std::size_t i = 0; i < names.size(); ++i) {
            EXPECT_EQ(lines[i]["File"], zip + "#" + names[i]);
            Json same = lines[i];
            same["File"] = expected[i]["File"];
            EXPECT_EQ(same, expected[i]);
        }
    }
    const ToolRun text = Info({zip});
    EXPECT_TRUE(text.out.starts_with("Filename:      " + zip + "#Game (USA).smc\nDOS Size:"))
        << text.out;
}

TEST(ArchiveInfo, FoldersHoldArchivesKnownByExtensionInAnyCase) {
    TempFolder folder;
    const Bytes demo = DemoImage();
    folder.Write("a.ZIP", MakeArchive(ArchiveFormat::Zip, {{"in-zip.sfc", demo}}));
    folder.Write("b.sfc", demo);
    folder.Write("c.7Z", MakeArchive(ArchiveFormat::SevenZip, {{"in-7z.smc", demo}}));
    folder.Write("d.sfc.Gz", MakeArchive(ArchiveFormat::Gzip, {{"", demo}}));
    const ToolRun run = Info({"--json", "--details", folder.Path().string()});
    EXPECT_EQ(run.status, 0) << run.err;
    const std::vector<Json> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 4u) << run.out;
    const std::string base = (folder.Path() / "").string();
    EXPECT_EQ(lines[0]["File"], base + "a.ZIP#in-zip.sfc");
    EXPECT_EQ(lines[1]["File"], base + "b.sfc");
    EXPECT_EQ(lines[2]["File"], base + "c.7Z#in-7z.smc");
    EXPECT_EQ(lines[3]["File"], base + "d.sfc.Gz#d.sfc");
    for (const Json& line : lines)
        EXPECT_EQ(line["Details"]["File"], lines[1]["Details"]["File"]) << line["File"];
}

// How the reader refuses members over the limit and corrupt archives is the archive tests'
// business; here, that each becomes a report of its own and the run goes on.
TEST(ArchiveInfo, ArchivesAndMembersThatCannotBeReadAreReportedAndTheRunGoesOn) {
    TempFolder folder;
    const Bytes demo = DemoImage();
    const std::string good = folder.Write("good.sfc", demo);
    // Over 16 MiB by one byte, compressed to little.
    const std::string large = folder.Write(
        "large.zip", MakeArchive(ArchiveFormat::Zip, {{"first.sfc", demo},
                                                      {"huge.sfc", Bytes(16 * 1024 * 1024 + 1, 0)},
                                                      {"last.sfc", demo}}));
    const std::string garbage = folder.Write("garbage.7z", MakeRomData(5000, 1));
    const std::string noImages =
        folder.Write("text.zip", MakeArchive(ArchiveFormat::Zip, {{"a.txt", {'a'}}}));

    for (const char* details : {"--verify", "--details"}) {
        SCOPED_TRACE(details);
        const ToolRun run = Info({"--json", details, large, garbage, noImages, good});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, "quillet-info: no images in archive " + noImages + "\n");
        const std::vector<Json> lines = Lines(run.out);
        ASSERT_EQ(lines.size(), 5u) << run.out;
        EXPECT_EQ(lines[0]["File"], large + "#first.sfc");
        EXPECT_EQ(lines[1], (Json{{"File", large + "#huge.sfc"},
                                  {"Error", "Cannot read " + large +
                                                "#huge.sfc: 16777217 bytes, more than the 16 MiB "
                                                "an image in an archive may have"}}));
        // The members after it are still read, and the record is the one the first left.
        EXPECT_EQ(lines[2]["File"], large + "#last.sfc");
        EXPECT_EQ(lines[2]["Status"], 1);
        EXPECT_EQ(lines[3]["File"], garbage);
        EXPECT_TRUE(lines[3]["Error"].get<std::string>().starts_with("Cannot read archive " +
                                                                     garbage + ": "));
        EXPECT_EQ(lines[4]["File"], good);
        EXPECT_EQ(lines[4]["Status"], 1);
    }
    const ToolRun text = Info({garbage, good});
    EXPECT_TRUE(text.out.starts_with("Filename:      " + garbage +
                                     "\nError:         Cannot read archive " + garbage + ": "))
        << text.out;
}

} // namespace
} // namespace quillet
