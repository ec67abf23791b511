#include "cli/QuilletInfo.h"

#include "cli/JsonText.h"
#include "tests/support/TempFolder.h"
#include "tools/RomImageBuilder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace quillet {
namespace {

using namespace samples;

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

ToolRun Info(std::vector<std::string> arguments) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunQuilletInfo(arguments, out, err);
    return {status, out.str(), err.str()};
}

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

TEST(QuilletInfo, TextReportOfTheDemoImage) {
    testing::TempFolder folder;
    const std::string demo = folder.Write("demo.smc", DemoImage());
    const ToolRun run = Info({"--verify", demo});
    EXPECT_EQ(run.status, 0);
    const std::string expectedStart = "Filename:      " + demo +
                                      "\n"
                                      "DOS Size:      1049088 bytes (1024 KB, 1 MB)\n"
                                      "File Format:   Super Wild Card (SWC)\n"
                                      "Game Name:     QUILLET DEMO CART    \n"
                                      "ROM Format:    LoRom\n"
                                      "ROM Size:      8Mbits (8Mbits actual size)\n"
                                      "SRAM Size:     16kbits\n"
                                      "Special Chips: SRAM\n"
                                      "Country:       North America (NTSC)\n"
                                      "Manufacturer:  Unknown Company (ID:0x33)\n"
                                      "Version:       1.01\n"
                                      "Checksum:      0x";
    EXPECT_EQ(run.out.substr(0, expectedStart.size()), expectedStart);
    EXPECT_NE(run.out.find("\nStatus:        1 - Valid SNES ROM Image loaded and ready.\n"
                           "Errors Found:  (None)\n"
                           "Verified:      computed checksum 0x"),
              std::string::npos);
    EXPECT_NE(run.out.find(", matches the header\n\n"), std::string::npos);
}

TEST(QuilletInfo, VerifySpotsADamagedImage) {
    testing::TempFolder folder;
    auto image = DemoImage();
    image[5000] ^= 0x40;
    const ToolRun run = Info({"--verify", "--json", folder.Write("damaged.smc", image)});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("\"ChecksumMatches\": false}"), std::string::npos);
}

TEST(QuilletInfo, JsonHasTheRecordFieldsInOrderThenTheTrace) {
    testing::TempFolder folder;
    std::vector<std::uint8_t> rom = MakeRomData(131072, 4);
    WriteInternalHeader(rom, kLoRomArea, {.title = "A\"B\\", .version = 3});
    rom[kLoRomArea + 4] = 0xE9;
    rom[kLoRomArea + 5] = 0x00;
    FixChecksum(rom, kLoRomArea);
    const std::string file = folder.Write("odd name.sfc", rom);
    const ToolRun run = Info({"--json", file});
    EXPECT_EQ(run.status, 0);
    ASSERT_EQ(Count(run.out, "\n"), 1u) << run.out;

    const char* order[] = {
        "\"File\"",          "\"Name\"",          "\"CopierBlocks\"",  "\"RomSizeMbits\"",
        "\"FileSizeBytes\"", "\"SramSizeKbits\"", "\"HiRom\"",         "\"CopierHeaderKnown\"",
        "\"CountryCode\"",   "\"LicenseeCode\"",  "\"RomType\"",       "\"Status\"",
        "\"FileFormat\"",    "\"SwcMode0\"",      "\"SwcSramMode21\"", "\"SwcDramMode21\"",
        "\"HeaderSize\"",    "\"Errors\"",        "\"Complement\"",    "\"Checksum\"",
        "\"Version\"",       "\"Trace\""};
    std::size_t last = 0;
    for (const char* key : order) {
        const std::size_t at = run.out.find(key, last);
        ASSERT_NE(at, std::string::npos) << key;
        last = at;
    }
    EXPECT_EQ(run.out.rfind("{\"File\": " + JsonTextString(file) +
                                ", \"Name\": \"A\\\"B\\\\\u00E9\\u0000",
                            0),
              0u)
        << run.out;
    EXPECT_NE(run.out.find("\"Status\": 2, \"FileFormat\": \"Unheadered image (Raw copy)\""),
              std::string::npos);
    EXPECT_NE(run.out.find("\"Errors\": \"No header -- Raw Image\\r\\n\""), std::string::npos);
    EXPECT_NE(run.out.find("\"Version\": 1.03, \"Trace\": \"Complement LoROM: "),
              std::string::npos);
    EXPECT_NE(run.out.find("  Sum = 65535\\nComplement HiROM: "), std::string::npos);
}

