#include "rom/ImageRepair.h"

#include "base/ByteSource.h"
#include "rom/RomAnalysis.h"
#include "rom/RomChecksum.h"
#include "tests/support/GameImages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>

namespace quillet {
namespace {

using namespace samples;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kKiB = 1024;
constexpr std::size_t kMiB = 1024 * kKiB;

// What the verification of the command-line tool computes over a whole file.
std::uint16_t VerifiedSum(const Bytes& image) {
    MemorySource source(image);
    return ComputeRomChecksum(source,
                              static_cast<std::uint64_t>(AnalyseImageBytes(image).HeaderSize));
}

std::uint8_t SizeCodeFor(std::size_t bytes) {
    return static_cast<std::uint8_t>(std::bit_width(std::bit_ceil(bytes / kKiB)) - 1);
}

enum class Copier { None, Swc, Fig };

struct ImagePlan {
    std::size_t dataBytes;
    std::size_t area = kLoRomArea;
    std::uint8_t makeup = 0x20;
    bool stalePair = false; // a valid pair from before the data changed, or a placeholder
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
    if (plan.stalePair)
        MarkAreaValid(rom, plan.area, 0x1234);
    const auto blocks = static_cast<std::uint16_t>(plan.dataBytes / 8192);
    switch (plan.copier) {
    case Copier::None:
        return rom;
    case Copier::Swc:
        return Concatenate(SuperWildCardHeader(blocks, 0x00), rom);
    case Copier::Fig:
        return Concatenate(ProFighterHeader(blocks, (plan.makeup & 1) != 0), rom);
    }
    return rom;
}

constexpr RepairRequest kChecksum{.fillChecksum = true};
constexpr RepairRequest kStrip{.stripCopierHeader = true};
constexpr RepairRequest kAdd{.addSwcHeader = true};

// The sum is taken over data mirrored up to a power of two, so the pair's bytes may count
// more than once; cases put the header in runs that count once, twice and four times.
TEST(RepairChecksum, WritesTheSumThatVerificationComputesWithTheNewPairInPlace) {
    const std::pair<const char*, ImagePlan> cases[] = {
        {"LoROM, the least a header fits in", {.dataBytes = 32 * kKiB}},
        {"LoROM, 12 Mbit", {.dataBytes = 1536 * kKiB, .stalePair = true}},
        {"LoROM, SWC", {.dataBytes = 1 * kMiB, .copier = Copier::Swc}},
        // The header in a run counted twice, then four times. The analysis looks elsewhere.
        {"ExHiROM, 48 Mbit",
         {.dataBytes = 6 * kMiB, .area = kExHiRomArea, .makeup = 0x35, .stalePair = true}},
        {"ExHiROM, 40 Mbit", {.dataBytes = 5 * kMiB, .area = kExHiRomArea, .makeup = 0x35}},
        // The most there is.
        {"8 MiB", {.dataBytes = 8 * kMiB, .area = kHiRomArea, .makeup = 0x21, .seed = 9}},
    };
    for (const auto& [name, plan] : cases) {
        SCOPED_TRACE(name);
        const Bytes image = Build(plan);
        const RepairResult result = RepairImage(image, kChecksum);
        ASSERT_TRUE(result.checksum);
        const ChecksumFill& fill = *result.checksum;
        EXPECT_TRUE(result.changed);
        EXPECT_EQ(fill.address, plan.area);
        EXPECT_EQ(fill.checksum ^ fill.complement, 0xFFFF);
        // Only the pair changed.
        const std::size_t pairAt = image.size() - plan.dataBytes + plan.area + 0x1C;
        Bytes expected = image;
        std::copy_n(result.image.begin() + static_cast<std::ptrdiff_t>(pairAt), 4,
                    expected.begin() + static_cast<std::ptrdiff_t>(pairAt));
        EXPECT_TRUE(result.image == expected);

        EXPECT_EQ(VerifiedSum(result.image), fill.checksum);
        // Where the analysis looks elsewhere, a note says its verification still fails.
        const bool analysisReadsThere = plan.area != kExHiRomArea;
        EXPECT_EQ(AnalyseImageBytes(result.image).Checksum == fill.checksum, analysisReadsThere);
        EXPECT_EQ(result.notes.size(), analysisReadsThere ? 0u : 1u);

        const RepairResult again = RepairImage(result.image, kChecksum);
        EXPECT_FALSE(again.changed || again.checksum->Changes());
        EXPECT_EQ(again.image, result.image);
    }
}

// A checksum written for data shorter than its header declares is noted; one right for the
// declared size of data dumped twice over stays, since the surplus is what is wrong.
TEST(RepairChecksum, DataOfAnotherSizeThanItsHeaderDeclares) {
    Bytes game = Build({.dataBytes = 512 * kKiB});
    Bytes shortImage = game;
    shortImage[kLoRomArea + 0x17] = 0x0B; // declares 2 MiB
    const RepairResult missing = RepairImage(shortImage, kChecksum);
    ASSERT_EQ(missing.notes.size(), 1u);
    EXPECT_EQ(missing.notes[0], "The data is shorter than its header declares: the checksum now "
                                "matches the data as it is, not the whole cartridge.");

    FixChecksum(game, kLoRomArea);
    EXPECT_FALSE(RepairImage(game, kChecksum).checksum->matchesDeclaredBytes);
    Bytes twice = game;
    twice.insert(twice.end(), game.begin(), game.end());
    const RepairResult overdump = RepairImage(twice, kChecksum);
    EXPECT_FALSE(overdump.changed);
    EXPECT_EQ(overdump.checksum->matchesDeclaredBytes, 512 * kKiB);
    EXPECT_NE(VerifiedSum(twice), overdump.checksum->checksum);
}

// A LoROM header whose reset vector points at its own complement, next to a HiROM place that
// scores one point less: the new complement is no opcode, so the LoROM place would lose the
// points of its first instruction and the HiROM place would win.
Bytes ChecksumWouldMoveTheHeader() {
    Bytes rom = MakeRomData(128 * kKiB, 21);
    WriteInternalHeader(rom, kLoRomArea,
                        {.title = "LOROM", .makeup = 0x20, .romSizeCode = 0x07, .licensee = 1});
    MarkAreaValid(rom, kLoRomArea, 0x0087); // complement 0xFF78: SEI where the vector points
    WriteResetVector(rom, kLoRomArea, 0x8000 + kLoRomArea + 0x1C, kLoRomArea + 0x1C, 0x78);
    WriteInternalHeader(rom, kHiRomArea,
                        {.title = "HIROM", .makeup = 0x21, .romSizeCode = 0x00, .licensee = 1});
    MarkAreaValid(rom, kHiRomArea, 0x4321);
    WriteResetVector(rom, kHiRomArea, 0x9000, 0x9000, 0x78);
    return rom;
}

// The words of a refusal are the tool's tests' business; here, the reason.
TEST(RepairImage, RefusalsSayWhyAndChangeNothing) {
    Bytes largest = Build({.dataBytes = 8 * kMiB, .seed = 2});
    Bytes tooLarge = largest;
    tooLarge.resize(8 * kMiB + 8 * kKiB);
    using R = RepairRefusal;
    const struct {
        Bytes image;
        RepairRequest request;
        RepairRefusal reason;
    } cases[] = {
        // More than a cartridge holds, also behind a copier header.
        {tooLarge, kChecksum, R::TooLarge},
        {Concatenate(SuperWildCardHeader(0, 0), tooLarge), kStrip, R::TooLarge},
        {Build({.dataBytes = 64 * kKiB}), kStrip, R::NoCopierHeader},
        {Build({.dataBytes = 64 * kKiB, .copier = Copier::Fig}), kAdd, R::HasCopierHeader},
        {Bytes(40000, 0xEA), kAdd, R::NotWholeBlocks},
        // Data too short for a header, or no title nor map byte where one would go.
        {Bytes(600, 0xEA), kChecksum, R::NoInternalHeader},
        {MakeRomData(64 * kKiB, 4), kChecksum, R::NoInternalHeader},
        {ChecksumWouldMoveTheHeader(), kChecksum, R::OpinionWouldMove},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        try {
            RepairImage(c.image, c.request);
            ADD_FAILURE() << "repaired";
        } catch (const ERepairRefused& refusal) {
            EXPECT_EQ(refusal.Reason(), c.reason) << refusal.Message();
        }
    }
    // Exactly 8 MiB is a cartridge's worth.
    EXPECT_NO_THROW(RepairImage(Concatenate(SuperWildCardHeader(1024, 0), largest), kStrip));
}

// The mode byte says the map and how much SRAM. A header replaced is the tool's repair test.
TEST(RepairCopierHeader, AddedHeadersReadBackAsSuperWildCardWithTheSameMap) {
    const std::pair<ImagePlan, std::uint8_t> cases[] = {
        {{.dataBytes = 512 * kKiB}, 0x0C},
        {{.dataBytes = 1 * kMiB, .cartridgeType = 0x02, .sramSizeCode = 1}, 0x08}, // 16 kbit
        {{.dataBytes = 1 * kMiB, .cartridgeType = 0x1A, .sramSizeCode = 5}, 0x00}, // Super FX
        {{.dataBytes = 1 * kMiB, .sramSizeCode = 3}, 0x0C}, // an SRAM size, no RAM in the type
        {{.dataBytes = 6 * kMiB, .area = kExHiRomArea, .makeup = 0x35}, 0x3C}, // as mode 21
    };
    for (const auto& [plan, modeByte] : cases) {
        SCOPED_TRACE(static_cast<int>(modeByte));
        const Bytes image = Build(plan);
        const SNESImageInfo before = AnalyseImageBytes(image);
        const RepairResult result = RepairImage(image, kAdd);
        ASSERT_TRUE(result.added);
        EXPECT_EQ(result.added->modeByte, modeByte);

        const SNESImageInfo after = AnalyseImageBytes(result.image);
        EXPECT_EQ(after.FileFormat, "Super Wild Card (SWC)");
        EXPECT_EQ(after.CopierBlocks, static_cast<std::int32_t>(plan.dataBytes / 8192));
        EXPECT_EQ(after.HiRom, before.HiRom);
        EXPECT_EQ(after.SwcSramMode21, before.HiRom);
        EXPECT_EQ(after.SwcDramMode21, before.HiRom);
        EXPECT_FALSE(after.SwcMode0); // the game starts at its reset vector
        // Taken off again, the data is all that is left.
        EXPECT_EQ(RepairImage(result.image, kStrip).image,
                  Bytes(image.end() - static_cast<std::ptrdiff_t>(plan.dataBytes), image.end()));
    }
}

} // namespace
} // namespace quillet
