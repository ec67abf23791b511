#include "cli/QuilletInfo.h"

#include "base/Utf8.h"
#include "cli/CommandLine.h"
#include "tests/support/GameImages.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace quillet {
namespace {

using testing::Has;
using testing::Info;
using testing::Listed;
using testing::Reports;
using testing::ToolRun;

using namespace samples;
namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

Json Line(const std::string& out, std::size_t index = 0) {
    return Json::parse(Reports(out).at(index));
}

// The digests of the demo image's data, after its copier header.
Digests DemoDigests() {
    const std::vector<std::uint8_t> image = DemoImage();
    return testing::DigestsOf(std::span(image).subspan(512));
}

// A Logiqx DAT that knows the demo image's data as the game `name`, by SHA-1 or else by
// SHA-256, with `more` attributes on its ROM.
std::vector<std::uint8_t> DemoDat(const std::string& name, bool sha256 = false,
                                  const std::string& more = "") {
    const std::string hash =
        sha256 ? "sha256=\"" + DemoDigests().sha256 : "sha1=\"" + DemoDigests().sha1;
    const std::string text = "<datafile><game name=\"" + name +
                             "\"><rom name=\"d.sfc\" size=\"1048576\" " + hash + "\" " + more +
                             "/></game></datafile>";
    return {text.begin(), text.end()};
}

// One record goes from file to file in name order, as the main window keeps one; a file that
// cannot be read or analysed says why, and the next one goes on.
TEST(QuilletInfo, JsonLinesCarryTheRecordFromFileToFileAndFailuresGoOn) {
    testing::TempFolder folder;
    std::vector<std::uint8_t> rom = MakeRomData(131072, 4);
    WriteInternalHeader(rom, kLoRomArea, {.title = "RAW", .version = 3});
    FixChecksum(rom, kLoRomArea);
    const std::string raw = folder.Write("b raw.sfc", rom);
    folder.Write("a-swc.smc",
                 Concatenate(SuperWildCardHeader(0x0777, 0xF0), MakeRomData(131072, 2)));
    fs::create_directory(folder.Path() / "c-subfolder");
    const std::string missing = (folder.Path() / "missing.sfc").string();
    const std::string huge = (folder.Path() / "huge.bin").string();
    { std::ofstream{huge}; }
    fs::resize_file(huge, 268435456); // sparse: no checksums, so the size decides

    const ToolRun run = Info({"--json", missing, folder.Path().string()});
    EXPECT_EQ(run.status, 1);
    ASSERT_EQ(Reports(run.out).size(), 4u) << run.out;
    // The record a file that cannot be read leaves, with the reason where a failure has it.
    const Json unreadable = Line(run.out, 0);
    const std::string cannotOpen = "Cannot open file " + missing + ": ";
    EXPECT_EQ(unreadable["File"], missing);
    EXPECT_TRUE(unreadable["Error"].get<std::string>().starts_with(cannotOpen)) << run.out;
    EXPECT_EQ(unreadable["Status"], 3);
    const Json third = Line(run.out, 2);
    EXPECT_EQ(third["File"], raw);
    // The raw image's record still holds the Super Wild Card fields of the one before it.
    EXPECT_EQ(third["CopierBlocks"], 1911);
    EXPECT_EQ(third["SwcMode0"], true);
    EXPECT_EQ(third["Status"], 2);
    EXPECT_EQ(third["Errors"], "No header -- Raw Image\r\n");
    EXPECT_EQ(Line(run.out, 3), (Json{{"File", huge}, {"Error", "Integer overflow"}}));

    EXPECT_EQ(Info({}).status, 2); // no file given
}

// The reports of a folder come in name order, each with the record the one before left, and
// the details only add to them, also while other files are still being read.
TEST(QuilletInfo, ReportsAndTheDetailsThatComeAfterThem) {
    testing::TempFolder folder;
    const std::string demo = Listed(folder.Write("demo.smc", DemoImage()));
    for (int i = 0; i < 5; ++i) {
        const auto rom =
            MakeRomData(131072 * static_cast<std::size_t>(5 - i), static_cast<std::uint32_t>(i));
        const auto swc = SuperWildCardHeader(static_cast<std::uint16_t>(0x0100 + i), 0xF0);
        folder.Write("img" + std::to_string(i) + ".sfc", i % 2 == 0 ? Concatenate(swc, rom) : rom);
    }
    const std::string missing = (folder.Path() / "zz-missing.sfc").string();
    const ToolRun plain = Info({"--trace", "--verify", folder.Path().string(), missing});
    const ToolRun details =
        Info({"--trace", "--verify", "--details", folder.Path().string(), missing});
    EXPECT_EQ(details.status, 1);
    const std::vector<std::string> before = Reports(plain.out, "\n\n");
    const std::vector<std::string> after = Reports(details.out, "\n\n");
    ASSERT_EQ(after.size(), 7u);
    ASSERT_EQ(before.size(), 7u);
    for (std::size_t i = 0; i < after.size(); ++i) {
        EXPECT_TRUE(after[i].starts_with(before[i]));
        EXPECT_EQ(after[i] != before[i], i < 6) << after[i];
    }
    EXPECT_TRUE(before[0].starts_with("Filename:      " + demo +
                                      "\nDOS Size:      1049088 bytes (1024 KB, 1 MB)\n"
                                      "File Format:   Super Wild Card (SWC)\n"
                                      "Game Name:     QUILLET DEMO CART    \n"
                                      "ROM Format:    LoRom\n"
                                      "ROM Size:      8Mbits (8Mbits actual size)\n"
                                      "SRAM Size:     16kbits\n"
                                      "Special Chips: SRAM\n"
                                      "Country:       North America (NTSC)\n"
                                      "Manufacturer:  Unknown Company (ID:0x33)\n"
                                      "Version:       1.01\n"
                                      "Checksum:      0x"))
        << before[0];
    EXPECT_TRUE(Has(before[0], "\nStatus:        1 - Valid SNES ROM Image loaded and "
                               "ready.\nErrors Found:  (None)\nVerified:      computed "
                               "checksum 0x"));
    EXPECT_TRUE(Has(before[0], ", matches the header\nTrace:         Super Wild Card"));
    EXPECT_TRUE(Has(before[1], ", does not match the header\n")) << before[1];
    // In JSON, the details close the line, in the order the text shows them.
    const Json shown = Line(Info({"--json", "--details", demo}).out)["Details"];
    std::vector<std::string> groups;
    for (const auto& group : shown.items())
        groups.push_back(group.key());
    EXPECT_EQ(groups, (std::vector<std::string>{"Data", "File", "Cartridge", "Opinion", "Checksum",
                                                "Copier", "Interleaved"}));
    EXPECT_EQ(shown["Copier"], (Json{{"Format", "Super Wild Card"}, {"HeaderSize", 512}}));
}

TEST(QuilletInfo, DatFilesAndFoldersNameTheGameAndOnesThatCannotBeReadStopTheRun) {
    testing::TempFolder folder;
    const std::string demo = folder.Write("demo.smc", DemoImage());
    const std::string other = folder.Write("other.sfc", MakeRomData(8192));
    const std::string good = folder.Write("good.dat", DemoDat("Demo (World)"));
    fs::create_directory(folder.Path() / "dats");
    const std::string bad = Listed(
        folder.Write("dats/snes.xml", DemoDat("Demo (World) [b]", true, "status=\"baddump\"")));
    const std::string dats = (folder.Path() / "dats").string();

    EXPECT_EQ(Line(Info({"--json", "--dat", good, other}).out)["Details"]["Dat"]["Match"], "none");
    EXPECT_EQ(Line(Info({"--json", "--dat", dats, demo}).out)["Details"]["Dat"],
              (Json{{"Name", "Demo (World) [b]"},
                    {"Match", "sha256"},
                    {"Rom", "d.sfc"},
                    {"Source", bad},
                    {"Status", "baddump"},
                    {"Via", Json::array()},
                    {"Explanation", nullptr}}));
    EXPECT_TRUE(Has(Info({"--dat=" + dats, demo}).out,
                    "  Match:       matches a known bad dump (by SHA-256)\n"));

    std::vector<std::uint8_t> cut = DemoDat("Demo");
    cut.resize(cut.size() - 3);
    const std::string truncated = folder.Write("cut.dat", cut);
    const std::string none = (folder.Path() / "none").string();
    fs::create_directory(none);
    for (const auto& [dat, message] : std::vector<std::pair<std::string, std::string>>{
             {truncated, "quillet-info: DAT file " + truncated + ": "},
             {none, "quillet-info: no DAT files in directory " + none + "\n"}}) {
        const ToolRun run = Info({"--dat", good, "--dat", dat, demo});
        EXPECT_EQ(run.status, 2) << dat;
        EXPECT_TRUE(run.out.empty()) << run.out;
        EXPECT_TRUE(run.err.starts_with(message)) << run.err;
    }
}

// Every JSON line parses, whatever the names, titles and options, and its strings read back to
// the bytes they came from; the text report gives names in any script as they are. Neither
// output has a control character for a terminal to act on.
TEST(QuilletInfo, NamesAndTitlesOfAnyBytesReachTheTerminalSafely) {
    testing::TempFolder folder;
    // A title that would set the terminal's, a C1 control in its UTF-8 form, and entities.
    const std::string name = "Demo\x1B]0;owned\x07 \xC2\x9B"
                             "2J \xE3\x83\x87 &quot;&amp;";
    const std::string dat = folder.Write("x.dat", DemoDat(name));
    const fs::path roms = folder.Path() / PathFromUtf8("ロム");
    fs::create_directories(roms / "sub");
    std::vector<std::uint8_t> oddTitle = MakeRomData(131072, 9);
    WriteInternalHeader(oddTitle, kLoRomArea, {.title = "\"\\\x01\xFF\x7F/\t"});
    const std::string japan = folder.Write("ロム/テスト (Japan).smc", DemoImage());
    const std::string odd = folder.Write("ロム/odd.sfc", oddTitle);
    folder.Write("ロム/empty.sfc", {});
#ifdef _WIN32
    folder.Write("ロム/caf\xC3\xA9.sfc", MakeRomData(8192)); // names there are Unicode text
#else
    folder.Write("ロム/caf\xC3\xA9 \xE9.sfc", MakeRomData(8192)); // UTF-8, and a stray byte
#endif
    const auto printable = [](char c) { return c == '\n' || (c >= 0x20 && c < 0x7F); };

    const ToolRun run = Info({"--json", "--trace", "--verify", "--details", "--dat", dat,
                              Utf8FromPath(roms), (folder.Path() / "missing.sfc").string()});
    EXPECT_TRUE(std::ranges::all_of(run.out, printable));
    const std::vector<std::string> lines = Reports(run.out);
    EXPECT_EQ(lines.size(), 5u); // four images and the missing file
    for (const std::string& line : lines) {
        Json object;
        ASSERT_NO_THROW(object = Json::parse(line)) << line;
        EXPECT_TRUE(object.is_object() && object["File"].is_string()) << line;
    }
    // Each byte of the title as the code point of the same number.
    EXPECT_EQ(Line(Info({"--json", odd}).out)["Name"].get<std::string>().substr(0, 8),
              "\"\\\x01\xC3\xBF\x7F/\t");
    const ToolRun named = Info({"--json", "--dat", dat, japan});
    EXPECT_EQ(Line(named.out)["File"], japan);
    EXPECT_EQ(Line(named.out)["Details"]["Dat"]["Name"], "Demo\x1B]0;owned\x07 \xC2\x9B"
                                                         "2J \xE3\x83\x87 \"&");
    EXPECT_TRUE(Has(named.out, "\"Name\":\"Demo\\u001b]0;owned\\u0007 \\u009b2J \\u30c7"));

    const ToolRun text = Info({"--dat", dat, Utf8FromPath(roms)});
    EXPECT_TRUE(Has(text.out, "Filename:      " + Listed(japan) + "\n")) << text.out;
    EXPECT_TRUE(
        Has(text.out, "  Game:        Demo\\x1b]0;owned\\x07 \\xc2\\x9b2J \xE3\x83\x87 \"&\n"))
        << text.out;
    EXPECT_EQ(
        std::ranges::count_if(text.out, [](char c) { return c >= 0 && c < 0x20 && c != '\n'; }), 0);
    // Letters of every script stay as they are, whatever their length in bytes.
    EXPECT_EQ(TerminalText("line\r\n\ttab\x7F\xC2\xA9\xC2 Ñ テスト 𝄞"),
              "line\\x0d\n\\x09tab\\x7f\xC2\xA9\xC2 Ñ テスト 𝄞");
}

TEST(QuilletInfo, PipesDevicesAndEmptyFoldersAreSaidToBeSo) {
    testing::TempFolder folder;
    const fs::path empty = folder.Path() / "empty";
    fs::create_directory(empty);
    const ToolRun none = Info({empty.string()});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "quillet-info: no files in directory " + empty.string() + "\n");
#ifndef _WIN32
    // A pipe nobody writes to: opening it to read would wait for ever.
    const std::string pipe = (folder.Path() / "pipe").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    for (const std::string& odd : {pipe, std::string("/dev/null")}) {
        const ToolRun run = Info({"--details", odd});
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(Has(run.out, "Cannot open file " + odd + ": not a regular file\n")) << run.out;
    }
#endif
}

TEST(Utf8, InvalidUtf8BytesBecomeCodePointsAndValidUtf8Stays) {
    EXPECT_EQ(TextAsUtf8("caf\xC3\xA9 \xF0\x9D\x84\x9E"), "caf\xC3\xA9 \xF0\x9D\x84\x9E");
    EXPECT_EQ(TextAsUtf8("caf\xE9"), "caf\xC3\xA9");
    EXPECT_EQ(TextAsUtf8("\xED\xA0\x80"), "\xC3\xAD\xC2\xA0\xC2\x80"); // no surrogates
    EXPECT_EQ(TextAsUtf8("\xE3\x83"), "\xC3\xA3\xC2\x83");             // cut short
}

} // namespace
} // namespace quillet