TEST(QuilletInfo, RecordCarriesFromFileToFileAndDirectoriesGoInNameOrder) {
    testing::TempFolder folder;
    folder.Write("b-raw.sfc", MakeRomData(131072, 1));
    folder.Write("a-swc.smc",
                 Concatenate(SuperWildCardHeader(0x0777, 0xF0), MakeRomData(131072, 2)));
    std::filesystem::create_directory(folder.Path() / "c-subfolder");
    const ToolRun run = Info({"--json", folder.Path().string()});
    EXPECT_EQ(run.status, 0);
    ASSERT_EQ(Count(run.out, "\n"), 2u) << run.out;
    const std::string second = run.out.substr(run.out.find('\n') + 1);
    EXPECT_NE(run.out.find("a-swc.smc"), std::string::npos);
    EXPECT_NE(second.find("b-raw.sfc"), std::string::npos);
    // The raw image's record still holds the Super Wild Card fields of the one before it.
    EXPECT_NE(second.find("\"CopierBlocks\": 1911"), std::string::npos);
    EXPECT_NE(second.find("\"SwcMode0\": true, \"SwcSramMode21\": true, \"SwcDramMode21\": true"),
              std::string::npos);
}

TEST(QuilletInfo, FailuresAreReportedAndTheNextFileGoesOn) {
    testing::TempFolder folder;
    const std::string missing = (folder.Path() / "missing.sfc").string();
    const std::string huge = (folder.Path() / "huge.bin").string();
    { std::ofstream{huge}; }
    std::filesystem::resize_file(huge, 268435456); // sparse: no checksums, so the size decides
    const std::string good = folder.Write("good.smc", DemoImage());

    const ToolRun json = Info({"--json", missing, huge, good});
    EXPECT_EQ(json.status, 1);
    ASSERT_EQ(Count(json.out, "\n"), 3u) << json.out;
    EXPECT_NE(json.out.find("\"Status\": 3, \"FileFormat\": \"\""), std::string::npos);
    EXPECT_NE(json.out.find("\"Errors\": \"Cannot open file " +
                            JsonTextString(missing).substr(1, JsonTextString(missing).size() - 2) +
                            ": "),
              std::string::npos);
    EXPECT_NE(json.out.find("{\"File\": " + JsonTextString(huge) +
                            ", \"Error\": \"Integer overflow\"}\n"),
              std::string::npos);
    EXPECT_NE(json.out.find("\"Status\": 1"), std::string::npos);

    const ToolRun text = Info({"--trace", missing, huge});
    EXPECT_EQ(text.status, 1);
    EXPECT_NE(
        text.out.find(
            "Status:        3 - Image loaded, but fatal errors in ROM may prevent execution.\n"
            "Errors Found:  Cannot open file "),
        std::string::npos);
    EXPECT_NE(
        text.out.find("Error:         Integer overflow\nTrace:         Complement LoROM: 0\n"),
        std::string::npos);
}

TEST(QuilletInfo, CommandLine) {
    EXPECT_EQ(Info({}).status, 2);
    const ToolRun unknown = Info({"--colour", "x.sfc"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("unknown option --colour"), std::string::npos);
    EXPECT_TRUE(unknown.out.empty());
    const ToolRun help = Info({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: quillet-info", 0), 0u);
    EXPECT_EQ(Info({"--version"}).out, "quillet-info 0.0002\n");
    // After "--" a name that looks like an option is a file.
    EXPECT_NE(Info({"--", "--json"}).out.find("Filename:      --json\n"), std::string::npos);
}

TEST(JsonText, BytesBecomeCodePointsAndValidUtf8Stays) {
    EXPECT_EQ(JsonBytesString(std::string("\x01\x7F\xFF\r\n\t", 6)),
              "\"\\u0001\\u007F\xC3\xBF\\r\\n\\t\"");
    EXPECT_EQ(JsonTextString("caf\xC3\xA9"), "\"caf\xC3\xA9\"");
    EXPECT_EQ(JsonTextString("caf\xE9"), "\"caf\xC3\xA9\"");
    EXPECT_EQ(JsonTextString("\xED\xA0\x80"), "\"\xC3\xAD\xC2\xA0\xC2\x80\""); // no surrogates
    EXPECT_EQ(JsonNumber(1.07), "1.07");
    EXPECT_EQ(JsonNumber(3.55), "3.55");
}

} // namespace
} // namespace quillet
