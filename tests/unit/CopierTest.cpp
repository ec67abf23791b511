#include "cli/QuilletFix.h"
#include "cli/QuilletInfo.h"
#include "rom/CopierFormats.h"
#include "rom/Digests.h"
#include "rom/ImageRepair.h"
#include "rom/ImageScanner.h"

#include "tests/support/FailingFileLayer.h"
#include "tests/support/TempFolder.h"
#include "tests/support/ToolRuns.h"
#include "tools/RomImageBuilder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>

namespace quillet {
namespace {

using testing::Fix;
using testing::ToolRun;

using namespace samples;
using Bytes = std::vector<std::uint8_t>;
using Json = nlohmann::json;
using testing::ReadAll;
using testing::TempFolder;

constexpr std::size_t kKiB = 1024;

Bytes operator+(const Bytes& a, const Bytes& b) {
    return Concatenate(a, b);
}

// A HiROM game whose header scores full marks.
Bytes HiRomGame(std::size_t size, std::uint8_t sizeCode, std::uint32_t seed = 41) {
    Bytes rom = MakeRomData(size, seed);
    WriteInternalHeader(
        rom, kHiRomArea,
        {.title = "HIROM GAME", .makeup = 0x21, .romSizeCode = sizeCode, .licensee = 0x01});
    WriteResetVector(rom, kHiRomArea, 0x8000, 0x8000, 0x78);
    FixChecksum(rom, kHiRomArea);
    return rom;
}

Bytes LoRomGame(std::size_t size, std::uint8_t sizeCode, std::uint32_t seed = 43) {
    Bytes rom = MakeRomData(size, seed);
    WriteInternalHeader(rom, kLoRomArea,
                        {.title = "LOROM GAME", .romSizeCode = sizeCode, .licensee = 0x01});
    WriteResetVector(rom, kLoRomArea, 0x8000, 0, 0x78);
    FixChecksum(rom, kLoRomArea);
    return rom;
}

Digests DigestsOf(std::span<const std::uint8_t> bytes) {
    DigestSet set;
    set.Update(bytes);
    return set.Finish();
}

const Bytes kHi512 = HiRomGame(512 * kKiB, 0x09);
const Bytes kHi1536 = HiRomGame(1536 * kKiB, 0x0B); // mirrored: its sum depends on the order
const Bytes kLo512 = LoRomGame(512 * kKiB, 0x09);

TEST(CopierFormats, HeadersAreKnownByTheirSignaturesAndTheAnalysisTests) {
    Bytes gameDoctorLong = GameDoctorHeader();
    gameDoctorLong.resize(1024);
    const struct {
        const char* name;
        Bytes header;
        CopierFormat format;
    } cases[] = {
        {"Super Wild Card", SuperWildCardHeader(64, 0), CopierFormat::SuperWildCard},
        {"Pro Fighter", ProFighterHeader(64, true), CopierFormat::ProFighter},
        {"Game Doctor", GameDoctorHeader(), CopierFormat::GameDoctorSf3},
        {"Game Doctor, 1024 bytes", gameDoctorLong, CopierFormat::GameDoctorSf3},
        // Its bytes 2, 6 and 7 are zero as a Pro Fighter header's are.
        {"Super UFO of a HiROM game", SuperUfoHeader(4, true), CopierFormat::SuperUfo},
        {"Super UFO of a LoROM game", SuperUfoHeader(8, false), CopierFormat::SuperUfo},
        {"neither signature nor zeros", UnknownCopierHeader(), CopierFormat::Unknown},
        {"1024 zero bytes: no Pro Fighter writes that many", Bytes(1024), CopierFormat::Unknown},
        {"too short for any test", Bytes(5), CopierFormat::Unknown},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IdentifyCopierHeader(c.header), c.format);
    }
}

TEST(CopierFormats, InterleavingMovesTheUpperHalvesOfTheBanksFirstAndBack) {
    for (const Bytes& data : {MakeRomData(64 * kKiB, 3), MakeRomData(192 * kKiB, 4), kHi1536}) {
        SCOPED_TRACE(data.size());
        const Bytes interleaved = InterleavedCopy(data);
        EXPECT_EQ(Interleave(data), interleaved);
        EXPECT_EQ(Deinterleave(interleaved), data);
        for (const std::uint64_t offset :
             {std::uint64_t{0}, std::uint64_t{0x7FFF}, std::uint64_t{0x8000}, std::uint64_t{0xFFC0},
              std::uint64_t{data.size() - 1}}) {
            EXPECT_EQ(interleaved[static_cast<std::size_t>(InterleavedOffset(offset, data.size()))],
                      data[static_cast<std::size_t>(offset)])
                << "at " << offset;
        }
    }
    for (const std::size_t size : {std::size_t{0}, 32 * kKiB, 96 * kKiB, 64 * kKiB + 1}) {
        SCOPED_TRACE(size);
        EXPECT_THROW(Interleave(Bytes(size)), ERangeError);
        EXPECT_THROW(Deinterleave(Bytes(size)), ERangeError);
    }
}

// The details as quillet-info --json --details gives them.
Json DetailsOf(const Bytes& image) {
    TempFolder folder;
    const std::string path = folder.Write("image.sfc", image);
    std::ostringstream out;
    std::ostringstream err;
    RunQuilletInfo(std::vector<std::string>{"--json", "--details", path}, out, err);
    return Json::parse(out.str())["Details"];
}

TEST(CopierDetails, HeadersOfEveryFormatAndSizeAndInterleavedData) {
    const Bytes padding00(256 * kKiB, 0x00);
    const Bytes paddingFF(100000, 0xFF); // 1696 bytes over 32 KiB units, yet no header
    const struct {
        const char* name;
        Bytes image;
        Json copier;
        bool interleaved;
        Bytes cartridgeData; // the data in the cartridge's order
        std::uint32_t headerAddress;
        std::vector<std::string> diagnosis;
    } cases[] = {
        {"none", kLo512, nullptr, false, kLo512, 0x7FC0, {"matches"}},
        {"Super Wild Card",
         SuperWildCardHeader(64, 0) + kLo512,
         {{"Format", "Super Wild Card"}, {"HeaderSize", 512}},
         false,
         kLo512,
         0x7FC0,
         {"matches"}},
        {"Game Doctor",
         GameDoctorHeader() + kHi512,
         {{"Format", "Game Doctor SF3"}, {"HeaderSize", 512}},
         false,
         kHi512,
         0xFFC0,
         {"matches"}},
        {"Super UFO, which the analysis takes for a Pro Fighter",
         SuperUfoHeader(4, true) + kHi512,
         {{"Format", "Super UFO"}, {"HeaderSize", 512}},
         false,
         kHi512,
         0xFFC0,
         {"matches"}},
        {"1024 bytes, which the analysis does not see",
         Bytes(1024, 0) + kLo512,
         {{"Format", "unknown"}, {"HeaderSize", 1024}},
         false,
         kLo512,
         0x7FC0,
         {"matches"}},
        {"interleaved, 24 Mbit mirrored",
         InterleavedCopy(kHi1536),
         nullptr,
         true,
         kHi1536,
         0xFFC0,
         {"matches"}},
        {"interleaved behind a Game Doctor header",
         GameDoctorHeader() + InterleavedCopy(kHi512),
         {{"Format", "Game Doctor SF3"}, {"HeaderSize", 512}},
         true,
         kHi512,
         0xFFC0,
         {"matches"}},
        {"interleaved behind 1024 bytes",
         Bytes(1024, 0x55) + InterleavedCopy(kHi512),
         {{"Format", "unknown"}, {"HeaderSize", 1024}},
         true,
         kHi512,
         0xFFC0,
         {"matches"}},
        {"overdumped",
         kLo512 + kLo512,
         nullptr,
         false,
         kLo512 + kLo512,
         0x7FC0,
         {"matches", "overdump"}},
        {"padded with 0x00",
         kLo512 + padding00,
         nullptr,
         false,
         kLo512 + padding00,
         0x7FC0,
         {"matches", "padded"}},
        {"padded with 0xFF",
         kLo512 + paddingFF,
         nullptr,
         false,
         kLo512 + paddingFF,
         0x7FC0,
         {"matches", "padded"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Json details = DetailsOf(c.image);
        ASSERT_TRUE(details.is_object());
        EXPECT_EQ(details["Copier"], c.copier);
        EXPECT_EQ(details["Interleaved"], c.interleaved);
        // The data's hashes are those of the bytes as they are.
        const std::size_t offset =
            c.copier.is_null() ? 0 : c.copier["HeaderSize"].get<std::size_t>();
        EXPECT_EQ(details["Data"]["Offset"], offset);
        const auto stored = std::span(c.image).subspan(offset);
        EXPECT_EQ(details["Data"]["SHA1"], DigestsOf(stored).sha1);
        if (c.interleaved) {
            const Digests expected = DigestsOf(c.cartridgeData);
            EXPECT_EQ(details["Deinterleaved"], (Json{{"CRC32", expected.crc32},
                                                      {"MD5", expected.md5},
                                                      {"SHA1", expected.sha1},
                                                      {"SHA256", expected.sha256}}));
        } else {
            EXPECT_FALSE(details.contains("Deinterleaved"));
        }
        EXPECT_EQ(details["Cartridge"]["HeaderAddress"], c.headerAddress);
        EXPECT_EQ(details["Opinion"]["Map"], c.headerAddress == 0xFFC0 ? "HiROM" : "LoROM");
        EXPECT_EQ(details["Checksum"]["Diagnosis"], c.diagnosis);
    }
}

TEST(CopierDetails, OddSizesWithoutAHeaderAfterThemKeepTheAnalysisOffset) {
    // Random bytes, and a game whose header the analysis' 512 bytes already find.
    EXPECT_EQ(DetailsOf(MakeRomData(5 * 8192 + 100, 3))["Copier"], nullptr);
    const Json swc = DetailsOf(SuperWildCardHeader(64, 0) + kLo512 + MakeRomData(8192, 5));
    EXPECT_EQ(swc["Copier"], (Json{{"Format", "Super Wild Card"}, {"HeaderSize", 512}}));
    // Interleaved data is never taken for a LoROM game beside it, nor the other way round.
    EXPECT_EQ(DetailsOf(kLo512)["Interleaved"], false);
    EXPECT_EQ(DetailsOf(kHi512)["Interleaved"], false);
}

TEST(CopierDetails, TheSameWhateverTheChunksThatHoldTheStartBack) {
    const Bytes image = Bytes(1024, 0x55) + InterleavedCopy(kHi512);
    const auto scan = [&](std::size_t chunk) {
        ImageScanner scanner(image.size(), 0);
        for (std::size_t at = 0; at < image.size(); at += chunk)
            scanner.Feed(std::span(image).subspan(at, std::min(chunk, image.size() - at)));
        return scanner.Finish({});
    };
    const ImageDetails whole = scan(image.size());
    ASSERT_TRUE(whole.copier);
    EXPECT_EQ(whole.copier->size, 1024u);
    EXPECT_TRUE(whole.interleaved);
    for (const std::size_t chunk : {std::size_t{1000}, std::size_t{65536 + 1024}, 3 * kKiB}) {
        SCOPED_TRACE(chunk);
        const ImageDetails details = scan(chunk);
        EXPECT_EQ(details.copier, whole.copier);
        EXPECT_EQ(details.data.digests, whole.data.digests);
        EXPECT_EQ(details.file.digests, whole.file.digests);
        EXPECT_EQ(details.deinterleaved, whole.deinterleaved);
        EXPECT_EQ(details.checksum.explanation, whole.checksum.explanation);
    }
}

TEST(CopierFix, EachStepGivesTheBytesExpected) {
    const Bytes gameDoctor = GameDoctorHeader();
    const struct {
        const char* name;
        Bytes image;
        std::vector<std::string> options;
        Bytes result;
        std::string said; // the first line after "in.sfc: "
    } cases[] = {
        {"de-interleaved behind a Game Doctor header, which stays",
         gameDoctor + InterleavedCopy(kHi512),
         {"--deinterleave"},
         gameDoctor + kHi512,
         "de-interleaved the data: 8 banks of 64 KiB, each in the cartridge's order"},
        {"de-interleaved and the header taken off",
         gameDoctor + InterleavedCopy(kHi1536),
         {"--deinterleave", "--strip-header"},
         kHi1536,
         "removed the 512-byte copier header (Unknown 512-header based Image)"},
        {"interleaved",
         kHi1536,
         {"--interleave"},
         InterleavedCopy(kHi1536),
         "interleaved the data: 24 banks of 64 KiB, their upper halves first"},
        {"interleaved behind a Super Wild Card header",
         SuperWildCardHeader(64, 0x30) + kHi512,
         {"--interleave"},
         SuperWildCardHeader(64, 0x30) + InterleavedCopy(kHi512),
         "interleaved the data: 8 banks of 64 KiB"},
        {"an overdump cut off",
         kLo512 + kLo512,
         {"--trim"},
         kLo512,
         "cut the data from 1 MiB to 512 KiB, the size its header declares: the rest repeated "
         "earlier data (an overdump)"},
        {"0x00 padding cut off",
         kLo512 + Bytes(256 * kKiB, 0x00),
         {"--trim"},
         kLo512,
         "cut the data from 768 KiB to 512 KiB, the size its header declares: the rest was all "
         "0x00 (padding)"},
        {"an overdump cut off behind a Super Wild Card header, which counts the blocks again",
         SuperWildCardHeader(128, 0) + kLo512 + kLo512,
         {"--trim"},
         SuperWildCardHeader(64, 0) + kLo512,
         "cut the data from 1 MiB to 512 KiB"},
        {"0xFF padding cut off",
         kLo512 + Bytes(100000, 0xFF),
         {"--trim"},
         kLo512,
         "cut the data from "},
        {"a Game Doctor header off",
         gameDoctor + kHi512,
         {"--strip-header"},
         kHi512,
         "removed the 512-byte copier header (Unknown 512-header based Image)"},
        {"a Super UFO header off",
         SuperUfoHeader(4, true) + kHi512,
         {"--strip-header"},
         kHi512,
         "removed the 512-byte copier header (Profighter (FIG))"},
        {"1024 bytes off",
         Bytes(1024, 0) + kLo512,
         {"--strip-header"},
         kLo512,
         "removed the 1024-byte copier header (unknown)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        const std::string in = folder.Write("in.sfc", c.image);
        const std::string out = (folder.Path() / "out.sfc").string();
        std::vector<std::string> arguments = c.options;
        arguments.insert(arguments.end(), {in, "-o", out});
        const ToolRun run = Fix(arguments);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_TRUE(run.out.starts_with(in + ": " + c.said)) << run.out;
        EXPECT_EQ(ReadAll(out), c.result);
        EXPECT_EQ(ReadAll(in), c.image);
    }
}

TEST(CopierFix, InterleavingThenDeinterleavingGivesTheFileBack) {
    for (const Bytes& image :
         {kHi512, kHi1536, SuperWildCardHeader(192, 0x30) + kHi1536, Bytes(1024, 0x55) + kHi512}) {
        SCOPED_TRACE(image.size());
        TempFolder folder;
        const std::string game = folder.Write("game.sfc", image);
        ASSERT_EQ(Fix({"--interleave", "--in-place", game}).status, 0);
        const Bytes interleaved = ReadAll(game);
        EXPECT_NE(interleaved, image);
        EXPECT_EQ(DetailsOf(interleaved)["Interleaved"], true);
        const ToolRun back = Fix({"--deinterleave", "--in-place", game});
        EXPECT_EQ(back.status, 0) << back.err;
        EXPECT_EQ(ReadAll(game), image);
    }
    // The steps as functions of bytes, for those that look for data in all its forms.
    EXPECT_EQ(StripCopierHeader(GameDoctorHeader() + kLo512), kLo512);
    EXPECT_EQ(TrimToDeclaredSize(kLo512 + kLo512), kLo512);
    EXPECT_THROW(TrimToDeclaredSize(kLo512), ERepairRefused);
}

TEST(CopierFix, RefusalsSayWhyExitWith1AndLeaveTheFile) {
    // A HiROM header with no checksum, vector or code: too weak to be found interleaved.
    Bytes weak = MakeRomData(256 * kKiB, 47);
    WriteInternalHeader(weak, kHiRomArea, {.title = "WEAK", .makeup = 0x21});
    const Bytes interleaved = InterleavedCopy(kHi512);
    const struct {
        const char* name;
        Bytes image;
        std::vector<std::string> options;
        std::string err; // after "quillet-fix: FILE: "
    } cases[] = {
        {"nothing to trim",
         kLo512,
         {"--trim"},
         "nothing to trim: the data (512 KiB) is no larger than its internal header declares\n"},
        {"a surplus that may be the game's",
         kLo512 + MakeRomData(64 * kKiB, 9),
         {"--trim"},
         "the 64 KiB beyond the 512 KiB its internal header declares neither repeat earlier data "
         "nor are padding: they may belong to the game\n"},
        {"LoROM data to interleave",
         kLo512,
         {"--interleave"},
         "the internal header is at 0x007FC0 (LoROM), not at 0x00FFC0 (HiROM): only HiROM data "
         "is interleaved\n"},
        {"data of part of a bank",
         kHi512 + MakeRomData(32 * kKiB, 2),
         {"--interleave"},
         "557056 bytes of data, not a whole number of 64 KiB banks: only HiROM data in whole "
         "banks is interleaved\n"},
        {"a header too weak to be found again",
         weak,
         {"--interleave"},
         "interleaved, the data would not be recognised as such: its HiROM header does not look "
         "enough like one\n"},
        {"data in the cartridge's order",
         kHi512,
         {"--deinterleave"},
         "not interleaved: no internal header is found with the halves of each 64 KiB bank "
         "swapped, more than one is as the data is\n"},
        {"data of no whole banks",
         MakeRomData(40000, 1),
         {"--deinterleave"},
         "40000 bytes of data, not a whole number of 64 KiB banks"},
        {"interleaved twice",
         interleaved,
         {"--interleave"},
         "the data is interleaved: its internal header is found only with the halves of each 64 "
         "KiB bank swapped back; give --deinterleave as well\n"},
        {"a trim of interleaved data",
         interleaved + interleaved,
         {"--trim"},
         "the data is interleaved"},
        {"a checksum of interleaved data", interleaved, {"--checksum"}, "the data is interleaved"},
        {"no header to strip", kHi512, {"--strip-header"}, "no copier header to remove: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        const std::string game = folder.Write("game.sfc", c.image);
        const ToolRun run = Fix({c.options[0], "--in-place", game});
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(run.err.starts_with("quillet-fix: " + game + ": " + c.err)) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(ReadAll(game), c.image);
    }
    const ToolRun both = Fix({"--interleave", "--deinterleave", "a.sfc"});
    EXPECT_EQ(both.status, 2);
    EXPECT_TRUE(
        both.err.starts_with("quillet-fix: --interleave and --deinterleave exclude each other\n"))
        << both.err;
}

} // namespace
} // namespace quillet
