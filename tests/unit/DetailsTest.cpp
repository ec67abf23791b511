#include "rom/CartridgeHeader.h"
#include "rom/RomDescription.h"

#include "tests/support/GameImages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string_view>
#include <tuple>

namespace quillet {
namespace {

using namespace samples;
using Bytes = std::vector<std::uint8_t>;
using D = ChecksumDiagnosis;
using testing::ScanInChunks;

constexpr std::size_t kKiB = 1024;
constexpr std::size_t kMiB = 1024 * kKiB;

Bytes Text(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

// A LoROM game of `size` bytes whose checksum is right.
Bytes Game(std::size_t size, std::uint8_t sizeCode) {
    return testing::ScoredGame(size, kLoRomArea,
                               {.title = "GAME", .romSizeCode = sizeCode, .licensee = 0x01}, 5);
}

TEST(Digests, KnownVectorsAndAnEmptyInput) {
    DigestSet set;
    set.Update(Text("1234"));
    set.Update(Text("56789"));
    const Digests digests = set.Finish();
    EXPECT_EQ(digests.crc32, "cbf43926"); // the check value of the zlib CRC
    EXPECT_EQ(digests.sha1, "f7c3bc1d808e04732adf679965ccc34ca7ae3441");
    EXPECT_THROW(set.Finish(), Exception);
}

TEST(CartridgeHeader, MapModesChipsAndMemoryOfEachFamily) {
    const struct {
        std::uint8_t map, type, subType;
        const char *mapName, *speed, *chips;
        bool ram, battery;
    } cases[] = {
        {0x21, 0x02, 0, "HiROM", "SlowROM", "", true, true},
        {0x23, 0x35, 0, "SA-1", "SlowROM", "SA-1", true, true},
        {0x3A, 0xF9, 0x00, "SPC7110", "FastROM", "SPC7110", true, true},
        {0x30, 0xF6, 0x01, "LoROM", "FastROM", "ST010/ST011", false, true},
        {0x20, 0xF3, 0x07, "LoROM", "SlowROM", "Unknown custom chip (ID:0x07)", false, false},
        {0x27, 0x07, 0, "Unknown", "SlowROM", "Unknown (ID:0x07)", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        std::array<std::uint8_t, kHeaderWindowSize> window{};
        window[0x10 + 0x15] = c.map;
        window[0x10 + 0x16] = c.type;
        window[0x0F] = c.subType;
        const CartridgeHeader header = DecodeCartridgeHeader(window, 0x7FC0);
        EXPECT_EQ(MapName(header), c.mapName);
        EXPECT_EQ(SpeedName(header), c.speed);
        EXPECT_EQ(ChipsName(header), c.chips);
        EXPECT_EQ(std::pair(HasRam(header), HasBattery(header)), std::pair(c.ram, c.battery));
    }
}

TEST(CartridgeHeader, ExtendedHeaderOnlyWithLicensee0x33AndRegionsPastTheOldTable) {
    Bytes rom(0x8000);
    WriteInternalHeader(rom, kLoRomArea, {.licensee = 0x33});
    WriteExtendedHeader(rom, kLoRomArea,
                        {.makerCode = "8P", .gameCode = "AXYJ", .expansionRamCode = 3});
    const auto window = std::span(rom).subspan<kLoRomArea - 0x10, kHeaderWindowSize>();
    const CartridgeHeader extended = DecodeCartridgeHeader(window, kLoRomArea);
    EXPECT_EQ(extended.makerCode, "8P");
    EXPECT_EQ(extended.gameCode, "AXYJ");
    EXPECT_EQ(extended.expansionRamKbits, 64u);
    rom[kLoRomArea + 0x1A] = 0x01;
    const CartridgeHeader old = DecodeCartridgeHeader(window, kLoRomArea);
    EXPECT_FALSE(old.makerCode || old.gameCode || old.expansionRamKbits);

    EXPECT_EQ(RegionName(0x0E), "International");
    EXPECT_EQ(RegionName(0x14), "Other (variant Z)");
    EXPECT_EQ(RegionName(0x15), "Unknown (ID:0x15)");
}

// A 2 MiB game dumped five times over: past 8 MiB the look-back buffer wraps. Whatever the
// chunks, the hashes are those of the whole file and of the data after the copier header, and
// the checksum is the one the verification computes, the odd tail mirrored.
TEST(ImageScanner, TheSameDetailsWhateverTheChunks) {
    const Bytes once = Game(2 * kMiB, 0x0B);
    Bytes file = SuperWildCardHeader(1280, 0);
    for (int i = 0; i < 5; ++i)
        file.insert(file.end(), once.begin(), once.end());
    EXPECT_EQ(ScanInChunks(file, 512).checksum.diagnosis, (std::vector{D::Matches, D::Overdump}));
    file[512 + 9 * kMiB + 5] ^= 1; // and not quite, with an odd tail
    file.resize(file.size() + 77, 0x42);
    DigestSet whole, data;
    whole.Update(file);
    data.Update(std::span(file).subspan(512));
    const Digests fileDigests = whole.Finish(), dataDigests = data.Finish();
    MemorySource source(file);
    const std::uint16_t verified = ComputeRomChecksum(source, 512);
    const ImageDetails reference = ScanInChunks(file, 512);
    for (const std::size_t chunk : {std::size_t{512}, std::size_t{100003}, std::size_t{4 << 20}}) {
        SCOPED_TRACE(chunk);
        const ImageDetails details = ScanInChunks(file, 512, chunk);
        EXPECT_EQ(details.file.digests, fileDigests);
        EXPECT_EQ(details.data.offset, 512u);
        EXPECT_EQ(details.data.size, file.size() - 512);
        EXPECT_EQ(details.data.digests, dataDigests);
        EXPECT_EQ(details.checksum.computed, verified);
        EXPECT_EQ(details.cartridge, reference.cartridge);
        EXPECT_EQ(details.checksum.diagnosis, reference.checksum.diagnosis);
        EXPECT_EQ(details.checksum.explanation, reference.checksum.explanation);
    }
}

TEST(ImageScanner, SecondOpinionOnThePlaceOfTheHeader) {
    // A homebrew header: no checksum, but the map byte, reset code, title and size fit LoROM;
    // the analysis falls back on the size rule, which takes 24 megabits for HiROM.
    Bytes homebrew = MakeRomData(3 * kMiB, 3);
    WriteInternalHeader(homebrew, kLoRomArea, {.title = "MY GAME", .romSizeCode = 0x0C});
    WriteResetVector(homebrew, kLoRomArea, 0x8123, 0x0123, 0x78);
    Bytes exHiRom = MakeRomData(5 * kMiB, 6);
    WriteInternalHeader(exHiRom, kExHiRomArea,
                        {.title = "EX", .makeup = 0x35, .romSizeCode = 0x0D});
    WriteResetVector(exHiRom, kExHiRomArea, 0x8000, 0x408000, 0x5C);
    FixChecksum(exHiRom, kExHiRomArea);
    for (const auto& [image, place, address, score] :
         {std::tuple{homebrew, HeaderPlace::LoRom, 0x7FC0u, 8},
          std::tuple{exHiRom, HeaderPlace::ExHiRom, 0x40FFC0u, kBestScore}}) {
        const ImageDetails details = ScanInChunks(image, 0, 1 << 20, {.HiRom = true});
        EXPECT_EQ(details.opinion.place, place);
        ASSERT_TRUE(details.cartridge);
        EXPECT_EQ(details.cartridge->address, address);
        EXPECT_EQ(*std::ranges::max_element(details.opinion.scores), score);
        EXPECT_EQ(details.opinion.agreesWithAnalysis, place != HeaderPlace::LoRom);
    }
}

TEST(ImageScanner, ChecksumDiagnosis) {
    const Bytes game = Game(512 * kKiB, 0x09); // 4 megabits
    const auto with = [&](const Bytes& tail) {
        Bytes image = game;
        image.insert(image.end(), tail.begin(), tail.end());
        return image;
    };
    Bytes placeholder = game;
    WriteInternalHeader(placeholder, kLoRomArea, {.title = "GAME", .romSizeCode = 0x09});
    Bytes patched = game;
    patched[0x1234] ^= 0x55;
    Bytes truncated(game.begin(), game.begin() + 256 * kKiB);

    const struct {
        Bytes image;
        std::vector<D> diagnosis;
        std::string_view explained; // a part of the explanation
    } cases[] = {
        {game, {D::Matches}, "The checksum in the header matches the data."},
        {placeholder, {D::Placeholder}, "The checksum 0x0000 and its complement 0x0000 are not"},
        {patched, {D::DataChanged}, "The header holds a valid checksum, 0x"},
        {truncated, {D::DataChanged, D::Underdump}, "The header holds a valid checksum"},
        {with(game),
         {D::Matches, D::Overdump},
         "The checksum in the header matches the first 512 KiB"},
        {with(Bytes(100000, 0xFF)),
         {D::Matches, D::Padded},
         "The 100000 bytes beyond the 512 KiB its size byte declares are all 0xFF: padding, "
         "which can be cut off."},
        {MakeRomData(20000, 1), {D::Underdump}, "The data (20000 bytes) ends before"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        const ChecksumReport report = ScanInChunks(c.image).checksum;
        EXPECT_EQ(report.diagnosis, c.diagnosis);
        EXPECT_NE(report.explanation.find(c.explained), std::string::npos) << report.explanation;
    }
}

TEST(ImageScanner, FilesThatChangeWhileTheyAreReadAreErrors) {
    ImageScanner shrunk(1000, 0);
    shrunk.Feed(Bytes(999));
    EXPECT_THROW(shrunk.Finish({}), Exception);
    ImageScanner grown(1000, 0);
    EXPECT_THROW(grown.Feed(Bytes(1001)), Exception);
    // A copier header and nothing after it: the data is empty, not missing.
    EXPECT_EQ(ScanInChunks(Bytes(512, 7), 512).data.size, 0u);
}

TEST(RomDescription, CodesOutsideAByteAreRangeErrorsInBothFrontEnds) {
    EXPECT_THROW(SpecialChipsText({.RomType = 0x106}), ERangeError);
    EXPECT_THROW(ManufacturerText({.LicenseeCode = -1}), ERangeError);
}

} // namespace
} // namespace quillet
