#include "rom/CopierFormats.h"

#include "tests/support/GameImages.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace quillet {
namespace {

using namespace samples;
using Bytes = std::vector<std::uint8_t>;
using Json = nlohmann::json;
using testing::FixOneFile;

constexpr std::size_t kKiB = 1024;

Bytes operator+(const Bytes& a, const Bytes& b) {
    return Concatenate(a, b);
}

Bytes HiRomGame(std::size_t size, std::uint8_t sizeCode) {
    return testing::ScoredGame(
        size, kHiRomArea,
        {.title = "HIROM GAME", .makeup = 0x21, .romSizeCode = sizeCode, .licensee = 0x01}, 41);
}

const Bytes kHi512 = HiRomGame(512 * kKiB, 0x09);
const Bytes kHi1536 = HiRomGame(1536 * kKiB, 0x0B); // mirrored: its sum depends on the order
const Bytes kLo512 = testing::ScoredGame(
    512 * kKiB, kLoRomArea, {.title = "LOROM GAME", .romSizeCode = 0x09, .licensee = 0x01}, 43);

TEST(CopierFormats, HeadersAreKnownByTheirSignaturesAndTheAnalysisTests) {
    Bytes gameDoctorLong = GameDoctorHeader();
    gameDoctorLong.resize(1024);
    const std::pair<Bytes, CopierFormat> cases[] = {
        {SuperWildCardHeader(64, 0), CopierFormat::SuperWildCard},
        {ProFighterHeader(64, true), CopierFormat::ProFighter},
        {gameDoctorLong, CopierFormat::GameDoctorSf3},
        // Its bytes 2, 6 and 7 are zero as a Pro Fighter header's are.
        {SuperUfoHeader(4, true), CopierFormat::SuperUfo},
        {UnknownCopierHeader(), CopierFormat::Unknown},
        {Bytes(1024), CopierFormat::Unknown}, // no Pro Fighter writes that many zeros
        {Bytes(5), CopierFormat::Unknown},    // too short for any test
    };
    for (const auto& [header, format] : cases)
        EXPECT_EQ(IdentifyCopierHeader(header), format) << header.size();
}

TEST(CopierFormats, InterleavingMovesTheUpperHalvesOfTheBanksFirstAndBack) {
    for (const Bytes& data : {MakeRomData(64 * kKiB, 3), MakeRomData(192 * kKiB, 4), kHi1536}) {
        SCOPED_TRACE(data.size());
        const Bytes interleaved = InterleavedCopy(data);
        EXPECT_EQ(Interleave(data), interleaved);
        EXPECT_EQ(Deinterleave(interleaved), data);
        for (const std::uint64_t offset : {0ULL, 0x7FFFULL, 0x8000ULL, 0xFFC0ULL,
                                           static_cast<unsigned long long>(data.size() - 1)}) {
            EXPECT_EQ(interleaved[static_cast<std::size_t>(InterleavedOffset(offset, data.size()))],
                      data[static_cast<std::size_t>(offset)])
                << "at " << offset;
        }
    }
    for (const std::size_t size : {std::size_t{0}, 96 * kKiB, 64 * kKiB + 1}) {
        EXPECT_THROW(Interleave(Bytes(size)), ERangeError) << size;
        EXPECT_THROW(Deinterleave(Bytes(size)), ERangeError) << size;
    }
}

// The details as quillet-info --json --details gives them.
Json DetailsOf(const Bytes& image) {
    testing::TempFolder folder;
    const std::string path = folder.Write("image.sfc", image);
    return Json::parse(testing::Info({"--json", "--details", path}).out)["Details"];
}

TEST(CopierDetails, HeadersOfEveryFormatAndSizeAndInterleavedData) {
    const struct {
        const char* name;
        Bytes image;
        const char* format; // of the copier header, if there is one
        std::size_t headerSize;
        Bytes cartridgeData; // the data in the cartridge's order
    } cases[] = {
        {"Super UFO, which the analysis takes for a Pro Fighter", SuperUfoHeader(4, true) + kHi512,
         "Super UFO", 512, kHi512},
        {"1024 bytes, which the analysis does not see", Bytes(1024, 0) + kLo512, "unknown", 1024,
         kLo512},
        {"interleaved, 24 Mbit mirrored", InterleavedCopy(kHi1536), nullptr, 0, kHi1536},
        {"interleaved behind 1024 bytes", Bytes(1024, 0x55) + InterleavedCopy(kHi512), "unknown",
         1024, kHi512},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Json details = DetailsOf(c.image);
        ASSERT_TRUE(details.is_object());
        const Json copier =
            c.format ? Json{{"Format", c.format}, {"HeaderSize", c.headerSize}} : Json();
        EXPECT_EQ(details["Copier"], copier);
        // The data's hashes are those of the bytes as they are.
        const auto stored = std::span(c.image).subspan(c.headerSize);
        const bool interleaved = !std::ranges::equal(stored, c.cartridgeData);
        EXPECT_EQ(details["Interleaved"], interleaved);
        EXPECT_EQ(details["Data"]["SHA1"], testing::DigestsOf(stored).sha1);
        if (interleaved) {
            const Digests expected = testing::DigestsOf(c.cartridgeData);
            EXPECT_EQ(details["Deinterleaved"], (Json{{"CRC32", expected.crc32},
                                                      {"MD5", expected.md5},
                                                      {"SHA1", expected.sha1},
                                                      {"SHA256", expected.sha256}}));
        } else {
            EXPECT_FALSE(details.contains("Deinterleaved"));
        }
        const bool hiRom = c.cartridgeData == kHi512 || c.cartridgeData == kHi1536;
        EXPECT_EQ(details["Cartridge"]["HeaderAddress"], hiRom ? 0xFFC0 : 0x7FC0);
        EXPECT_EQ(details["Checksum"]["Diagnosis"], Json::array({"matches"}));
    }
}

TEST(CopierDetails, TheSameWhateverTheChunksThatHoldTheStartBack) {
    const Bytes image = Bytes(1024, 0x55) + InterleavedCopy(kHi512);
    const ImageDetails whole = testing::ScanInChunks(image, 0, image.size());
    ASSERT_TRUE(whole.copier);
    EXPECT_EQ(whole.copier->size, 1024u);
    EXPECT_TRUE(whole.interleaved);
    for (const std::size_t chunk : {std::size_t{1000}, std::size_t{65536 + 1024}, 3 * kKiB}) {
        SCOPED_TRACE(chunk);
        const ImageDetails details = testing::ScanInChunks(image, 0, chunk);
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
        Bytes image;
        const char* option;
        Bytes result;
        std::string said; // how the first line after "in.sfc: " starts
    } cases[] = {
        // Behind a Game Doctor header, which stays; behind a Super Wild Card one.
        {gameDoctor + InterleavedCopy(kHi512), "--deinterleave", gameDoctor + kHi512,
         "de-interleaved the data: 8 banks of 64 KiB, each in the cartridge's order"},
        {SuperWildCardHeader(64, 0x30) + kHi512, "--interleave",
         SuperWildCardHeader(64, 0x30) + InterleavedCopy(kHi512), "interleaved the data"},
        {kLo512 + kLo512, "--trim", kLo512,
         "cut the data from 1 MiB to 512 KiB, the size its header declares: the rest repeated "
         "earlier data (an overdump)"},
        // A Super Wild Card header counts the blocks again.
        {SuperWildCardHeader(128, 0) + kLo512 + kLo512, "--trim",
         SuperWildCardHeader(64, 0) + kLo512, "cut the data"},
        {Bytes(1024, 0) + kLo512, "--strip-header", kLo512,
         "removed the 1024-byte copier header (unknown)"},
    };
    for (const auto& c : cases) {
        const testing::FixedFile fixed = FixOneFile(c.image, {c.option});
        EXPECT_EQ(fixed.run.status, 0) << fixed.run.err;
        EXPECT_TRUE(fixed.run.out.starts_with(fixed.in + ": " + c.said)) << fixed.run.out;
        EXPECT_EQ(fixed.written, c.result) << c.said;
        EXPECT_EQ(fixed.left, c.image);
    }
}

TEST(CopierFix, RefusalsExitWith1AndLeaveTheFile) {
    // A HiROM header with no checksum, vector or code: too weak to be found interleaved.
    Bytes weak = MakeRomData(256 * kKiB, 47);
    WriteInternalHeader(weak, kHiRomArea, {.title = "WEAK", .makeup = 0x21});
    const Bytes interleaved = InterleavedCopy(kHi512);
    const std::pair<Bytes, const char*> cases[] = {
        {kLo512 + MakeRomData(64 * kKiB, 9), "--trim"},       // may be the game's: kept
        {kLo512, "--trim"},                                   // nothing to trim
        {kLo512, "--interleave"},                             // LoROM
        {kHi512 + MakeRomData(32 * kKiB, 2), "--interleave"}, // not whole banks
        {weak, "--interleave"},                               // would not be recognised
        {interleaved, "--interleave"},                        // interleaved already
        {kHi512, "--deinterleave"},                           // not interleaved
        {interleaved, "--checksum"},                          // would go to the wrong place
    };
    for (const auto& [image, option] : cases) {
        const testing::FixedFile fixed = FixOneFile(image, {option}, true);
        EXPECT_EQ(fixed.run.status, 1) << option << " " << fixed.run.err;
        EXPECT_TRUE(fixed.run.err.starts_with("quillet-fix: " + fixed.in + ": ")) << fixed.run.err;
        EXPECT_EQ(fixed.run.out, "");
        EXPECT_EQ(fixed.left, image);
        if (&image == &cases[0].first) {
            EXPECT_EQ(fixed.run.err,
                      "quillet-fix: " + fixed.in +
                          ": the 64 KiB beyond the 512 KiB its internal header declares neither "
                          "repeat earlier data nor are padding: they may belong to the game\n");
        }
    }
    EXPECT_EQ(testing::Fix({"--interleave", "--deinterleave", "a.sfc"}).status, 2);
}

} // namespace
} // namespace quillet
