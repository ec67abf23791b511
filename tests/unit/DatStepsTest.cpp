#include "dat/DatSteps.h"

#include "tests/support/GameImages.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace quillet {
namespace {

using namespace samples;
using Bytes = std::vector<std::uint8_t>;
using Json = nlohmann::json;

constexpr std::size_t kKiB = 1024;

Bytes operator+(const Bytes& a, const Bytes& b) {
    return Concatenate(a, b);
}

Bytes Game(std::size_t area, std::uint8_t makeup, std::uint32_t seed) {
    return testing::ScoredGame(
        512 * kKiB, area,
        {.title = "VIA GAME", .makeup = makeup, .romSizeCode = 0x09, .licensee = 0x01}, seed);
}

const Bytes kHiRom = Game(kHiRomArea, 0x21, 51);
const Bytes kLoRom = Game(kLoRomArea, 0x20, 53);

// A DAT that knows both games by the hashes of their data as a cartridge holds it, and a third
// ROM by name only.
std::string GameDat() {
    const auto game = [](const std::string& name, const char* size, const std::string& sha1) {
        return "<game name=\"" + name + "\"><rom name=\"" + name + ".sfc\" size=\"" + size +
               "\" sha1=\"" + sha1 + "\"/></game>\n";
    };
    return "<?xml version=\"1.0\"?>\n<datafile>\n" +
           game("High Game (USA)", "524288", testing::DigestsOf(kHiRom).sha1) +
           game("Low Game (Europe)", "524288", testing::DigestsOf(kLoRom).sha1) +
           game("Named Game (Japan) (Rev 1)", "1048576", std::string(40, 'e')) + "</datafile>\n";
}

// The "Dat" object of quillet-info --json --details --dat for `image` saved as `name`, the
// text report, and what quillet-fix --match-dat writes and says.
struct DatReport {
    Json dat;
    std::string text;
    testing::ToolRun fix;
    std::optional<Bytes> written;
};

DatReport Report(const Bytes& image, const std::string& name = "image.sfc") {
    testing::TempFolder folder;
    const std::string document = GameDat();
    const std::string dat = folder.Write("games.dat", Bytes(document.begin(), document.end()));
    const std::string path = folder.Write(name, image);
    const std::string output = (folder.Path() / "matched.sfc").string();
    DatReport report{
        Json::parse(
            testing::Info({"--json", "--details", "--dat", dat, path}).out)["Details"]["Dat"],
        testing::Info({"--details", "--dat", dat, path}).out,
        testing::Fix({"--match-dat", dat, "-o", output, path})};
    if (std::filesystem::exists(output))
        report.written = testing::ReadAll(output);
    return report;
}

// The forms copiers and dumpers leave data in, each undone by its step, a header left in the
// data first.
TEST(DatSteps, DataStoredAsCopiersAndDumpersLeaveItMatchesAfterItsSteps) {
    DatCollection dats;
    dats.LoadDocument("games.dat", GameDat());
    using S = DatStep;
    const struct {
        Bytes data;
        std::vector<DatStep> steps;
        const Bytes& expected;
    } cases[] = {
        {InterleavedCopy(kHiRom), {S::Deinterleave}, kHiRom},
        {kLoRom + kLoRom, {S::TrimOverdump}, kLoRom},
        {kLoRom + Bytes(256 * kKiB, 0x00), {S::TrimPadding}, kLoRom},
        {kHiRom + Bytes(512 * kKiB, 0xFF), {S::TrimPadding}, kHiRom}, // past a HiROM header's room
        {Bytes(1024, 0) + kLoRom, {S::StripHeader}, kLoRom},
        {GameDoctorHeader() + InterleavedCopy(kHiRom), {S::StripHeader, S::Deinterleave}, kHiRom},
        {Bytes(1024, 0x55) + kLoRom + kLoRom, {S::StripHeader, S::TrimOverdump}, kLoRom},
    };
    for (const auto& c : cases) {
        const auto found = FindViaSteps(dats, c.data);
        ASSERT_TRUE(found) << &c - cases;
        EXPECT_EQ(found->steps, c.steps) << &c - cases;
        EXPECT_TRUE(found->bytes == c.expected) << &c - cases;
    }
    // Data that matches in no form, and data too short for any step.
    EXPECT_FALSE(FindViaSteps(dats, MakeRomData(512 * kKiB, 7)));
    EXPECT_FALSE(FindViaSteps(dats, Bytes(3, 0)));
}

// What the tools add: the steps and a sentence in both reports, and --match-dat writing the
// DAT's file; a header the details set aside needs no step.
TEST(DatSteps, TheToolsSayTheStepsAndWriteTheDatsFile) {
    const DatReport via = Report(Bytes(1024, 0x55) + InterleavedCopy(kHiRom));
    EXPECT_EQ(via.dat["Name"], "High Game (USA)");
    EXPECT_EQ(via.dat["Match"], "sha1");
    EXPECT_EQ(via.dat["Via"], Json::array({"deinterleave"}));
    const std::string sentence = via.dat["Explanation"];
    EXPECT_TRUE(sentence.starts_with("This image is the DAT's 'High Game (USA)' stored "
                                     "interleaved, as some copiers write HiROM games; "
                                     "de-interleaved, its SHA-1"))
        << sentence;
    EXPECT_NE(via.text.find(sentence), std::string::npos) << via.text;
    EXPECT_EQ(via.fix.status, 0) << via.fix.err;
    EXPECT_TRUE(via.written == kHiRom);

    const DatReport aside = Report(GameDoctorHeader() + kHiRom);
    EXPECT_EQ(aside.dat["Via"], Json::array());
    EXPECT_TRUE(aside.dat["Explanation"].is_null());
    // The Dat group's rows as they were: the checksum has an explanation of its own.
    const std::string group = aside.text.substr(aside.text.find("Dat:\n"));
    EXPECT_EQ(group.find("Via:"), std::string::npos) << group;
    EXPECT_EQ(group.find("Explanation:"), std::string::npos) << group;
    EXPECT_TRUE(aside.written == kHiRom);
}

TEST(DatSteps, DataThatMatchesNothingNamesTheNearestRomAndWhatDiffers) {
    // Another revision, with a byte changed after its checksum was made.
    Bytes changed = Game(kLoRomArea, 0x20, 57);
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
    EXPECT_EQ(named.fix.status, 1);
    EXPECT_FALSE(named.written);
    EXPECT_NE(named.fix.err.find("nothing makes it match"), std::string::npos) << named.fix.err;
}

} // namespace
} // namespace quillet
