#include "rom/CartridgeHeader.h"
#include "rom/DetailsDescription.h"
#include "rom/Digests.h"
#include "rom/ImageScanner.h"
#include "rom/RomDescription.h"

#include "tools/RomImageBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string_view>

namespace quillet {
namespace {

using namespace samples;
using Bytes = std::vector<std::uint8_t>;
using D = ChecksumDiagnosis;

constexpr std::size_t kKiB = 1024;
constexpr std::size_t kMiB = 1024 * kKiB;

Bytes Text(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

ImageDetails Scan(const Bytes& file, std::size_t dataOffset = 0, std::size_t chunk = 1 << 20,
                  const SNESImageInfo& info = {}) {
    ImageScanner scanner(file.size(), dataOffset);
    for (std::size_t at = 0; at < file.size(); at += chunk)
        scanner.Feed(std::span(file).subspan(at, std::min(chunk, file.size() - at)));
    return scanner.Finish(info);
}

// A game of `size` bytes with a LoROM header whose checksum is right, and that starts with
// SEI where its reset vector points.
Bytes Game(std::size_t size, std::uint8_t sizeCode, std::uint32_t seed = 5) {
    Bytes rom = MakeRomData(size, seed);
    WriteInternalHeader(rom, kLoRomArea,
                        {.title = "GAME", .romSizeCode = sizeCode, .licensee = 0x01});
    WriteResetVector(rom, kLoRomArea, 0x8000, 0, 0x78);
    FixChecksum(rom, kLoRomArea);
    return rom;
}

TEST(Digests, KnownVectorsAndAnEmptyInput) {
    DigestSet set;
    set.Update(Text("1234"));
    set.Update(Text("56789"));
    const Digests digests = set.Finish();
    EXPECT_EQ(digests.crc32, "cbf43926"); // the check value of the zlib CRC
    EXPECT_EQ(digests.md5, "25f9e794323b453885f5181f1b624d0b");
    EXPECT_EQ(digests.sha1, "f7c3bc1d808e04732adf679965ccc34ca7ae3441");
    EXPECT_EQ(digests.sha256, "15e2b0d3c33891ebb0f1ef609ec419420c20e320ce94c65fbc8c3312448eb225");
    EXPECT_EQ(DigestSet().Finish().sha1, "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_THROW(set.Finish(), Exception);
}

TEST(CartridgeHeader, MapModesChipsAndMemoryOfEachFamily) {
    const struct {
        std::uint8_t map, type, subType;
        const char *mapName, *speed, *chips;
        bool ram, battery;
    } cases[] = {
        {0x20, 0x00, 0, "LoROM", "SlowROM", "", false, false},
        {0x21, 0x02, 0, "HiROM", "SlowROM", "", true, true},
        {0x30, 0x03, 0, "LoROM", "FastROM", "DSP", false, false},
        {0x20, 0x14, 0, "LoROM", "SlowROM", "Super FX (GSU)", true, false},
        {0x20, 0x1A, 0, "LoROM", "SlowROM", "Super FX (GSU)", true, true},
        {0x30, 0x25, 0, "LoROM", "FastROM", "OBC1", true, true},
        {0x23, 0x35, 0, "SA-1", "SlowROM", "SA-1", true, true},
        {0x32, 0x43, 0, "S-DD1", "FastROM", "S-DD1", false, false},
        {0x22, 0x00, 0, "ExLoROM", "SlowROM", "", false, false},
        {0x31, 0x55, 0, "HiROM", "FastROM", "S-RTC", true, true},
        {0x3A, 0xF9, 0x00, "SPC7110", "FastROM", "SPC7110", true, true},
        {0x30, 0xF6, 0x01, "LoROM", "FastROM", "ST010/ST011", false, true},
        {0x30, 0xF5, 0x02, "LoROM", "FastROM", "ST018", true, true},
        {0x20, 0xF3, 0x10, "LoROM", "SlowROM", "CX4", false, false},
        {0x20, 0xF3, 0x07, "LoROM", "SlowROM", "Unknown custom chip (ID:0x07)", false, false},
        {0x20, 0xE3, 0, "LoROM", "SlowROM", "Super Game Boy", false, false},
        {0x20, 0xE5, 0, "LoROM", "SlowROM", "Satellaview", true, true},
        {0x35, 0x00, 0, "ExHiROM", "FastROM", "", false, false},
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

    EXPECT_EQ(RegionName(0x01), "North America (NTSC)");
    EXPECT_EQ(RegionName(0x0F), "Canada (NTSC)");
    EXPECT_EQ(RegionName(0x10), "Brazil (PAL-M)");
    EXPECT_EQ(RegionName(0x11), "Australia (PAL)");
    EXPECT_EQ(RegionName(0x15), "Unknown (ID:0x15)");
}

TEST(ImageScanner, HashesTheFileAndTheDataAfterTheCopierHeader) {
    const Bytes game = Game(256 * kKiB, 0x08);
    const Bytes file = Concatenate(SuperWildCardHeader(32, 0), game);
    const ImageDetails details = Scan(file, 512, 4096);
    DigestSet data, whole;
    data.Update(game);
    whole.Update(file);
    EXPECT_EQ(details.data.offset, 512u);
    EXPECT_EQ(details.data.size, game.size());
    EXPECT_EQ(details.data.digests, data.Finish());
    EXPECT_EQ(details.file.size, file.size());
    EXPECT_EQ(details.file.digests, whole.Finish());
}

TEST(ImageScanner, TheSameDetailsWhateverTheChunks) {
    // Past 8 MiB the look-back buffer wraps: a 2 MiB game dumped five times over.
    Bytes file = Game(2 * kMiB, 0x0B);
    const Bytes once = file;
    for (int i = 0; i < 4; ++i)
        file.insert(file.end(), once.begin(), once.end());
    EXPECT_EQ(Scan(file).checksum.diagnosis, (std::vector{D::Matches, D::Overdump}));
    file[9 * kMiB + 5] ^= 1; // and not quite: no longer an overdump
    const ImageDetails reference = Scan(file, 0, 1 << 20);
    EXPECT_EQ(reference.checksum.diagnosis, (std::vector{D::Matches}));
    for (const std::size_t chunk : {std::size_t{512}, std::size_t{100003}, std::size_t{4 << 20}}) {
        SCOPED_TRACE(chunk);
        const ImageDetails details = Scan(file, 0, chunk);
        EXPECT_EQ(details.file.digests, reference.file.digests);
        EXPECT_EQ(details.cartridge, reference.cartridge);
        EXPECT_EQ(details.opinion.scores, reference.opinion.scores);
        EXPECT_EQ(details.checksum.computed, reference.checksum.computed);
        EXPECT_EQ(details.checksum.explanation, reference.checksum.explanation);
    }
}

TEST(ImageScanner, SecondOpinionOnThePlaceOfTheHeader) {
    // A homebrew header: no checksum, but the map byte, reset code, title and size fit LoROM.
    Bytes homebrew = MakeRomData(3 * kMiB, 3);
    WriteInternalHeader(homebrew, kLoRomArea, {.title = "MY GAME", .romSizeCode = 0x0C});
    WriteResetVector(homebrew, kLoRomArea, 0x8123, 0x0123, 0x78);

    Bytes hiRom = MakeRomData(kMiB, 4);
    WriteInternalHeader(hiRom, kHiRomArea, {.title = "HI", .makeup = 0x31, .romSizeCode = 0x0A});
    WriteResetVector(hiRom, kHiRomArea, 0xC000, 0xC000, 0x18);
    FixChecksum(hiRom, kHiRomArea);

    Bytes exHiRom = MakeRomData(5 * kMiB, 6);
    WriteInternalHeader(exHiRom, kExHiRomArea,
                        {.title = "EX", .makeup = 0x35, .romSizeCode = 0x0D});
    WriteResetVector(exHiRom, kExHiRomArea, 0x8000, 0x408000, 0x5C);
    FixChecksum(exHiRom, kExHiRomArea);

    const struct {
        Bytes image;
        bool analysisHiRom;
        HeaderPlace place;
        std::uint32_t address;
        int score;
        bool agrees;
    } cases[] = {
        // The analysis falls back on the size rule, which takes 24 megabits for HiROM.
        {homebrew, true, HeaderPlace::LoRom, 0x7FC0, 8, false},
        {hiRom, true, HeaderPlace::HiRom, 0xFFC0, kBestScore, true},
        {exHiRom, true, HeaderPlace::ExHiRom, 0x40FFC0, kBestScore, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        const ImageDetails details = Scan(c.image, 0, 1 << 20, {.HiRom = c.analysisHiRom});
        EXPECT_EQ(details.opinion.place, c.place);
        ASSERT_TRUE(details.cartridge);
        EXPECT_EQ(details.cartridge->address, c.address);
        const auto best =
            *std::max_element(details.opinion.scores.begin(), details.opinion.scores.end());
        EXPECT_EQ(best, c.score);
        EXPECT_EQ(details.opinion.agreesWithAnalysis, c.agrees);
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
    // 24 megabits declare 32 and are not short: the sum counts the last 8 twice.
    const Bytes threeQuarters = Game(3 * kMiB, 0x0C);

    const struct {
        Bytes image;
        std::vector<D> diagnosis;
        std::string_view explanationStart;
    } cases[] = {
        {game, {D::Matches}, "The checksum in the header matches the data."},
        {placeholder, {D::Placeholder}, "The checksum 0x0000 and its complement 0x0000 are not"},
        {patched, {D::DataChanged}, "The header holds a valid checksum, 0x"},
        {truncated, {D::DataChanged, D::Underdump}, "The header holds a valid checksum"},
        {threeQuarters, {D::Matches}, "The checksum in the header matches the data."},
        {with(game),
         {D::Matches, D::Overdump},
         "The checksum in the header matches the first 512 KiB"},
        {with(Bytes(100000, 0xFF)), {D::Matches, D::Padded}, "The checksum in the header matches"},
        {with(MakeRomData(64 * kKiB, 9)), {D::Matches}, "The checksum in the header matches"},
        {MakeRomData(20000, 1), {D::Underdump}, "The data (20000 bytes) ends before"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        const ChecksumReport report = Scan(c.image).checksum;
        EXPECT_EQ(report.diagnosis, c.diagnosis);
        EXPECT_TRUE(report.explanation.starts_with(c.explanationStart)) << report.explanation;
    }
    // What the explanation adds for the surplus.
    EXPECT_TRUE(
        Scan(with(Bytes(100000, 0xFF)))
            .checksum.explanation.ends_with(
                "The 100000 bytes beyond the 512 KiB its size byte declares are all 0xFF: padding, "
                "which can be cut off."));
}

TEST(ImageScanner, ComputedChecksumIsTheVerifyChecksum) {
    const Bytes data = MakeRomData(11 * 65536 + 77, 8);
    const Bytes file = Concatenate(Bytes(512, 0), data);
    MemorySource source(file);
    EXPECT_EQ(Scan(file, 512, 3000).checksum.computed, ComputeRomChecksum(source, 512));
}

TEST(ImageScanner, FilesThatChangeWhileTheyAreReadAreErrors) {
    ImageScanner shrunk(1000, 0);
    shrunk.Feed(Bytes(999));
    EXPECT_THROW(shrunk.Finish({}), Exception);
    ImageScanner grown(1000, 0);
    EXPECT_THROW(grown.Feed(Bytes(1001)), Exception);
    // A copier header and nothing after it: the data is empty, not missing.
    EXPECT_EQ(Scan(Bytes(512, 7), 512).data.size, 0u);
}

TEST(DetailsDescription, GroupsInOrderWithPrintableCodesAndTheDatGroupOnlyWhenAsked) {
    Bytes rom = Game(256 * kKiB, 0x08);
    WriteInternalHeader(rom, kLoRomArea, {.title = "X", .romSizeCode = 0x08, .licensee = 0x33});
    WriteExtendedHeader(rom, kLoRomArea, {.makerCode = std::string("A\x01", 2)});
    const ImageDetails details = Scan(rom);
    std::vector<std::string> titles;
    for (const DetailGroup& group : DescribeDetails(details, DatMatch{DatMatchKind::Sha1, "G"}))
        titles.push_back(group.title);
    EXPECT_EQ(titles, (std::vector<std::string>{"Data", "File", "Cartridge", "Opinion", "Checksum",
                                                "Copier", "Dat"}));
    const std::vector<DetailGroup> groups = DescribeDetails(details, std::nullopt);
    // The rows shown while the details are computed name the same groups.
    ASSERT_EQ(groups.size(), kDetailGroups.size());
    for (std::size_t i = 0; i < groups.size(); ++i)
        EXPECT_EQ(groups[i].title, kDetailGroups[i]);
    const auto& cartridge = groups[2].rows;
    EXPECT_NE(std::find(cartridge.begin(), cartridge.end(), DetailRow{"Maker code", "A."}),
              cartridge.end());
}

TEST(RomDescription, CodesOutsideAByteAreRangeErrorsInBothFrontEnds) {
    EXPECT_EQ(SpecialChipsText({.RomType = 6}), "Super FX");
    EXPECT_EQ(CountryText({.CountryCode = 0x0E}), "Unknown (ID:0x0E)");
    EXPECT_THROW(SpecialChipsText({.RomType = 0x106}), ERangeError);
    EXPECT_THROW(ManufacturerText({.LicenseeCode = -1}), ERangeError);
}

} // namespace
} // namespace quillet
