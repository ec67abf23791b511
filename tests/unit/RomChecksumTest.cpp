#include "rom/RomChecksum.h"

#include "tools/RomImageBuilder.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(MirroredRuns, SplitsIntoPowersOfTwoWithRepeats) {
    using R = MirroredRun;
    EXPECT_TRUE(MirroredRuns(0).empty());
    EXPECT_EQ(MirroredRuns(16), (std::vector<R>{{0, 16, 1}}));
    EXPECT_EQ(MirroredRuns(12), (std::vector<R>{{0, 8, 1}, {8, 4, 2}}));
    EXPECT_EQ(MirroredRuns(10), (std::vector<R>{{0, 8, 1}, {8, 2, 4}}));
    EXPECT_EQ(MirroredRuns(11), (std::vector<R>{{0, 8, 1}, {8, 2, 2}, {10, 1, 4}}));
    EXPECT_EQ(MirroredRuns(3 * 1048576), (std::vector<R>{{0, 2097152, 1}, {2097152, 1048576, 2}}));
}

std::uint32_t Sum(const std::vector<std::uint8_t>& data, std::size_t from, std::size_t to) {
    std::uint32_t sum = 0;
    for (std::size_t i = from; i < to; ++i)
        sum += data[i];
    return sum;
}

TEST(RomChecksum, SumsTheDataAfterTheHeaderMirroringItsTail) {
    constexpr std::size_t kUnit = 65536;
    const std::vector<std::uint8_t> data = samples::MakeRomData(11 * kUnit, 3);
    // 11 units fill 16: 8 once, the next 2 twice, the last one four times.
    const auto expected =
        static_cast<std::uint16_t>(Sum(data, 0, 8 * kUnit) + 2 * Sum(data, 8 * kUnit, 10 * kUnit) +
                                   4 * Sum(data, 10 * kUnit, 11 * kUnit));

    MemorySource raw(data);
    EXPECT_EQ(ComputeRomChecksum(raw, 0), expected);

    const auto headered = samples::Concatenate(std::vector<std::uint8_t>(512, 0xFF), data);
    MemorySource withHeader(headered);
    EXPECT_EQ(ComputeRomChecksum(withHeader, 512), expected);

    MemorySource empty(std::span<const std::uint8_t>{});
    EXPECT_EQ(ComputeRomChecksum(empty, 512), 0);
}

} // namespace
} // namespace quillet
