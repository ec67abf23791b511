#include "base/ByteSource.h"

#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <array>
#include <numeric>

namespace quillet {
namespace {

std::vector<std::uint8_t> Counting(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    std::iota(bytes.begin(), bytes.end(), std::uint8_t{0});
    return bytes;
}

// File and memory sources must behave alike at the end of the data.
void ExpectShortReadsKeepTheRest(ByteSource& source) {
    EXPECT_EQ(source.Size(), 1000u);
    std::array<std::uint8_t, 512> buffer;
    buffer.fill(0xEE);
    EXPECT_EQ(source.ReadAt(900, buffer), 100u);
    EXPECT_EQ(buffer[0], static_cast<std::uint8_t>(900 % 256));
    EXPECT_EQ(buffer[99], static_cast<std::uint8_t>(999 % 256));
    EXPECT_EQ(buffer[100], 0xEE);
    EXPECT_EQ(source.ReadAt(1000, buffer), 0u);
    EXPECT_EQ(source.ReadAt(5000000000ULL, buffer), 0u);
    EXPECT_EQ(buffer[0], static_cast<std::uint8_t>(900 % 256));
    EXPECT_EQ(source.ReadAt(0, buffer), 512u);
    EXPECT_EQ(buffer[511], 511 % 256);
}

TEST(ByteSource, FileAndMemoryReadAlike) {
    const auto bytes = Counting(1000);
    testing::TempFolder folder;
    FileSource file(folder.Write("data.bin", bytes));
    ExpectShortReadsKeepTheRest(file);
    MemorySource memory(bytes);
    ExpectShortReadsKeepTheRest(memory);
}

TEST(ByteSource, OpenFailureNamesFileAndReason) {
    testing::TempFolder folder;
    const std::string missing = (folder.Path() / "nothing.sfc").string();
    try {
        FileSource file(missing);
        FAIL() << "opened a missing file";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message().rfind("Cannot open file " + missing + ": ", 0), 0u) << e.Message();
        EXPECT_GT(e.Message().size(), ("Cannot open file " + missing + ": ").size());
    }
    EXPECT_THROW(FileSource{folder.Path().string()}, EFOpenError);
}

} // namespace
} // namespace quillet
