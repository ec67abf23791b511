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

// How the reader refuses members over the limit and corrupt archives is the archive tests'
// business; here, that a folder's archives are known by their extension in any case, and that
// each failure becomes a report of its own and the run goes on.
TEST(ArchiveInfo, FoldersOfArchivesAndFilesReportEachFailureAndGoOn) {
    TempFolder folder;
    const Bytes demo = DemoImage();
    const std::string base = (folder.Path() / "").string();
    // Over 16 MiB by one byte, compressed to little.
    folder.Write("a.ZIP",
                 MakeArchive(ArchiveFormat::Zip, {{"f#1 \xE3\x83\x86.sfc", demo},
                                                  {"huge.sfc", Bytes(16 * 1024 * 1024 + 1, 0)},
                                                  {"last.sfc", demo}}));
    folder.Write("b.7Z", MakeRomData(5000, 1));
    folder.Write("c.sfc", demo);
    folder.Write("d.sfc.Gz", MakeArchive(ArchiveFormat::Gzip, {{"", demo}}));
    folder.Write("e.7z", MakeArchive(ArchiveFormat::SevenZip, {{"a.txt", {'a'}}}));

    for (const char* details : {"--verify", "--details"}) {
        SCOPED_TRACE(details);
        const ToolRun run = Info({"--json", details, folder.Path().string()});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, "quillet-info: no images in archive " + base + "e.7z\n");
        const std::vector<Json> lines = Lines(run.out);
        ASSERT_EQ(lines.size(), 6u) << run.out;
        EXPECT_EQ(lines[0]["File"], base + "a.ZIP#f#1 \xE3\x83\x86.sfc");
        EXPECT_EQ(lines[1], (Json{{"File", base + "a.ZIP#huge.sfc"},
                                  {"Error", "Cannot read " + base +
                                                "a.ZIP#huge.sfc: 16777217 bytes, more than the 16 "
                                                "MiB an image in an archive may have"}}));
        // The members after it are still read, and the record is the one the first left.
        EXPECT_EQ(lines[2]["File"], base + "a.ZIP#last.sfc");
        EXPECT_EQ(lines[3]["File"], base + "b.7Z");
        EXPECT_TRUE(lines[3]["Error"].get<std::string>().starts_with("Cannot read archive " + base +
                                                                     "b.7Z: "));
        EXPECT_EQ(lines[4]["File"], base + "c.sfc");
        EXPECT_EQ(lines[4]["Status"], 1);
        EXPECT_EQ(lines[5]["File"], base + "d.sfc.Gz#d.sfc");
        // Each member reports what the same bytes as a file report.
        for (const std::size_t i : {0u, 2u, 5u}) {
            Json same = lines[i];
            same["File"] = lines[4]["File"];
            EXPECT_EQ(same, lines[4]) << i;
        }
    }
}

} // namespace
} // namespace quillet
