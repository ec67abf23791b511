#include "cli/QuilletInfo.h"

#include "base/Utf8.h"
#include "cli/CommandLine.h"
#include "rom/Digests.h"
#include "tests/support/TempFolder.h"
#include "tests/support/ToolRuns.h"
#include "tools/RomImageBuilder.h"

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

using testing::Info;
using testing::ToolRun;

using namespace samples;

using Json = nlohmann::ordered_json;

// The JSON line `index` of a tool's output.
Json Line(const std::string& out, std::size_t index = 0) {
    std::istringstream lines(out);
    std::string line;
    for (std::size_t i = 0; i <= index; ++i)
        std::getline(lines, line);
    return Json::parse(line);
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(QuilletInfo, TextReportOfTheDemoImageAndVerifyOfADamagedOne) {
    testing::TempFolder folder;
    auto image = DemoImage();
    const std::string demo = folder.Write("demo.smc", image);
    const ToolRun run = Info({"--verify", demo});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.out.starts_with("Filename:      " + demo +
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
        << run.out;
    EXPECT_TRUE(Has(run.out, "\nStatus:        1 - Valid SNES ROM Image loaded and ready.\n"
                             "Errors Found:  (None)\nVerified:      computed checksum 0x"));
    EXPECT_TRUE(run.out.ends_with(", matches the header\n\n"));

    image[5000] ^= 0x40;
    const ToolRun damaged = Info({"--verify", "--json", folder.Write("damaged.smc", image)});
    EXPECT_EQ(damaged.status, 0);
    EXPECT_EQ(Line(damaged.out)["ChecksumMatches"], false);
}

TEST(QuilletInfo, JsonLinesCarryTheRecordFromFileToFileInNameOrder) {
    testing::TempFolder folder;
    std::vector<std::uint8_t> rom = MakeRomData(131072, 4);
    WriteInternalHeader(rom, kLoRomArea, {.title = std::string("A\"B\\\xE9\0", 6), .version = 3});
    FixChecksum(rom, kLoRomArea);
    const std::string raw = folder.Write("b raw.sfc", rom);
    folder.Write("a-swc.smc",
                 Concatenate(SuperWildCardHeader(0x0777, 0xF0), MakeRomData(131072, 2)));
    std::filesystem::create_directory(folder.Path() / "c-subfolder");
    const ToolRun run = Info({"--json", folder.Path().string()});
    EXPECT_EQ(run.status, 0);
    ASSERT_EQ(std::ranges::count(run.out, '\n'), 2) << run.out;
    const Json second = Line(run.out, 1);
    EXPECT_EQ(second["File"], raw);
    EXPECT_EQ(second["Name"].get<std::string>().substr(0, 7), std::string("A\"B\\\u00E9\0 ", 7));
    // The raw image's record still holds the Super Wild Card fields of the one before it.
    EXPECT_EQ(second["CopierBlocks"], 1911);
    EXPECT_EQ(second["Status"], 2);
    EXPECT_EQ(second["FileFormat"], "Unheadered image (Raw copy)");
    EXPECT_EQ(second["SwcMode0"], true);
    EXPECT_EQ(second["SwcDramMode21"], true);
    EXPECT_EQ(second["HeaderSize"], 0);
    EXPECT_EQ(second["Errors"], "No header -- Raw Image\r\n");
    EXPECT_EQ(second["Version"], 1.03);
    EXPECT_TRUE(second["Trace"].get<std::string>().starts_with("Complement LoROM: "));
    // In the order the record has them, the file first.
    EXPECT_EQ(second.begin().key(), "File");
    EXPECT_EQ(std::next(second.begin()).key(), "Name");
}

TEST(QuilletInfo, FailuresAreReportedAndTheNextFileGoesOn) {
    testing::TempFolder folder;
    const std::string missing = (folder.Path() / "missing.sfc").string();
    const std::string huge = (folder.Path() / "huge.bin").string();
    { std::ofstream{huge}; }
    std::filesystem::resize_file(huge, 268435456); // sparse: no checksums, so the size decides
    const std::string cannotOpen = "Cannot open file " + missing + ": ";

    const ToolRun json = Info({"--json", missing, huge, folder.Write("good.smc", DemoImage())});
    EXPECT_EQ(json.status, 1);
    ASSERT_EQ(std::ranges::count(json.out, '\n'), 3) << json.out;
    // The record a file that cannot be read leaves, with the reason where a failure has it.
    const Json unreadable = Line(json.out, 0);
    EXPECT_EQ(unreadable["File"], missing);
    EXPECT_TRUE(unreadable["Error"].get<std::string>().starts_with(cannotOpen)) << json.out;
    EXPECT_TRUE(unreadable["Errors"].get<std::string>().starts_with(cannotOpen));
    EXPECT_EQ(unreadable["Status"], 3);
    EXPECT_EQ(unreadable["FileFormat"], "");
    EXPECT_EQ(Line(json.out, 1), (Json{{"File", huge}, {"Error", "Integer overflow"}}));

    const ToolRun text = Info({"--trace", missing, huge});
    EXPECT_EQ(text.status, 1);
    EXPECT_TRUE(Has(text.out, "Status:        3 - Image loaded, but fatal errors in ROM may "
                              "prevent execution.\nErrors Found:  Cannot open file "));
    EXPECT_TRUE(
        Has(text.out, "Error:         Integer overflow\nTrace:         Complement LoROM: "));
}

TEST(QuilletInfo, CommandLine) {
    EXPECT_EQ(Info({}).status, 2);
    const ToolRun unknown = Info({"--colour", "x.sfc"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_TRUE(Has(unknown.err, "unknown option --colour") && unknown.out.empty());
    EXPECT_TRUE(Info({"--help"}).out.starts_with("Usage: quillet-info"));
    EXPECT_EQ(Info({"--version"}).out, "quillet-info 0.0002\n");
    // After "--" a name that looks like an option is a file.
    EXPECT_TRUE(Has(Info({"--", "--json"}).out, "Filename:      --json\n"));
}

TEST(QuilletInfo, DetailsComeAfterTheUnchangedReport) {
    testing::TempFolder folder;
    const std::string demo = folder.Write("demo.smc", DemoImage());
    for (const char* mode : {"--trace", "--json"}) {
        SCOPED_TRACE(mode);
        const ToolRun plain = Info({mode, "--verify", demo});
        const ToolRun details = Info({mode, "--verify", "--details", demo});
        EXPECT_EQ(details.status, 0);
        const std::string common = plain.out.substr(0, plain.out.size() - 2);
        EXPECT_TRUE(details.out.starts_with(common)) << details.out;
    }
    const Json json = Line(Info({"--json", "--details", demo}).out)["Details"];
    EXPECT_EQ(json["Data"]["Offset"], 512);
    EXPECT_EQ(json["Data"]["Size"], 1048576);
    EXPECT_EQ(json["Data"]["CRC32"].get<std::string>().size(), 8u);
    const Json& cartridge = json["Cartridge"];
    EXPECT_EQ(cartridge["HeaderAddress"], 32704);
    EXPECT_EQ(cartridge["MapMode"], 32);
    EXPECT_EQ(cartridge["Map"], "LoROM");
    EXPECT_EQ(cartridge["Speed"], "SlowROM");
    EXPECT_EQ(cartridge["Chips"], "");
    EXPECT_EQ(cartridge["Battery"], true);
    EXPECT_EQ(json["Opinion"]["Map"], "LoROM");
    EXPECT_EQ(json["Opinion"]["AgreesWithAnalysis"], true);
    EXPECT_EQ(json["Checksum"]["Diagnosis"], Json::array({"matches"}));
    EXPECT_EQ(json["Checksum"]["Explanation"], "The checksum in the header matches the data.");
}

TEST(QuilletInfo, FoldersWithDetailsInNameOrderWithTheRecordCarried) {
    testing::TempFolder folder;
    for (int i = 0; i < 7; ++i) {
        const auto name = "img" + std::to_string(i) + (i % 2 == 0 ? ".smc" : ".sfc");
        const auto rom =
            MakeRomData(131072 * static_cast<std::size_t>(7 - i), static_cast<std::uint32_t>(i));
        folder.Write(
            name, i % 2 == 0
                      ? Concatenate(
                            SuperWildCardHeader(static_cast<std::uint16_t>(0x0100 + i), 0xF0), rom)
                      : rom);
    }
    const std::string missing = (folder.Path() / "zz-missing.sfc").string();
    const ToolRun plain = Info({"--json", "--verify", folder.Path().string(), missing});
    const ToolRun details =
        Info({"--json", "--verify", "--details", folder.Path().string(), missing});
    EXPECT_EQ(details.status, 1);
    std::istringstream plainLines(plain.out), detailLines(details.out);
    std::string a, b;
    int lines = 0;
    while (std::getline(plainLines, a) && std::getline(detailLines, b)) {
        ++lines;
        EXPECT_TRUE(b.starts_with(a.substr(0, a.size() - 1))) << b;
        EXPECT_EQ(Has(b, "\"Details\""), !Has(a, "Cannot open file"));
    }
    EXPECT_EQ(lines, 8);
}

// A DAT file that knows the demo image's data, by SHA-1, as the game `name` (XML text).
std::string DemoDat(const std::string& name) {
    const auto image = DemoImage();
    DigestSet digests;
    digests.Update(std::span(image).subspan(512));
    return "<datafile><game name=\"" + name + "\"><rom name=\"d.sfc\" size=\"1048576\" sha1=\"" +
           digests.Finish().sha1 + "\"/></game></datafile>";
}

TEST(QuilletInfo, DatFilesNameTheGameAndBadOnesStopTheRun) {
    testing::TempFolder folder;
    const auto image = DemoImage();
    const std::string demo = folder.Write("demo.smc", image);
    const std::string dat = DemoDat("Demo &amp; Co (World)");
    const std::string good =
        folder.Write("good.dat", std::vector<std::uint8_t>(dat.begin(), dat.end()));
    const std::string bad =
        folder.Write("bad.dat", std::vector<std::uint8_t>(dat.begin(), dat.end() - 3));

    const ToolRun json = Info({"--json", "--dat", good, demo});
    EXPECT_EQ(Line(json.out)["Details"]["Dat"], (Json{{"Name", "Demo & Co (World)"},
                                                      {"Match", "sha1"},
                                                      {"Rom", "d.sfc"},
                                                      {"Source", good},
                                                      {"Status", "good"},
                                                      {"Via", Json::array()},
                                                      {"Explanation", nullptr}}))
        << json.out;
    const ToolRun text =
        Info({"--dat=" + good, demo, folder.Write("other.sfc", MakeRomData(8192))});
    EXPECT_TRUE(Has(text.out,
                    "Dat:\n  Game:        Demo & Co (World)\n  Match:       verified by SHA-1\n"));
    EXPECT_TRUE(
        Has(text.out, "Dat:\n  Game:        (unknown)\n  Match:       not in the DAT files\n"));

    const ToolRun broken = Info({"--dat", good, "--dat", bad, demo});
    EXPECT_EQ(broken.status, 2);
    EXPECT_TRUE(broken.out.empty());
    EXPECT_TRUE(Has(broken.err, "quillet-info: DAT file " + bad + ": ")) << broken.err;
    EXPECT_EQ(Info({demo, "--dat"}).status, 2);
}

// The demo image's data in clrmamepro text, by SHA-256 and SHA-1 (unless `sha256` is false),
// with `flags` after the hashes.
std::string DemoClrmamepro(const std::string& game, bool sha256, const std::string& flags) {
    const auto image = DemoImage();
    DigestSet digests;
    digests.Update(std::span(image).subspan(512));
    const Digests demo = digests.Finish();
    std::string upper = demo.sha256;
    std::ranges::transform(upper, upper.begin(), [](char c) { return std::toupper(c); });
    return "clrmamepro (\n\tname \"Demo\"\n\tversion 1\n)\n\ngame (\n\tname \"" + game +
           "\"\n\tregion \"World\"\n\trom ( name \"" + game + ".sfc\" size 1048576 crc " +
           demo.crc32 + " sha1 " + demo.sha1 + (sha256 ? " sha256 " + upper : "") + " " + flags +
           " )\n)\n";
}

// A path as a folder's listing gives it: with the system's separators.
std::string Listed(const std::string& path) {
    return Utf8FromPath(PathFromUtf8(path).make_preferred());
}

TEST(QuilletInfo, DatFoldersClrmameproTextAndBadDumpsInBothOutputs) {
    testing::TempFolder folder;
    const std::string demo = folder.Write("demo.smc", DemoImage());
    std::filesystem::create_directories(folder.Path() / "dats" / "no-intro");
    const auto write = [&](const std::string& name, const std::string& text) {
        return folder.Write(name, std::vector<std::uint8_t>(text.begin(), text.end()));
    };
    // Both know the data; the first in name order wins, and here it has only the SHA-1, but
    // the SHA-256 of the other is stronger.
    write("dats/a-sha1.xml", DemoClrmamepro("By SHA-1", false, ""));
    const std::string sha256 = Listed(
        write("dats/no-intro/snes.dat", DemoClrmamepro("Demo (World) [b]", true, "flags baddump")));
    write("dats/readme.txt", "Not a DAT file.\n");
    const std::string dats = (folder.Path() / "dats").string();

    const ToolRun json = Info({"--json", "--dat", dats, demo});
    EXPECT_EQ(json.status, 0) << json.err;
    const Json dat = Line(json.out)["Details"]["Dat"];
    EXPECT_EQ(dat, (Json{{"Name", "Demo (World) [b]"},
                         {"Match", "sha256"},
                         {"Rom", "Demo (World) [b].sfc"},
                         {"Source", sha256},
                         {"Status", "baddump"},
                         {"Via", Json::array()},
                         {"Explanation", nullptr}}))
        << json.out;

    const ToolRun text = Info({"--dat", dats, demo});
    EXPECT_TRUE(Has(text.out, "Dat:\n  Game:        Demo (World) [b]\n"
                              "  Match:       matches a known bad dump (by SHA-256)\n"
                              "  Rom:         Demo (World) [b].sfc\n"
                              "  Source:      " +
                                  sha256 + "\n"))
        << text.out;

    // A good dump known by SHA-1 only; an image no DAT file knows has nulls for the new fields,
    // and no ROM named like it.
    const std::string good = write("good.dat", DemoClrmamepro("Demo (World)", false, ""));
    const std::string other = folder.Write("other.sfc", MakeRomData(8192));
    const ToolRun both = Info({"--json", "--dat", good, demo, other});
    EXPECT_EQ(Line(both.out)["Details"]["Dat"]["Status"], "good");
    EXPECT_EQ(Line(both.out)["Details"]["Dat"]["Match"], "sha1");
    EXPECT_EQ(Line(both.out, 1)["Details"]["Dat"],
              (Json{{"Name", nullptr},
                    {"Match", "none"},
                    {"Rom", nullptr},
                    {"Source", nullptr},
                    {"Status", nullptr},
                    {"Nearest", nullptr},
                    {"Explanation", Line(both.out, 1)["Details"]["Dat"]["Explanation"]}}));
    EXPECT_TRUE(Line(both.out, 1)["Details"]["Dat"]["Explanation"].is_string());
    EXPECT_TRUE(Has(Info({"--dat", good, demo}).out, "  Match:       verified by SHA-1\n"));
}

TEST(QuilletInfo, UnreadableDatsSayWhatTheyLookLikeAndStopTheRun) {
    testing::TempFolder folder;
    const std::string demo = folder.Write("demo.smc", DemoImage());
    const auto write = [&](const std::string& name, const std::string& text) {
        return folder.Write(name, std::vector<std::uint8_t>(text.begin(), text.end()));
    };
    const std::string cut = DemoClrmamepro("Demo", true, "");
    const std::string truncated = write("cut.dat", cut.substr(0, cut.size() - 2));
    const std::string neither = write("notes.xml", "Just some notes.\n");
    std::filesystem::create_directories(folder.Path() / "bad" / "sub");
    const std::string nested = Listed(write("bad/sub/cut.xml", cut.substr(0, cut.size() - 2)));
    std::filesystem::create_directories(folder.Path() / "none");
    write("none/readme.txt", "Nothing here.\n");
    const struct {
        std::string dat;
        std::string message;
    } cases[] = {
        {truncated, "quillet-info: DAT file " + truncated +
                        ": looks like a clrmamepro DAT, but line 9: ')' expected, but the file "
                        "ends inside the game of line 6: cut off?\n"},
        {neither,
         "quillet-info: DAT file " + neither + ": neither a Logiqx XML nor a clrmamepro DAT\n"},
        {(folder.Path() / "bad").string(),
         "quillet-info: DAT file " + nested + ": looks like a clrmamepro DAT, but line 9: "},
        {(folder.Path() / "none").string(),
         "quillet-info: no DAT files in directory " + (folder.Path() / "none").string() + "\n"},
    };
    for (const auto& c : cases) {
        const ToolRun run = Info({"--dat", c.dat, demo});
        EXPECT_EQ(run.status, 2) << c.dat;
        EXPECT_TRUE(run.out.empty()) << run.out;
        EXPECT_TRUE(run.err.starts_with(c.message)) << run.err;
    }
}

TEST(QuilletInfo, NamesFromStrangersReachTheTerminalEscaped) {
    testing::TempFolder folder;
    const auto image = DemoImage();
    // A title that would set the terminal's, and a C1 control in its UTF-8 form.
    const std::string dat = DemoDat("Demo\x1B]0;owned\x07 \xC2\x9B"
                                    "2J \xE3\x83\x87");
    const std::string datPath =
        folder.Write("evil.dat", std::vector<std::uint8_t>(dat.begin(), dat.end()));
    const std::string demo = folder.Write("demo.smc", image);

    const ToolRun text = Info({"--dat", datPath, demo});
    EXPECT_TRUE(Has(text.out, "  Game:        Demo\\x1b]0;owned\\x07 \\xc2\\x9b2J \xE3\x83\x87\n"))
        << text.out;
    EXPECT_EQ(text.out.find('\x1B'), std::string::npos);
    const ToolRun json = Info({"--json", "--dat", datPath, demo});
    // Escaped in JSON, all of it ASCII: a terminal sees no control character.
    EXPECT_TRUE(Has(json.out, "\"Name\":\"Demo\\u001b]0;owned\\u0007 \\u009b2J \\u30c7\""))
        << json.out;
    EXPECT_TRUE(
        std::ranges::all_of(json.out, [](char c) { return c == '\n' || (c >= 0x20 && c < 0x7F); }));

    EXPECT_EQ(TerminalText("line\r\n\ttab\x7F\xC2\xA9\xC2"),
              "line\\x0d\n\\x09tab\\x7f\xC2\xA9\xC2");
    // Letters of every script stay as they are, whatever their length in bytes.
    EXPECT_EQ(TerminalText("ロム/Pokémon Ñ テスト 𝄞.sfc"), "ロム/Pokémon Ñ テスト 𝄞.sfc");
}

// Names in any script, given one by one or found in a folder named in Japanese, are opened
// and printed as they were given.
TEST(QuilletInfo, NamesInAnyScriptAreOpenedAndPrintedAsGiven) {
    testing::TempFolder folder;
    const std::filesystem::path roms = folder.Path() / PathFromUtf8("ロム");
    std::filesystem::create_directory(roms);
    const std::string japan = folder.Write("ロム/テスト (Japan).sfc", DemoImage());
    const std::string pokemon = folder.Write("ロム/Pokémon.smc", MakeRomData(1048576, 3));

    const ToolRun one = Info({japan});
    EXPECT_EQ(one.status, 0) << one.err;
    EXPECT_TRUE(one.out.starts_with("Filename:      " + japan + "\n")) << one.out;
    EXPECT_TRUE(Has(one.out, "\nGame Name:     QUILLET DEMO CART    \n")) << one.out;
    const ToolRun json = Info({"--json", "--details", pokemon});
    EXPECT_EQ(json.status, 0) << json.err;
    EXPECT_EQ(nlohmann::json::parse(json.out)["File"], pokemon);

    const ToolRun all = Info({Utf8FromPath(roms)});
    EXPECT_EQ(all.status, 0) << all.err;
    const std::size_t first =
        all.out.find("Filename:      " + Utf8FromPath(roms / PathFromUtf8("Pokémon.smc")) + "\n");
    const std::size_t second = all.out.find(
        "Filename:      " + Utf8FromPath(roms / PathFromUtf8("テスト (Japan).sfc")) + "\n");
    EXPECT_NE(first, std::string::npos) << all.out;
    EXPECT_NE(second, std::string::npos) << all.out;
    EXPECT_LT(first, second);
}

TEST(QuilletInfo, PipesDevicesAndEmptyFoldersAreSaidToBeSo) {
    testing::TempFolder folder;
    const std::filesystem::path empty = folder.Path() / "empty";
    std::filesystem::create_directory(empty);
    const ToolRun none = Info({empty.string()});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "quillet-info: no files in directory " + empty.string() + "\n");
#ifndef _WIN32
    // A pipe nobody writes to: opening it to read would wait for ever.
    const std::string pipe = (folder.Path() / "pipe").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    for (const std::string& odd : {pipe, std::string("/dev/null"), std::string("/dev/zero")}) {
        const ToolRun run = Info({"--details", odd});
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(Has(run.out, "Cannot open file " + odd + ": not a regular file\n")) << run.out;
    }
    const ToolRun dat = Info({"--dat", pipe, empty.string()});
    EXPECT_EQ(dat.status, 2);
    EXPECT_TRUE(Has(dat.err, pipe + ": not a regular file")) << dat.err;
#endif
}

TEST(QuilletInfo, EveryJsonLineIsJsonThatReadsBackToTheBytes) {
    testing::TempFolder folder;
    const auto image = DemoImage();
    const std::string dat = DemoDat("Demo \xE3\x83\x87 \x1B &quot;&amp;");
    const std::string datPath =
        folder.Write("x.dat", std::vector<std::uint8_t>(dat.begin(), dat.end()));
    std::vector<std::uint8_t> oddTitle = MakeRomData(131072, 9);
    WriteInternalHeader(oddTitle, kLoRomArea, {.title = "\"\\\x01\xFF\x7F/\t"});
    folder.Write("demo.smc", image);
    folder.Write("odd.sfc", oddTitle);
    folder.Write("empty.sfc", {});
#ifdef _WIN32
    folder.Write("caf\xC3\xA9.sfc", MakeRomData(8192)); // names there are Unicode text
#else
    folder.Write("caf\xC3\xA9 \xE9.sfc", MakeRomData(8192)); // UTF-8, and a stray Latin-1 byte
#endif
    std::filesystem::create_directory(folder.Path() / "sub");

    for (const std::vector<std::string>& options : {std::vector<std::string>{"--json"},
                                                    {"--json", "--trace", "--verify"},
                                                    {"--json", "--details", "--dat", datPath}}) {
        std::vector<std::string> arguments = options;
        arguments.push_back(folder.Path().string());
        arguments.push_back((folder.Path() / "missing.sfc").string());
        const ToolRun run = Info(arguments);
        std::istringstream lines(run.out);
        int count = 0;
        for (std::string line; std::getline(lines, line); ++count) {
            SCOPED_TRACE(line);
            nlohmann::json object;
            ASSERT_NO_THROW(object = nlohmann::json::parse(line));
            ASSERT_TRUE(object.is_object());
            EXPECT_TRUE(object["File"].is_string());
        }
        EXPECT_EQ(count, 6); // four images, the DAT file taken for one, and the missing file
    }
    const ToolRun odd = Info({"--json", (folder.Path() / "odd.sfc").string()});
    // Each byte of the title as the code point of the same number.
    EXPECT_EQ(nlohmann::json::parse(odd.out)["Name"].get<std::string>().substr(0, 8),
              "\"\\\x01\xC3\xBF\x7F/\t");
    const ToolRun named = Info({"--json", "--dat", datPath, (folder.Path() / "demo.smc").string()});
    EXPECT_EQ(nlohmann::json::parse(named.out)["Details"]["Dat"]["Name"],
              "Demo \xE3\x83\x87 \x1B \"&");
}

TEST(Utf8, InvalidUtf8BytesBecomeCodePointsAndValidUtf8Stays) {
    EXPECT_EQ(TextAsUtf8("caf\xC3\xA9 \xF0\x9D\x84\x9E"), "caf\xC3\xA9 \xF0\x9D\x84\x9E");
    EXPECT_EQ(TextAsUtf8("caf\xE9"), "caf\xC3\xA9");
    EXPECT_EQ(TextAsUtf8("\xED\xA0\x80"), "\xC3\xAD\xC2\xA0\xC2\x80"); // no surrogates
    EXPECT_EQ(TextAsUtf8("\xE3\x83"), "\xC3\xA3\xC2\x83");             // cut short
}

} // namespace
} // namespace quillet
