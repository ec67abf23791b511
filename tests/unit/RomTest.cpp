#include "rom/RomAnalysis.h"
#include "rom/RomChecksum.h"
#include "rom/RomDescription.h"

#include "tests/support/FakeSources.h"
#include "tests/support/TempFolder.h"
#include "tools/RomImageBuilder.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

using namespace samples;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kMbit = 131072;
constexpr std::size_t kMiB = 1048576;

SNESImageInfo Analyse(const Bytes& image) {
    MemorySource source(image);
    SNESImageInfo info;
    StringSink trace;
    EXPECT_TRUE(AnalyseRomImage(source, info, trace));
    return info;
}

// ROM data with an internal header in each area, titled LO and HI; a valid area's complement
// and checksum add up, an invalid one's are 1 and 2, or 3 and 4.
Bytes Rom(std::size_t size, bool loValid, bool hiValid,
          const InternalHeader& lo = {.title = "LO", .complement = 1, .checksum = 2},
          const InternalHeader& hi = {
              .title = "HI", .makeup = 0x21, .complement = 3, .checksum = 4}) {
    Bytes rom = MakeRomData(size, 7);
    WriteInternalHeader(rom, kLoRomArea, lo);
    WriteInternalHeader(rom, kHiRomArea, hi);
    if (loValid)
        MarkAreaValid(rom, kLoRomArea, 0x1234);
    if (hiValid)
        MarkAreaValid(rom, kHiRomArea, 0x5678);
    return rom;
}

Bytes Swc(const Bytes& rom) {
    return Concatenate(SuperWildCardHeader(0, 0), rom);
}

Bytes Fig(const Bytes& rom, bool hiRom) {
    return Concatenate(ProFighterHeader(0, hiRom), rom);
}

const std::string kRaw = "No header -- Raw Image\r\n";
const std::string kUnknown = "Unidentifiable 512-byte header Format\r\n";
const std::string kUndecided = "Couldn't determine Hi/LoROM.  Using Size as indicator\r\n";
const std::string kNoSums = "Checksums are bad (0,0,0,0) Using Size to determine Rom type\r\n";
const std::string kNotSnes = "Probably not SNES ROM image.\r\n";

TEST(CopierHeader, FormatMemoryMapAndVerdictOfEachKindOfImage) {
    Bytes offGrid = Rom(kMbit, true, false);
    offGrid.resize(kMbit + 100);
    const struct {
        Bytes image;
        const char* format;
        bool hiRom;
        int status;
        std::string errors;
    } cases[] = {
        // Raw images: 100 bytes off the 8 KiB grid, empty.
        {offGrid, kFormatRaw, false, 3,
         kRaw + "Header Size is incorrect (Header is 100bytes, should be 0 or 512)\r\n"},
        {{}, kFormatRaw, false, 3, kRaw + kNoSums + kNotSnes},
        // An unknown copier header before ROM data.
        {Concatenate(UnknownCopierHeader(), Rom(kMbit, true, false)), kFormatUnknownHeader, false,
         2, kUnknown},
        // Bytes 2, 6 and 7 are zero as in a Pro Fighter header: the signature wins.
        {Swc(Rom(kMbit, false, true)), kFormatSwc, true, 1, ""},
        // A valid area beats the Pro Fighter hint, LoROM first; the hint decides when neither is.
        {Fig(Rom(kMbit, false, true), false), kFormatFig, true, 1, ""},
        {Fig(Rom(4 * kMbit, false, false), true), kFormatFig, true, 1, ""},
        // 16 megabits plus a copier header is still LoROM; 24 is not.
        {Swc(Rom(2 * kMiB, true, true)), kFormatSwc, false, 2, kUndecided},
        {Swc(Rom(3 * kMiB, true, true)), kFormatSwc, true, 2, kUndecided},
        // The makeup note comes last, without a line break.
        {Rom(kMbit, true, false, {.title = "LO", .makeup = 0x31}), kFormatRaw, false, 2,
         kRaw + "Inconsistant ROM Makeup byte."}};
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        const SNESImageInfo info = Analyse(c.image);
        const std::string_view format = c.format;
        EXPECT_EQ(info.FileFormat, format);
        EXPECT_EQ(info.FileSizeBytes, static_cast<std::int32_t>(c.image.size()));
        EXPECT_EQ(info.HeaderSize, format == kFormatRaw ? 0 : 512);
        EXPECT_EQ(info.CopierHeaderKnown, format == kFormatSwc || format == kFormatFig);
        EXPECT_EQ(info.HiRom, c.hiRom);
        EXPECT_EQ(info.Status, c.status);
        EXPECT_EQ(info.Errors, c.errors);
        if (c.image.size() > 512) {
            EXPECT_EQ(info.Name, (c.hiRom ? "HI" : "LO") + std::string(19, ' '));
        }
    }
}

TEST(Decoding, SizeCodesWrapAsThe32BitShiftDoes) {
    const SNESImageInfo info =
        Analyse(Rom(kMbit, true, false, {.romSizeCode = 6, .sramSizeCode = 29, .version = 255}));
    EXPECT_EQ(std::pair(info.RomSizeMbits, info.SramSizeKbits), std::pair(INT32_MIN, 1));
    EXPECT_DOUBLE_EQ(info.Version, 3.55);
}

