#include "rom/ImageRepair.h"

#include "base/ByteSource.h"
#include "rom/ImageScanner.h"
#include "rom/RomAnalysis.h"
#include "rom/RomChecksum.h"
#include "tools/RomImageBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>

namespace quillet {
namespace {

using namespace samples;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kKiB = 1024;
constexpr std::size_t kMiB = 1024 * kKiB;

SNESImageInfo Analyse(const Bytes& image) {
    SNESImageInfo info;
    NullSink log;
    MemorySource source(image);
    AnalyseRomImage(source, info, log);
    return info;
}

ImageDetails Details(const Bytes& image) {
    const SNESImageInfo info = Analyse(image);
    ImageScanner scanner(image.size(), static_cast<std::uint64_t>(info.HeaderSize));
    scanner.Feed(image);
    return scanner.Finish(info);
}

// What the verification of the command-line tool computes over a whole file.
std::uint16_t VerifiedSum(const Bytes& image) {
    MemorySource source(image);
    return ComputeRomChecksum(source, static_cast<std::uint64_t>(Analyse(image).HeaderSize));
}

std::uint8_t SizeCodeFor(std::size_t bytes) {
    return static_cast<std::uint8_t>(std::bit_width(std::bit_ceil(bytes / kKiB)) - 1);
}

enum class Pair { Placeholder, Stale };
enum class Copier { None, Swc, Fig, Unknown };

struct ImagePlan {
    std::size_t dataBytes;
    std::size_t area = kLoRomArea;
    std::uint8_t makeup = 0x20;
    Pair pair = Pair::Placeholder;
    Copier copier = Copier::None;
    std::uint8_t cartridgeType = 0x00;
    std::uint8_t sramSizeCode = 0;
    std::uint32_t seed = 1;
};

Bytes Build(const ImagePlan& plan) {
    Bytes rom = MakeRomData(plan.dataBytes, plan.seed);
    WriteInternalHeader(rom, plan.area,
                        {.title = "REPAIR ME",
                         .makeup = plan.makeup,
                         .cartridgeType = plan.cartridgeType,
                         .romSizeCode = SizeCodeFor(plan.dataBytes),
                         .sramSizeCode = plan.sramSizeCode,
                         .licensee = 0x01});
    if (plan.pair == Pair::Stale)
        MarkAreaValid(rom, plan.area, 0x1234); // a valid pair from before the data changed
    const auto blocks = static_cast<std::uint16_t>(plan.dataBytes / 8192);
    switch (plan.copier) {
    case Copier::None:
        return rom;
    case Copier::Swc:
        return Concatenate(SuperWildCardHeader(blocks, 0x00), rom);
    case Copier::Fig:
        return Concatenate(ProFighterHeader(blocks, (plan.makeup & 1) != 0), rom);
    case Copier::Unknown:
        return Concatenate(UnknownCopierHeader(), rom);
    }
    return rom;
}

RepairResult Repair(const Bytes& image, RepairRequest request) {
    return RepairImage(image, request);
}

constexpr RepairRequest kChecksum{.fillChecksum = true};
constexpr RepairRequest kStrip{.stripCopierHeader = true};
constexpr RepairRequest kAdd{.addSwcHeader = true};

// The sum is taken over data mirrored up to a power of two, so the pair's bytes may count
// more than once; cases put the header in runs that count once, twice and four times.
TEST(RepairChecksum, WritesTheSumThatVerificationComputesWithTheNewPairInPlace) {
    const struct {
        const char* name;
        ImagePlan plan;
        bool analysisReadsThere; // whether the analysis looks at the same place
    } cases[] = {
        {"LoROM, 512 KiB", {.dataBytes = 512 * kKiB}, true},
        {"LoROM, the least data a header fits in", {.dataBytes = 32 * kKiB}, true},
        {"LoROM, 12 Mbit mirrored", {.dataBytes = 1536 * kKiB, .pair = Pair::Stale}, true},
        {"LoROM behind a Super Wild Card header",
         {.dataBytes = 1 * kMiB, .copier = Copier::Swc},
         true},
        {"LoROM behind an unknown copier header",
         {.dataBytes = 256 * kKiB, .copier = Copier::Unknown},
         true},
        {"HiROM, 24 Mbit mirrored",
         {.dataBytes = 3 * kMiB, .area = kHiRomArea, .makeup = 0x21},
         true},
        {"HiROM behind a Pro Fighter header",
         {.dataBytes = 2 * kMiB, .area = kHiRomArea, .makeup = 0x31, .copier = Copier::Fig},
         true},
        {"ExHiROM, 48 Mbit: the header in a run counted twice",
         {.dataBytes = 6 * kMiB, .area = kExHiRomArea, .makeup = 0x35, .pair = Pair::Stale},
         false},
        {"ExHiROM, 40 Mbit: the header in a run counted four times",
         {.dataBytes = 5 * kMiB, .area = kExHiRomArea, .makeup = 0x35},
         false},
        {"8 MiB, the most there is",
         {.dataBytes = 8 * kMiB, .area = kHiRomArea, .makeup = 0x21, .seed = 9},
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes image = Build(c.plan);
        const RepairResult result = Repair(image, kChecksum);
        ASSERT_TRUE(result.checksum);
        const ChecksumFill& fill = *result.checksum;
        EXPECT_TRUE(result.changed);
        EXPECT_EQ(fill.address, c.plan.area);
        EXPECT_EQ(fill.checksum ^ fill.complement, 0xFFFF);

        // Only the pair changed.
        const std::size_t pairAt = image.size() - c.plan.dataBytes + c.plan.area + 0x1C;
        ASSERT_EQ(result.image.size(), image.size());
        for (std::size_t i = 0; i < image.size(); ++i) {
            if (i < pairAt || i >= pairAt + 4) {
                ASSERT_EQ(result.image[i], image[i]) << "at " << i;
            }
        }

        EXPECT_EQ(VerifiedSum(result.image), fill.checksum);
        const ImageDetails details = Details(result.image);
        ASSERT_TRUE(details.cartridge);
        EXPECT_EQ(details.cartridge->address, c.plan.area);
        EXPECT_EQ(details.checksum.diagnosis.front(), ChecksumDiagnosis::Matches);
        const SNESImageInfo info = Analyse(result.image);
        EXPECT_EQ(info.Checksum == fill.checksum, c.analysisReadsThere);
        EXPECT_EQ(result.notes.size(), c.analysisReadsThere ? 0u : 1u);

        const RepairResult again = Repair(result.image, kChecksum);
        EXPECT_FALSE(again.changed);
        EXPECT_FALSE(again.checksum->Changes());
        EXPECT_EQ(again.image, result.image);
    }
}

TEST(RepairChecksum, ARightChecksumStaysAndSoDoesOneRightForTheDeclaredSize) {
    Bytes game = MakeRomData(512 * kKiB, 3);
    WriteInternalHeader(game, kLoRomArea,
                        {.title = "OVERDUMP", .romSizeCode = 0x09, .licensee = 0x01});
    FixChecksum(game, kLoRomArea);
    const RepairResult right = Repair(game, kChecksum);
    EXPECT_FALSE(right.changed);
    EXPECT_FALSE(right.checksum->matchesDeclaredBytes);

    // Dumped twice over: the checksum is the cartridge's, the surplus is what is wrong.
    Bytes twice = game;
    twice.insert(twice.end(), game.begin(), game.end());
    const RepairResult overdump = Repair(twice, kChecksum);
    EXPECT_FALSE(overdump.changed);
    EXPECT_EQ(overdump.checksum->matchesDeclaredBytes, 512 * kKiB);
    EXPECT_NE(VerifiedSum(twice), overdump.checksum->checksum);
}

TEST(RepairChecksum, NotesWhatTheAnalysisWillMakeOfTheResult) {
    // Declares 2 MiB and holds a quarter of that.
    const RepairResult underdump =
        Repair(Build({.dataBytes = 512 * kKiB}), kChecksum); // declares what it holds
    EXPECT_TRUE(underdump.notes.empty());
    Bytes shortImage = Build({.dataBytes = 512 * kKiB});
    shortImage[kLoRomArea + 0x17] = 0x0B;
    const RepairResult missing = Repair(shortImage, kChecksum);
    ASSERT_EQ(missing.notes.size(), 1u);
    EXPECT_EQ(missing.notes[0], "The data is shorter than its header declares: the checksum now "
                                "matches the data as it is, not the whole cartridge.");

    // A small HiROM game with no checksum reads as LoROM by its size until it has one.
    const RepairResult hiRom =
        Repair(Build({.dataBytes = 1 * kMiB, .area = kHiRomArea, .makeup = 0x21}), kChecksum);
    EXPECT_TRUE(Analyse(hiRom.image).HiRom);
    ASSERT_EQ(hiRom.notes.size(), 1u);
    EXPECT_EQ(hiRom.notes[0], "The analysis now reads the image as HiROM, not as LoROM.");

    const RepairResult exHiRom =
        Repair(Build({.dataBytes = 6 * kMiB, .area = kExHiRomArea, .makeup = 0x35}), kChecksum);
    ASSERT_EQ(exHiRom.notes.size(), 1u);
    EXPECT_TRUE(exHiRom.notes[0].starts_with(
        "The analysis looks for the checksum at 0x00FFC0 (HiROM), not at this image's header "
        "at 0x40FFC0 (ExHiROM), so its verification still compares 0x"))
        << exHiRom.notes[0];
}

// A LoROM header whose reset vector points at its own complement, next to a HiROM place that
// scores one point less: the new complement is no opcode, so the LoROM place would lose the
// points of its first instruction and the HiROM place would win.
TEST(RepairChecksum, RefusedWhenTheNewPairWouldMakeAnotherPlaceTheHeader) {
    Bytes rom = MakeRomData(128 * kKiB, 21);
    WriteInternalHeader(rom, kLoRomArea,
                        {.title = "LOROM", .makeup = 0x20, .romSizeCode = 0x07, .licensee = 1});
    MarkAreaValid(rom, kLoRomArea, 0x0087); // complement 0xFF78: SEI where the vector points
    WriteResetVector(rom, kLoRomArea, 0x8000 + kLoRomArea + 0x1C, kLoRomArea + 0x1C, 0x78);
    WriteInternalHeader(rom, kHiRomArea,
                        {.title = "HIROM", .makeup = 0x21, .romSizeCode = 0x00, .licensee = 1});
    MarkAreaValid(rom, kHiRomArea, 0x4321);
    WriteResetVector(rom, kHiRomArea, 0x9000, 0x9000, 0x78);
    const ImageDetails before = Details(rom);
    ASSERT_EQ(before.opinion.place, HeaderPlace::LoRom);
    ASSERT_EQ(before.opinion.scores[0], before.opinion.scores[1] + 1);

    try {
        Repair(rom, kChecksum);
        FAIL() << "repaired";
    } catch (const ERepairRefused& refusal) {
        EXPECT_EQ(refusal.Reason(), RepairRefusal::OpinionWouldMove);
        EXPECT_EQ(refusal.Message(), "a checksum written at 0x007FC0 (LoROM) would make "
                                     "0x00FFC0 (HiROM) look more like the header, so the image "
                                     "would still not verify");
    }
}

TEST(RepairImage, RefusalsSayWhyAndChangeNothing) {
    Bytes random = MakeRomData(64 * kKiB, 4);
    Bytes largest = Build({.dataBytes = 8 * kMiB, .seed = 2});
    Bytes tooLarge = largest;
    tooLarge.resize(8 * kMiB + 8 * kKiB);
    const struct {
        const char* name;
        Bytes image;
        RepairRequest request;
        RepairRefusal reason;
        const char* message;
    } cases[] = {
        {"more than a cartridge holds", tooLarge, kChecksum, RepairRefusal::TooLarge,
         "too large: 8396800 bytes of data, more than the 8 MiB a cartridge can hold"},
        {"more than a cartridge holds, behind a copier header",
         Concatenate(SuperWildCardHeader(0, 0), tooLarge), kStrip, RepairRefusal::TooLarge,
         "too large: 8396800 bytes of data"},
        {"no copier header to strip", Build({.dataBytes = 64 * kKiB}), kStrip,
         RepairRefusal::NoCopierHeader,
         "no copier header to remove: the size is not 512 bytes over a whole number of 8 KiB "
         "blocks"},
        {"a header to add where one is", Build({.dataBytes = 64 * kKiB, .copier = Copier::Fig}),
         kAdd, RepairRefusal::HasCopierHeader,
         "already has a 512-byte copier header (Profighter (FIG))"},
        {"a header in front of data that is not in whole blocks", Bytes(40000, 0xEA), kAdd,
         RepairRefusal::NotWholeBlocks,
         "40000 bytes of data, not a whole number of 8 KiB blocks: a copier header in front of "
         "them would not be recognised"},
        {"a header in front of nothing", Bytes{}, kAdd, RepairRefusal::NotWholeBlocks,
         "no data to put a copier header in front of"},
        {"a checksum for data shorter than a header's place", Bytes(600, 0xEA), kChecksum,
         RepairRefusal::NoInternalHeader,
         "no internal header: the data (600 bytes) ends before its first place, 0x007FC0 "
         "(LoROM)"},
        {"a checksum where nothing looks like a header", random, kChecksum,
         RepairRefusal::NoInternalHeader,
         "no internal header at 0x007FC0 (LoROM), the likeliest place: neither a title nor a "
         "map-mode byte is there, and a checksum written there could overwrite game data"},
        {"a copier header alone, replaced",
         Concatenate(SuperWildCardHeader(0, 0), Bytes{}),
         {.stripCopierHeader = true, .addSwcHeader = true},
         RepairRefusal::NotWholeBlocks,
         "no data to put a copier header in front of"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            Repair(c.image, c.request);
            ADD_FAILURE() << "repaired";
        } catch (const ERepairRefused& refusal) {
            EXPECT_EQ(refusal.Reason(), c.reason);
            EXPECT_TRUE(refusal.Message().starts_with(c.message)) << refusal.Message();
        }
    }
    // Exactly 8 MiB is a cartridge's worth.
    EXPECT_NO_THROW(Repair(Concatenate(SuperWildCardHeader(1024, 0), largest), kStrip));
}

TEST(RepairCopierHeader, AddedHeadersReadBackAsSuperWildCardWithTheSameMap) {
    const struct {
        const char* name;
        ImagePlan plan;
        RepairRequest request;
        std::uint8_t modeByte;
        const char* formatBefore; // of the header taken off, if any
    } cases[] = {
        {"LoROM without SRAM", {.dataBytes = 512 * kKiB}, kAdd, 0x0C, nullptr},
        {"LoROM with 16 kbit",
         {.dataBytes = 1 * kMiB, .cartridgeType = 0x02, .sramSizeCode = 1},
         kAdd,
         0x08,
         nullptr},
        {"LoROM with 64 kbit",
         {.dataBytes = 1 * kMiB, .cartridgeType = 0x02, .sramSizeCode = 3},
         kAdd,
         0x04,
         nullptr},
        {"LoROM with 256 kbit, a Super FX",
         {.dataBytes = 1 * kMiB, .cartridgeType = 0x1A, .sramSizeCode = 5},
         kAdd,
         0x00,
         nullptr},
        {"an SRAM size but no RAM in the type",
         {.dataBytes = 1 * kMiB, .sramSizeCode = 3},
         kAdd,
         0x0C,
         nullptr},
        {"HiROM",
         {.dataBytes = 2 * kMiB, .area = kHiRomArea, .makeup = 0x21, .pair = Pair::Stale},
         kAdd,
         0x3C,
         nullptr},
        {"HiROM with SRAM, from a Pro Fighter header",
         {.dataBytes = 2 * kMiB,
          .area = kHiRomArea,
          .makeup = 0x21,
          .pair = Pair::Stale,
          .copier = Copier::Fig,
          .cartridgeType = 0x02,
          .sramSizeCode = 3},
         {.stripCopierHeader = true, .addSwcHeader = true},
         0x34,
         "Profighter (FIG)"},
        {"replacing an unknown header",
         {.dataBytes = 256 * kKiB, .pair = Pair::Stale, .copier = Copier::Unknown},
         {.stripCopierHeader = true, .addSwcHeader = true},
         0x0C,
         "Unknown 512-header based Image"},
        {"ExHiROM, as mode 21",
         {.dataBytes = 6 * kMiB, .area = kExHiRomArea, .makeup = 0x35},
         kAdd,
         0x3C,
         nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes image = Build(c.plan);
        const SNESImageInfo before = Analyse(image);
        const RepairResult result = Repair(image, c.request);
        ASSERT_TRUE(result.added);
        EXPECT_EQ(result.added->modeByte, c.modeByte);
        EXPECT_EQ(result.stripped.has_value(), c.formatBefore != nullptr);
        if (c.formatBefore) {
            EXPECT_EQ(result.stripped->format, c.formatBefore);
        }

        const SNESImageInfo after = Analyse(result.image);
        EXPECT_EQ(after.FileFormat, "Super Wild Card (SWC)");
        EXPECT_EQ(after.CopierBlocks, static_cast<std::int32_t>(c.plan.dataBytes / 8192));
        EXPECT_EQ(after.HiRom, before.HiRom);
        EXPECT_EQ(after.SwcSramMode21, before.HiRom);
        EXPECT_EQ(after.SwcDramMode21, before.HiRom);
        EXPECT_FALSE(after.SwcMode0); // the game starts at its reset vector
        EXPECT_EQ(Details(result.image).data.digests.sha1, Details(image).data.digests.sha1);

        // Taken off again, the data is all that is left.
        const RepairResult stripped = Repair(result.image, kStrip);
        EXPECT_EQ(stripped.image,
                  Bytes(image.end() - static_cast<std::ptrdiff_t>(c.plan.dataBytes), image.end()));
    }
}

TEST(RepairCopierHeader, NotesWhenTheMapWasTheHeadersOrTheOpinionDiffers) {
    // Without checksums only the Pro Fighter header said HiROM.
    const RepairResult fig = Repair(
        Build({.dataBytes = 1 * kMiB, .area = kHiRomArea, .makeup = 0x21, .copier = Copier::Fig}),
        kStrip);
    ASSERT_EQ(fig.notes.size(), 1u);
    EXPECT_EQ(fig.notes[0], "The analysis now reads the image as LoROM, not as HiROM.");

    // Both places hold valid pairs: the analysis goes by the size, the opinion by the header.
    Bytes both = Build({.dataBytes = 3 * kMiB, .pair = Pair::Stale});
    MarkAreaValid(both, kHiRomArea, 0x4321);
    const RepairResult added = Repair(both, kAdd);
    EXPECT_EQ(added.added->modeByte, 0x3C);
    ASSERT_EQ(added.notes.size(), 1u);
    EXPECT_EQ(added.notes[0], "The mode bits follow the analysis, which reads the image as HiROM; "
                              "the second opinion puts the header at 0x007FC0 (LoROM).");
}

// A HiROM game without a checksum reads as LoROM by its size; once it has one, as HiROM, and
// the mode bits of a header added with it must say so.
TEST(RepairImage, ChecksumAndHeadersTogether) {
    const Bytes image = Build(
        {.dataBytes = 1536 * kKiB, .area = kHiRomArea, .makeup = 0x21, .copier = Copier::Unknown});
    ASSERT_FALSE(Analyse(image).HiRom);
    const RepairResult result =
        Repair(image, {.stripCopierHeader = true, .fillChecksum = true, .addSwcHeader = true});
    EXPECT_TRUE(result.stripped && result.checksum && result.added);
    const SNESImageInfo after = Analyse(result.image);
    EXPECT_EQ(after.FileFormat, "Super Wild Card (SWC)");
    EXPECT_TRUE(after.HiRom);
    EXPECT_TRUE(after.SwcSramMode21 && after.SwcDramMode21);
    EXPECT_EQ(VerifiedSum(result.image), result.checksum->checksum);
    const RepairResult raw = Repair(image, {.stripCopierHeader = true, .fillChecksum = true});
    EXPECT_EQ(raw.image, Bytes(result.image.begin() + 512, result.image.end()));
}

} // namespace
} // namespace quillet
