#include "rom/CopierFormats.h"
#include "rom/ImageRepair.h"

#include "tests/support/GameImages.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

using namespace samples;
using Bytes = std::vector<std::uint8_t>;
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
    for (const Bytes& data : {MakeRomData(192 * kKiB, 4), kHi1536}) {
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
    EXPECT_THROW(Interleave(Bytes(64 * kKiB + 1)), ERangeError);
    EXPECT_THROW(Deinterleave(Bytes{}), ERangeError);
}

TEST(CopierDetails, TheSameWhateverTheChunksThatHoldTheStartBack) {
    const Bytes image = Bytes(1024, 0x55) + InterleavedCopy(kHi512);
    const ImageDetails whole = testing::ScanInChunks(image, 0, image.size());
    // The data's hashes are those of the bytes as they are; the cartridge's order is hashed too.
    ASSERT_TRUE(whole.copier);
    EXPECT_EQ(whole.copier->size, 1024u);
    EXPECT_TRUE(whole.interleaved);
    EXPECT_EQ(whole.data.digests, testing::DigestsOf(std::span(image).subspan(1024)));
    EXPECT_EQ(whole.deinterleaved, testing::DigestsOf(kHi512));
    ASSERT_TRUE(whole.cartridge);
    EXPECT_EQ(whole.cartridge->address, 0xFFC0u);
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

// The steps in memory; the tool's part, its words and the files, once each below.
TEST(CopierFix, EachStepGivesTheBytesExpected) {
    const Bytes gameDoctor = GameDoctorHeader();
    const struct {
        Bytes image;
        RepairRequest request;
        Bytes result;
    } cases[] = {
        // Behind a Game Doctor header, which stays; behind a Super Wild Card one.
        {gameDoctor + InterleavedCopy(kHi512), {.deinterleave = true}, gameDoctor + kHi512},
        {SuperWildCardHeader(64, 0x30) + kHi512,
         {.interleave = true},
         SuperWildCardHeader(64, 0x30) + InterleavedCopy(kHi512)},
        {kLo512 + kLo512, {.trim = true}, kLo512},
        // A Super Wild Card header counts the blocks again.
        {SuperWildCardHeader(128, 0) + kLo512 + kLo512,
         {.trim = true},
         SuperWildCardHeader(64, 0) + kLo512},
        {Bytes(1024, 0) + kLo512, {.stripCopierHeader = true}, kLo512},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(RepairImage(c.image, c.request).image == c.result) << &c - cases;

    const testing::FixedFile fixed = FixOneFile(kLo512 + kLo512, {"--trim"});
    EXPECT_TRUE(fixed.run.out.starts_with(fixed.in + ": cut the data from 1 MiB to 512 KiB, the "
                                                     "size its header declares: the rest repeated "
                                                     "earlier data (an overdump)\n"))
        << fixed.run.out;
    EXPECT_EQ(fixed.written, kLo512);
    EXPECT_EQ(fixed.left, kLo512 + kLo512);
}

TEST(CopierFix, RefusalsSayWhyAndLeaveTheFile) {
    // A HiROM header with no checksum, vector or code: too weak to be found interleaved.
    Bytes weak = MakeRomData(256 * kKiB, 47);
    WriteInternalHeader(weak, kHiRomArea, {.title = "WEAK", .makeup = 0x21});
    const Bytes interleaved = InterleavedCopy(kHi512);
    using R = RepairRefusal;
    const struct {
        Bytes image;
        RepairRequest request;
        RepairRefusal reason;
    } cases[] = {
        {kLo512 + MakeRomData(64 * kKiB, 9), {.trim = true}, R::SurplusNeeded},
        {kLo512, {.trim = true}, R::NothingToTrim},
        {kLo512, {.interleave = true}, R::CannotInterleave}, // LoROM
        {kHi512 + MakeRomData(32 * kKiB, 2), {.interleave = true}, R::CannotInterleave},
        {weak, {.interleave = true}, R::CannotInterleave}, // would not be recognised
        {interleaved, {.interleave = true}, R::Interleaved},
        {kHi512, {.deinterleave = true}, R::NotInterleaved},
        {interleaved, {.fillChecksum = true}, R::Interleaved},
    };
    for (const auto& c : cases) {
        try {
            RepairImage(c.image, c.request);
            ADD_FAILURE() << "repaired " << &c - cases;
        } catch (const ERepairRefused& refusal) {
            EXPECT_EQ(refusal.Reason(), c.reason) << refusal.Message();
        }
    }
    // The one that keeps data that may be the game's, through the tool.
    const testing::FixedFile kept = FixOneFile(cases[0].image, {"--trim"}, true);
    EXPECT_EQ(kept.run.status, 1);
    EXPECT_EQ(kept.run.err, "quillet-fix: " + kept.in +
                                ": the 64 KiB beyond the 512 KiB its internal header declares "
                                "neither repeat earlier data nor are padding: they may belong to "
                                "the game\n");
    EXPECT_EQ(kept.left, cases[0].image);
    EXPECT_EQ(testing::Fix({"--interleave", "--deinterleave", "a.sfc"}).status, 2);
}

} // namespace
} // namespace quillet
