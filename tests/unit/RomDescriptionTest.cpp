#include "rom/RomDescription.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

SNESImageInfo Sized(std::int32_t fileBytes, std::int32_t headerBytes, std::int32_t romMbits = 8) {
    SNESImageInfo info;
    info.FileSizeBytes = fileBytes;
    info.HeaderSize = headerBytes;
    info.RomSizeMbits = romMbits;
    return info;
}

TEST(RomDescription, RomSizeCountsTheDataWithoutCopierHeader) {
    EXPECT_EQ(RomSizeText(Sized(1049088, 512), '.'), "8Mbits (8Mbits actual size)");
    EXPECT_EQ(RomSizeText(Sized(1048576 + 65536, 0), '.'), "8Mbits (8.5Mbits actual size)");
    EXPECT_EQ(RomSizeText(Sized(100, 0, -2147483647 - 1), ','),
              "-2147483648Mbits (0,000762939453125Mbits actual size)");
}

TEST(RomDescription, FileSizeInBytesKilobytesAndRoundedMegabytes) {
    EXPECT_EQ(FileSizeText(Sized(1048576, 0), '.'), "1048576 bytes (1024 KB, 1 MB)");
    EXPECT_EQ(FileSizeText(Sized(1572864, 0), '.'), "1572864 bytes (1536 KB, 1.5 MB)");
    EXPECT_EQ(FileSizeText(Sized(1572864, 0), ','), "1572864 bytes (1536 KB, 1,5 MB)");
    // 12.5 and 37.5 hundredths: halves go to the even neighbour.
    EXPECT_EQ(FileSizeText(Sized(131072, 0), '.'), "131072 bytes (128 KB, 0.12 MB)");
    EXPECT_EQ(FileSizeText(Sized(393216, 0), '.'), "393216 bytes (384 KB, 0.38 MB)");
    EXPECT_EQ(FileSizeText(Sized(1023, 0), '.'), "1023 bytes (0 KB, 0 MB)");
    // Large files do not overflow on the way to the megabytes.
    EXPECT_EQ(FileSizeText(Sized(2147483647, 0), '.'), "2147483647 bytes (2097151 KB, 2048 MB)");
}

TEST(RomDescription, SramShownOnlyForCartridgesWithSram) {
    SNESImageInfo info;
    info.SramSizeKbits = 64;
    for (const int type : {0, 1, 3, 4, 6, 7}) {
        info.RomType = type;
        EXPECT_EQ(SramSizeText(info), "(None)") << type;
    }
    for (const int type : {2, 5}) {
        info.RomType = type;
        EXPECT_EQ(SramSizeText(info), "64kbits") << type;
    }
}

} // namespace
} // namespace quillet
