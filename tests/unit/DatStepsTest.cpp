#include "dat/DatSteps.h"
#include "cli/QuilletFix.h"
#include "cli/QuilletInfo.h"
#include "rom/CopierFormats.h"
#include "rom/Digests.h"

#include "tests/support/FailingFileLayer.h"
#include "tests/support/TempFolder.h"
#include "tools/RomImageBuilder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>

namespace quillet {
namespace {

using namespace samples;
using Bytes = std::vector<std::uint8_t>;
using Json = nlohmann::json;
using testing::ReadAll;
using testing::TempFolder;

constexpr std::size_t kKiB = 1024;

Bytes operator+(const Bytes& a, const Bytes& b) {
    return Concatenate(a, b);
}

Bytes Game(std::size_t area, std::uint8_t makeup, std::uint8_t version, std::uint32_t seed) {
    Bytes rom = MakeRomData(512 * kKiB, seed);
    WriteInternalHeader(rom, area,
                        {.title = "VIA GAME",
                         .makeup = makeup,
                         .romSizeCode = 0x09,
                         .licensee = 0x01,
                         .version = version});
    WriteResetVector(rom, area, 0x8000, area == kHiRomArea ? 0x8000 : 0, 0x78);
    FixChecksum(rom, area);
    return rom;
}

const Bytes kHiRom = Game(kHiRomArea, 0x21, 0, 51);
const Bytes kLoRom = Game(kLoRomArea, 0x20, 0, 53);

std::string Sha1Of(std::span<const std::uint8_t> bytes) {
    DigestSet set;
    set.Update(bytes);
    return set.Finish().sha1;
}

// A DAT that knows both games by the hashes of their data as a cartridge holds it, and a third
// ROM by name only.
std::string GameDat() {
    return "<?xml version=\"1.0\"?>\n<datafile>\n"
           "<game name=\"High Game (USA)\"><rom name=\"High Game (USA).sfc\" size=\"524288\" "
           "sha1=\"" +
           Sha1Of(kHiRom) +
           "\"/></game>\n"
           "<game name=\"Low Game (Europe)\"><rom name=\"Low Game (Europe).sfc\" size=\"524288\" "
           "sha1=\"" +
           Sha1Of(kLoRom) +
           "\"/></game>\n"
           "<game name=\"Named Game (Japan) (Rev 1)\"><rom name=\"Named Game (Japan) (Rev 1).sfc\" "
           "size=\"1048576\" sha1=\"" +
           std::string(40, 'e') + "\"/></game>\n</datafile>\n";
}

// The "Dat" object of quillet-info --json --details --dat for `image` saved as `name`, the
// text report, and what quillet-fix --match-dat writes and says.
struct DatReport {
    Json dat;
    std::string text;
    int fixStatus = 0;
    std::optional<Bytes> written;
    std::string fixErr;
};

DatReport Report(const Bytes& image, const std::string& name = "image.sfc") {
    TempFolder folder;
    const std::string document = GameDat();
    const std::string dat = folder.Write("games.dat", Bytes(document.begin(), document.end()));
    const std::string path = folder.Write(name, image);
    std::ostringstream json;
    std::ostringstream text;
    std::ostringstream err;
    RunQuilletInfo(std::vector<std::string>{"--json", "--details", "--dat", dat, path}, json, err);
    RunQuilletInfo(std::vector<std::string>{"--details", "--dat", dat, path}, text, err);
    DatReport report{Json::parse(json.str())["Details"]["Dat"], text.str()};

    const auto output = folder.Path() / "matched.sfc";
    testing::FailingFileLayer files(std::nullopt);
    std::ostringstream fixOut;
    std::ostringstream fixErr;
    report.fixStatus =
        RunQuilletFix(std::vector<std::string>{"--match-dat", dat, "-o", output.string(), path},
                      fixOut, fixErr, files);
    report.fixErr = fixErr.str();
    if (std::filesystem::exists(output))
        report.written = ReadAll(output);
    return report;
}

TEST(DatSteps, DataStoredAsCopiersAndDumpersLeaveItMatchesAndSaysHow) {
    const struct {
        const char* name;
        Bytes image;
        const char* game;
        const Bytes& file; // the DAT's
        std::vector<std::string> via;
        const char* explained; // part of the sentence, when the data did not match as it is
    } cases[] = {
        {"interleaved",
         InterleavedCopy(kHiRom),
         "High Game (USA)",
         kHiRom,
         {"deinterleave"},
         "stored interleaved, as some copiers write HiROM games; de-interleaved, its SHA-1"},
        {"overdumped",
         kLoRom + kLoRom,
         "Low Game (Europe)",
         kLoRom,
         {"trim-overdump"},
         "overdumped with 512 KiB that repeat earlier data; cut to 512 KiB"},
        {"padded with 0x00",
         kLoRom + Bytes(256 * kKiB, 0x00),
         "Low Game (Europe)",
         kLoRom,
         {"trim-padding"},
         "padded with 256 KiB of 0x00; cut to 512 KiB"},
        {"padded with 0xFF to no round size",
         kLoRom + Bytes(100000, 0xFF),
         "Low Game (Europe)",
         kLoRom,
         {"trim-padding"},
         "of 0xFF"},
        {"padded with 0xFF past a HiROM header's room",
         kHiRom + Bytes(512 * kKiB, 0xFF),
         "High Game (USA)",
         kHiRom,
         {"trim-padding"},
         "of 0xFF"},
        // The details set these headers aside: their data matches as it is.
        {"behind a Game Doctor header",
         GameDoctorHeader() + kHiRom,
         "High Game (USA)",
         kHiRom,
         {},
         nullptr},
        {"behind 1024 bytes", Bytes(1024, 0) + kLoRom, "Low Game (Europe)", kLoRom, {}, nullptr},
        {"interleaved behind a Game Doctor header",
         GameDoctorHeader() + InterleavedCopy(kHiRom),
         "High Game (USA)",
         kHiRom,
         {"deinterleave"},
         "de-interleaved"},
        {"interleaved behind 1024 bytes",
         Bytes(1024, 0x55) + InterleavedCopy(kHiRom),
         "High Game (USA)",
         kHiRom,
         {"deinterleave"},
         "de-interleaved"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const DatReport report = Report(c.image);
        ASSERT_TRUE(report.dat.is_object());
        EXPECT_EQ(report.dat["Name"], c.game);
        EXPECT_EQ(report.dat["Match"], "sha1");
        EXPECT_EQ(report.dat["Via"], Json(c.via));
        EXPECT_FALSE(report.dat.contains("Nearest"));
        EXPECT_EQ(report.fixStatus, 0) << report.fixErr;
        EXPECT_TRUE(report.written == c.file);
        if (c.explained == nullptr) {
            EXPECT_TRUE(report.dat["Explanation"].is_null());
            // The Dat group's rows as they were: the checksum has an explanation of its own.
            const std::string group = report.text.substr(report.text.find("Dat:\n"));
            EXPECT_EQ(group.find("Via:"), std::string::npos) << group;
            EXPECT_EQ(group.find("Explanation:"), std::string::npos) << group;
        } else {
            const std::string sentence = report.dat["Explanation"];
            EXPECT_TRUE(
                sentence.starts_with("This image is the DAT's '" + std::string(c.game) + "' "))
                << sentence;
            EXPECT_NE(sentence.find(c.explained), std::string::npos) << sentence;
            EXPECT_NE(report.text.find(sentence), std::string::npos) << report.text;
            EXPECT_NE(report.text.find(c.via.front()), std::string::npos) << report.text;
        }
    }
}

TEST(DatSteps, AHeaderLeftInTheDataIsStrippedBeforeTheNextStep) {
    DatCollection dats;
    dats.LoadDocument("games.dat", GameDat());
    const struct {
        const char* name;
        Bytes data;
        std::vector<DatStep> steps;
        const Bytes& expected;
    } cases[] = {
        {"1024 bytes", Bytes(1024, 0) + kLoRom, {DatStep::StripHeader}, kLoRom},
        {"a Game Doctor header, then interleaved",
         GameDoctorHeader() + InterleavedCopy(kHiRom),
         {DatStep::StripHeader, DatStep::Deinterleave},
         kHiRom},
        {"1024 bytes, then overdumped",
         Bytes(1024, 0x55) + kLoRom + kLoRom,
         {DatStep::StripHeader, DatStep::TrimOverdump},
         kLoRom},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto found = FindViaSteps(dats, c.data);
        ASSERT_TRUE(found);
        EXPECT_EQ(found->steps, c.steps);
        EXPECT_TRUE(found->bytes == c.expected);
    }
    // Data that matches in no form, and data too short for any step.
    EXPECT_FALSE(FindViaSteps(dats, MakeRomData(512 * kKiB, 7)));
    EXPECT_FALSE(FindViaSteps(dats, Bytes(3, 0)));
}

TEST(DatSteps, NamesAreComparedWithoutExtensionTagsCaseAndPunctuation) {
    const struct {
        const char* name;
        const char* words;
    } cases[] = {
        {"roms/Super Mario World (USA) [!].sfc", "super mario world"},
        {"set.zip#Tom & Jerry (Europe) (Rev 1).SMC", "tom jerry"},
        {"Final_Fantasy-III.v1.1.sfc", "final fantasy iii v1 1"},
        {"(Beta) [b1]", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NameForComparison(c.name), c.words) << c.name;

    DatCollection dats;
    dats.LoadDocument("games.dat", GameDat());
    EXPECT_EQ(NearestByName(dats, "named-game (J) [h1].smc"), 2u);
    EXPECT_EQ(NearestByName(dats, "Nmed Game.sfc"), 2u); // one edit in ten letters
    EXPECT_EQ(NearestByName(dats, "Low Game 2.sfc"), 1u);
    EXPECT_FALSE(NearestByName(dats, "Game.sfc"));
    EXPECT_FALSE(NearestByName(dats, "Nmd Gm.sfc"));
}

TEST(DatSteps, DataThatMatchesNothingNamesTheNearestRomAndWhatDiffers) {
    // Another revision, with a byte changed after its checksum was made.
    Bytes changed = Game(kLoRomArea, 0x20, 0, 57);
    changed[0x100] ^= 0xFF;
    const DatReport named = Report(changed, "Named Game (J) [!].sfc");
    EXPECT_TRUE(named.dat["Name"].is_null());
    EXPECT_EQ(named.dat["Nearest"], (Json{{"Name", "Named Game (Japan) (Rev 1)"},
                                          {"Rom", "Named Game (Japan) (Rev 1).sfc"},
                                          {"Size", 1048576}}));
    const std::string sentence = named.dat["Explanation"];
    for (const char* part : {"the nearest by name is 'Named Game (Japan) (Rev 1)'",
                             "Its data is 524288 bytes, the DAT's ROM 1048576", "which was changed",
                             "its header's version byte says revision 0, the DAT's ROM is revision "
                             "1: another revision"})
        EXPECT_NE(sentence.find(part), std::string::npos) << part << " in " << sentence;
    EXPECT_NE(named.text.find(sentence), std::string::npos) << named.text;

    EXPECT_EQ(named.fixStatus, 1);
    EXPECT_FALSE(named.written);
    EXPECT_NE(named.fixErr.find("nothing makes it match"), std::string::npos) << named.fixErr;

    // The DAT's file as it is: nothing to write.
    const DatReport same = Report(kLoRom);
    EXPECT_EQ(same.fixStatus, 1);
    EXPECT_FALSE(same.written);
    EXPECT_NE(same.fixErr.find("already the DAT's file 'Low Game (Europe).sfc'"), std::string::npos)
        << same.fixErr;

    const DatReport unnamed = Report(changed, "zz.sfc");
    EXPECT_TRUE(unnamed.dat["Name"].is_null());
    ASSERT_TRUE(unnamed.dat.contains("Nearest"));
    EXPECT_TRUE(unnamed.dat["Nearest"].is_null());
    EXPECT_NE(unnamed.dat["Explanation"].get<std::string>().find("no ROM there is named like"),
              std::string::npos);
}

} // namespace
} // namespace quillet