TEST(ShortFiles, MissingAreasReadAsZerosAndTheHiRomAreaKeepsTheFirstBlock) {
    // Bytes 0x1C to 0x1F form a valid pair: the HiROM area, never reached, still holds the
    // file's first bytes, so it is the one found valid.
    Bytes image(64, 'Q');
    image[0x1C] = image[0x1D] = 0x00;
    image[0x1E] = image[0x1F] = 0xFF;
    image[0x15] = 0x21;
    // From a file, whose reads past the end must leave the buffer alone as memory's do.
    testing::TempFolder folder;
    SNESImageInfo info;
    StringSink trace;
    EXPECT_TRUE(AnalyseRomImage(folder.Write("short.smc", image), info, trace));
    EXPECT_TRUE(info.HiRom);
    EXPECT_EQ(info.Name, std::string(21, 'Q'));
    EXPECT_EQ(info.Errors,
              kRaw + "Header Size is incorrect (Header is 64bytes, should be 0 or 512)\r\n");
}

TEST(LargeFiles, SizeRuleOverflowsFrom256MiBValidAreasDoNotAndBeyond2GiBNothingIsTouched) {
    SNESImageInfo info{.Name = "PREVIOUS"};
    StringSink trace;
    testing::SparseSource huge(256 * kMiB);
    EXPECT_THROW(AnalyseRomImage(huge, info, trace), EIntOverflow);
    EXPECT_EQ(info.Name + ", " + info.Errors, "PREVIOUS, " + kRaw + kNoSums + kNotSnes);
    testing::SparseSource below(256 * kMiB - 8192);
    EXPECT_TRUE(AnalyseRomImage(below, info, trace));
    EXPECT_TRUE(info.HiRom);
    testing::SparseSource valid(300 * kMiB);
    valid.Place(0, Rom(kMbit, true, false));
    EXPECT_TRUE(AnalyseRomImage(valid, info, trace));
    EXPECT_EQ(info.Name.substr(0, 2), "LO");

    testing::SparseSource beyond(std::uint64_t{3} << 30);
    info = {};
    EXPECT_THROW(AnalyseRomImage(beyond, info, trace), EIntOverflow);
    EXPECT_EQ(info, SNESImageInfo{});
}

TEST(Unreadable, FailuresGiveStatus3AndTheReason) {
    const Bytes rom = Rom(kMbit, true, false);
    const Bytes image = Concatenate(SuperWildCardHeader(7, 0x80), rom);
    MemorySource memory(image);
    testing::FailingSource failing(memory, 1);
    SNESImageInfo info = Analyse(Concatenate(SuperWildCardHeader(0x99, 0x10), rom));
    StringSink trace;
    EXPECT_FALSE(AnalyseRomImage(failing, info, trace));
    // The copier fields read before the failure stay; nothing else does.
    const std::string broken = "Cannot read file broken.smc: Input/output error\r\n";
    EXPECT_EQ(info,
              (SNESImageInfo{.CopierBlocks = 7, .Status = 3, .SwcMode0 = true, .Errors = broken}));
    // A file that cannot be opened is quillet-info's test.
}

TEST(RomChecksum, SumsTheDataAfterTheHeaderMirroringItsTail) {
    // 11 units fill 16: 8 once, the next 2 twice, the last one four times.
    constexpr std::size_t kUnit = 65536;
    const Bytes data = MakeRomData(11 * kUnit, 3);
    std::uint32_t expected = 0;
    for (std::size_t i = 0; i < data.size(); ++i)
        expected += data[i] * (i < 8 * kUnit ? 1u : i < 10 * kUnit ? 2u : 4u);
    const Bytes headered = Concatenate(Bytes(512, 0xFF), data);
    MemorySource withHeader(headered);
    EXPECT_EQ(ComputeRomChecksum(withHeader, 512), static_cast<std::uint16_t>(expected));
}

TEST(RomDescription, SizesInTheUnitsShown) {
    const struct {
        std::int32_t fileBytes, headerBytes;
        std::string actualMbits, fileSize;
    } cases[] = {{10, 0, "7,62939453125E-5", "10 bytes (0 KB, 0 MB)"},
                 // 12.5 hundredths of a megabyte: halves go to the even neighbour.
                 {131072, 0, "1", "131072 bytes (128 KB, 0,12 MB)"},
                 {2147483647, 0, "16383,9999923706", "2147483647 bytes (2097151 KB, 2048 MB)"}};
    for (const auto& c : cases) {
        const SNESImageInfo info{
            .RomSizeMbits = 8, .FileSizeBytes = c.fileBytes, .HeaderSize = c.headerBytes};
        EXPECT_EQ(RomSizeText(info, ','), "8Mbits (" + c.actualMbits + "Mbits actual size)");
        EXPECT_EQ(FileSizeText(info, ','), c.fileSize);
    }
    EXPECT_EQ(SramSizeText({.SramSizeKbits = 64, .RomType = 5}), "64kbits");
    EXPECT_EQ(SramSizeText({.SramSizeKbits = 64, .RomType = 3}), "(None)");
}

} // namespace
} // namespace quillet
