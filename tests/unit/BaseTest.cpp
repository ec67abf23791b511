#include "base/ByteSource.h"
#include "base/Checked.h"
#include "base/Streams.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <limits>

namespace quillet {
namespace {

TEST(Checked, RaisesAtTheEdgesOf32Bits) {
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    EXPECT_THROW(CheckedAdd(kMax, 1), EIntOverflow);
    EXPECT_THROW(CheckedSub(kMin, 1), EIntOverflow);
    EXPECT_EQ(CheckedMul(268435455, 8), 2147483640);
    EXPECT_THROW(CheckedMul(268435456, 8), EIntOverflow);
    EXPECT_THROW(CheckedDiv(1, 0), EDivByZero);
    EXPECT_THROW(CheckedDiv(kMin, -1), EIntOverflow);
    EXPECT_EQ(RangeChecked<std::uint8_t>(255), 255);
    EXPECT_THROW(RangeChecked(101, 0, 100), ERangeError);
}

TEST(FileStream, AFailedReadIsAFailureNotTheEndOfTheFile) {
    testing::TempFolder folder;
    const std::string path = folder.Write("game.sfc", std::vector<std::uint8_t>(1000, 7));
    TFileStream file(path, FileMode::OpenRead);
    std::vector<std::uint8_t> buffer(512);
    EXPECT_EQ(file.Read(buffer.data(), buffer.size()), 512u);
    EXPECT_EQ(file.Read(buffer.data(), buffer.size()), 488u); // the end
    EXPECT_EQ(file.Read(buffer.data(), buffer.size()), 0u);
#ifndef _WIN32
    // A folder opens for reading here, and every read of it fails: as a disk's error would.
    TFileStream folderStream(folder.Path().string(), FileMode::OpenRead);
    EXPECT_THROW(folderStream.Read(buffer.data(), buffer.size()), EReadFailure);
#endif
}

} // namespace
} // namespace quillet
