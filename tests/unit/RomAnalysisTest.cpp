#include "rom/RomAnalysis.h"

#include "tests/support/FakeSources.h"
#include "tests/support/TempFolder.h"
#include "tools/RomImageBuilder.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

using namespace samples;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kMbit = 131072;

struct Result {
    SNESImageInfo info;
    std::string trace;
};

Result Analyse(const Bytes& image, SNESImageInfo info = {}) {
    MemorySource source(image);
    StringSink trace;
    EXPECT_TRUE(AnalyseRomImage(source, info, trace));
    return {info, trace.Text()};
}

// ROM data whose LoROM area is valid and whose HiROM area is not.
Bytes LoRomData(std::size_t size, InternalHeader header = {.title = "LOROM"}) {
    Bytes rom = MakeRomData(size, 17);
    WriteInternalHeader(rom, kLoRomArea, header);
    FixChecksum(rom, kLoRomArea);
    return rom;
}

Bytes HiRomData(std::size_t size) {
    Bytes rom = MakeRomData(size, 23);
    WriteInternalHeader(rom, kHiRomArea, {.title = "HIROM", .makeup = 0x21});
    FixChecksum(rom, kHiRomArea);
    return rom;
}

TEST(CopierHeader, EachOutcomeSetsFormatHeaderSizeAndVerdict) {
    struct Case {
        const char* what;
        Bytes image;
        const char* format;
        int headerSize;
        bool known;
        int status;
        const char* errors;
    };
    const Bytes lo = LoRomData(kMbit);
    const Case cases[] = {
        {"raw, whole 8 KiB units", lo, kFormatRaw, 0, false, 2, "No header -- Raw Image\r\n"},
        // Bytes 2, 6 and 7 are zero here too, as in a Pro Fighter header: the signature wins.
        {"Super Wild Card", Concatenate(SuperWildCardHeader(16, 0), lo), kFormatSwc, 512, true, 1,
         ""},
        {"Pro Fighter", Concatenate(ProFighterHeader(16, false), lo), kFormatFig, 512, true, 1, ""},
        {"unknown copier", Concatenate(UnknownCopierHeader(), lo), kFormatUnknownHeader, 512, false,
         2, "Unidentifiable 512-byte header Format\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const SNESImageInfo info = Analyse(c.image).info;
        EXPECT_EQ(info.FileFormat, c.format);
        EXPECT_EQ(info.HeaderSize, c.headerSize);
        EXPECT_EQ(info.CopierHeaderKnown, c.known);
        EXPECT_EQ(info.Status, c.status);
        EXPECT_EQ(info.Errors, c.errors);
        EXPECT_EQ(info.Name, "LOROM                ");
        EXPECT_FALSE(info.HiRom);
    }
}

TEST(CopierHeader, RawSizeOffTheGridIsUnusableAndSaysSo) {
    Bytes image = LoRomData(kMbit);
    image.resize(image.size() + 100);
    const SNESImageInfo info = Analyse(image).info;
    EXPECT_EQ(info.Status, 3);
    EXPECT_EQ(info.Errors, "No header -- Raw Image\r\n"
                           "Header Size is incorrect (Header is 100bytes, should be 0 or 512)\r\n");
}

TEST(CopierHeader, FileOfExactly512BytesIsHeadered) {
    const SNESImageInfo info = Analyse(UnknownCopierHeader()).info;
    EXPECT_EQ(info.HeaderSize, 512);
    EXPECT_EQ(info.FileSizeBytes, 512);
}

TEST(CopierHeader, EmptyFileIsARawImage) {
    const SNESImageInfo info = Analyse({}).info;
    EXPECT_EQ(info.FileFormat, kFormatRaw);
    EXPECT_EQ(info.FileSizeBytes, 0);
    // Both areas read as zeros: bad checksums, and raw, so not a SNES image.
    EXPECT_EQ(info.Status, 3);
    EXPECT_EQ(info.Errors.rfind("No header -- Raw Image\r\nChecksums are bad (0,0,0,0)", 0), 0u);
}

TEST(CopierHeader, SuperWildCardRecordsItsModeBitsAndTracesThem) {
    const Bytes image = Concatenate(SuperWildCardHeader(0x0102, 0xA0), LoRomData(kMbit));
    const Result r = Analyse(image);
    EXPECT_EQ(r.info.CopierBlocks, 0x0102);
    EXPECT_TRUE(r.info.SwcMode0);
    EXPECT_TRUE(r.info.SwcSramMode21);
    EXPECT_FALSE(r.info.SwcDramMode21);
    EXPECT_EQ(r.trace.rfind("Super Wild Card (SWC)\n"
                            "Mode 0, SRAM Mapping Mode 21 (HiROM), DRAM Mapping Mode 20.\n",
                            0),
              0u);

    const Result other = Analyse(Concatenate(SuperWildCardHeader(1, 0x10), LoRomData(kMbit)));
    EXPECT_EQ(other.trace.rfind("Super Wild Card (SWC)\n"
                                "Mode 1, SRAM Mapping Mode 20, DRAM Mapping Mode 21 (HiROM).\n",
                                0),
              0u);
}

TEST(CopierHeader, ProFighterTracesItsEarlyGuess) {
    EXPECT_EQ(Analyse(Concatenate(ProFighterHeader(8, true), HiRomData(kMbit)))
                  .trace.rfind("Profighter (FIG) Early HiROM detect\nComplement LoROM: ", 0),
              0u);
    EXPECT_EQ(Analyse(Concatenate(ProFighterHeader(8, false), LoRomData(kMbit)))
                  .trace.rfind("Profighter (FIG) Early LoROM detect\nComplement LoROM: ", 0),
              0u);
}

TEST(CopierHeader, PathsThatDoNotWriteCopierFieldsKeepThePreviousOnes) {
    SNESImageInfo info =
        Analyse(Concatenate(SuperWildCardHeader(0x1234, 0xB0), LoRomData(kMbit))).info;
    info = Analyse(LoRomData(kMbit), info).info;
    EXPECT_EQ(info.FileFormat, kFormatRaw);
    EXPECT_EQ(info.CopierBlocks, 0x1234);
    EXPECT_TRUE(info.SwcMode0 && info.SwcSramMode21 && info.SwcDramMode21);
    EXPECT_FALSE(info.CopierHeaderKnown);
}

TEST(MemoryMap, BothAreasValidWithoutHintFallsBackToSize) {
    for (const std::size_t size : {2 * 1048576, 3 * 1048576}) {
        Bytes rom = LoRomData(size);
        MarkAreaValid(rom, kHiRomArea, 0x5555);
        const SNESImageInfo swc = Analyse(Concatenate(SuperWildCardHeader(0, 0), rom)).info;
        EXPECT_EQ(swc.Status, 2);
        EXPECT_EQ(swc.Errors, "Couldn't determine Hi/LoROM.  Using Size as indicator\r\n");
        // 16 megabits plus a copier header is still LoROM; 24 is not.
        EXPECT_EQ(swc.HiRom, size > 2 * 1048576);

        const SNESImageInfo raw = Analyse(rom).info;
        EXPECT_EQ(raw.Status, 3);
        EXPECT_EQ(raw.Errors, "No header -- Raw Image\r\n"
                              "Couldn't determine Hi/LoROM.  Using Size as indicator\r\n"
                              "Probably not SNES ROM image.\r\n");
    }
}

TEST(MemoryMap, BadChecksumsListTheFourNumbersAndUseSize) {
    Bytes rom = MakeRomData(3 * 1048576, 5);
    WriteInternalHeader(rom, kLoRomArea, {.complement = 1, .checksum = 2});
    WriteInternalHeader(rom, kHiRomArea,
                        {.makeup = 0x21, .complement = 0xFFFF, .checksum = 0xFFFF});
    const SNESImageInfo info = Analyse(Concatenate(SuperWildCardHeader(0, 0), rom)).info;
    EXPECT_EQ(info.Status, 2);
    EXPECT_EQ(info.Errors,
              "Checksums are bad (1,2,65535,65535) Using Size to determine Rom type\r\n");
    EXPECT_TRUE(info.HiRom);
}

TEST(MemoryMap, ValidAreaBeatsTheProFighterHint) {
    Bytes rom = LoRomData(2 * kMbit);
    MarkAreaValid(rom, kHiRomArea, 0x4444);
    const SNESImageInfo info = Analyse(Concatenate(ProFighterHeader(0, true), rom)).info;
    EXPECT_FALSE(info.HiRom);
    EXPECT_EQ(info.Status, 1);
    EXPECT_EQ(info.Errors, "");

    const SNESImageInfo hi =
        Analyse(Concatenate(ProFighterHeader(0, false), HiRomData(kMbit))).info;
    EXPECT_TRUE(hi.HiRom);
    EXPECT_EQ(hi.Name, "HIROM                ");
}

TEST(MemoryMap, HintAloneDecidesWhenNeitherAreaIsValid) {
    for (const bool hiRom : {false, true}) {
        Bytes rom = MakeRomData(4 * kMbit, 9);
        WriteInternalHeader(rom, kLoRomArea, {.title = "LO", .makeup = 0x20});
        WriteInternalHeader(rom, kHiRomArea, {.title = "HI", .makeup = 0x21});
        const SNESImageInfo info = Analyse(Concatenate(ProFighterHeader(0, hiRom), rom)).info;
        EXPECT_EQ(info.HiRom, hiRom);
        EXPECT_EQ(info.Status, 1);
        EXPECT_EQ(info.Errors, "");
        EXPECT_EQ(info.Name.substr(0, 2), hiRom ? "HI" : "LO");
    }
}

TEST(MemoryMap, RawImageWithOneValidAreaHasOnlyTheRawFinding) {
    const SNESImageInfo info = Analyse(LoRomData(8 * kMbit)).info;
    EXPECT_FALSE(info.HiRom);
    EXPECT_EQ(info.Status, 2);
    EXPECT_EQ(info.Errors, "No header -- Raw Image\r\n");
}

TEST(MemoryMap, TraceShowsBothAreasTestValues) {
    Bytes rom = MakeRomData(2 * kMbit, 1);
    WriteInternalHeader(rom, kLoRomArea, {.title = "T", .complement = 0x1234, .checksum = 0xEDCB});
    WriteInternalHeader(rom, kHiRomArea, {.complement = 10, .checksum = 20});
    const Result r = Analyse(rom);
    EXPECT_EQ(r.trace, "Complement LoROM: 4660\n"
                       "  Checksum LoROM: 60875  Sum = 65535\n"
                       "Complement HiROM: 10\n"
                       "  Checksum HiROM: 20  Sum = 30\n"
                       "Name:T                    \n");
}

TEST(Decoding, FieldsComeFromTheChosenArea) {
    Bytes rom = MakeRomData(kMbit, 3);
    const InternalHeader header{.title = "ABCDEFGHIJKLMNOPQRSTUVWXYZ",
                                .makeup = 0x20,
                                .cartridgeType = 5,
                                .romSizeCode = 0x0C,
                                .sramSizeCode = 3,
                                .country = 0x0D,
                                .licensee = 0xC3,
                                .version = 7};
    WriteInternalHeader(rom, kLoRomArea, header);
    FixChecksum(rom, kLoRomArea);
    const SNESImageInfo info = Analyse(Concatenate(SuperWildCardHeader(0, 0), rom)).info;
    EXPECT_EQ(info.Name, "ABCDEFGHIJKLMNOPQRSTU");
    EXPECT_EQ(info.RomType, 5);
    EXPECT_EQ(info.RomSizeMbits, 32);
    EXPECT_EQ(info.SramSizeKbits, 64);
    EXPECT_EQ(info.CountryCode, 0x0D);
    EXPECT_EQ(info.LicenseeCode, 0xC3);
    EXPECT_DOUBLE_EQ(info.Version, 1.07);
    EXPECT_EQ(info.Complement + info.Checksum, 0xFFFF);
    EXPECT_EQ(info.Checksum, rom[kLoRomArea + 0x1E] | rom[kLoRomArea + 0x1F] << 8);
}

TEST(Decoding, SizeCodesWrapAsThe32BitShiftDoes) {
    struct Case {
        std::uint8_t code;
        std::int32_t romMbits;
        std::int32_t sramKbits;
    };
    const Case cases[] = {{0, 33554432, 8},     {1, 67108864, 16},   {3, 268435456, 64},
                          {5, 1073741824, 256}, {6, INT32_MIN, 512}, {8, 2, 2048},
                          {13, 64, 65536},      {29, 4194304, 1},    {255, 16777216, 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.code));
        const SNESImageInfo info =
            Analyse(LoRomData(kMbit, {.romSizeCode = c.code, .sramSizeCode = c.code})).info;
        EXPECT_EQ(info.RomSizeMbits, c.romMbits);
        EXPECT_EQ(info.SramSizeKbits, c.sramKbits);
    }
}

TEST(Decoding, TitleKeepsBlanksAndZeroBytes) {
    EXPECT_EQ(Analyse(LoRomData(kMbit, {.title = ""})).info.Name, std::string(21, ' '));

    Bytes rom = MakeRomData(kMbit, 2);
    WriteInternalHeader(rom, kLoRomArea, {.title = "AB"});
    rom[kLoRomArea + 2] = 0;
    rom[kLoRomArea + 20] = 0;
    FixChecksum(rom, kLoRomArea);
    const std::string name = Analyse(rom).info.Name;
    EXPECT_EQ(name.size(), 21u);
    EXPECT_EQ(name, std::string("AB\0", 3) + std::string(17, ' ') + std::string(1, '\0'));
}

TEST(Decoding, VersionIsOnePlusHundredths) {
    EXPECT_DOUBLE_EQ(Analyse(LoRomData(kMbit, {.version = 0})).info.Version, 1.0);
    EXPECT_DOUBLE_EQ(Analyse(LoRomData(kMbit, {.version = 1})).info.Version, 1.01);
    EXPECT_DOUBLE_EQ(Analyse(LoRomData(kMbit, {.version = 255})).info.Version, 3.55);
}

TEST(Decoding, MakeupByteThatDisagreesWithTheMapIsNotedLastWithoutLineBreak) {
    const SNESImageInfo lo = Analyse(LoRomData(kMbit, {.makeup = 0x31})).info;
    EXPECT_EQ(lo.Errors, "No header -- Raw Image\r\nInconsistant ROM Makeup byte.");
    EXPECT_EQ(lo.Status, 2);

    Bytes rom = MakeRomData(kMbit, 4);
    WriteInternalHeader(rom, kHiRomArea, {.makeup = 0x30});
    FixChecksum(rom, kHiRomArea);
    EXPECT_EQ(Analyse(Concatenate(SuperWildCardHeader(0, 0), rom)).info.Errors,
              "Inconsistant ROM Makeup byte.");
    EXPECT_EQ(Analyse(Concatenate(SuperWildCardHeader(0, 0), HiRomData(kMbit))).info.Errors, "");
}

TEST(ShortFiles, MissingAreasReadAsZerosAndTheHiRomAreaKeepsTheFirstBlock) {
    // 64 bytes whose bytes 0x1C to 0x1F form a valid pair: the HiROM area, never reached, still
    // holds the file's first bytes, so it is the one found valid.
    Bytes image(64, 'Q');
    image[0x1C] = 0x00;
    image[0x1D] = 0x00;
    image[0x1E] = 0xFF;
    image[0x1F] = 0xFF;
    image[0x15] = 0x21;
    const Result r = Analyse(image);
    EXPECT_TRUE(r.info.HiRom);
    EXPECT_EQ(r.info.Name, std::string(21, 'Q'));
    EXPECT_EQ(r.info.Checksum, 0xFFFF);
    EXPECT_EQ(r.info.Status, 3);
    EXPECT_NE(r.trace.find("Complement LoROM: 0\n  Checksum LoROM: 0  Sum = 0\n"),
              std::string::npos);
}

TEST(LargeFiles, SizeRuleOverflowsFrom256MiBAndKeepsWhatWasFilled) {
    SNESImageInfo info;
    info.Name = "PREVIOUS";
    testing::SparseSource huge(268435456);
    StringSink trace;
    EXPECT_THROW(AnalyseRomImage(huge, info, trace), EIntOverflow);
    EXPECT_EQ(info.FileSizeBytes, 268435456);
    EXPECT_EQ(info.Status, 3);
    EXPECT_EQ(info.Errors, "No header -- Raw Image\r\n"
                           "Checksums are bad (0,0,0,0) Using Size to determine Rom type\r\n"
                           "Probably not SNES ROM image.\r\n");
    EXPECT_EQ(info.Name, "PREVIOUS");

    // Just below the limit the size still decides.
    testing::SparseSource below(268435456 - 8192);
    EXPECT_TRUE(AnalyseRomImage(below, info, trace));
    EXPECT_TRUE(info.HiRom);
}

TEST(LargeFiles, ValidAreaNeedsNoSizeRuleSoHugeFilesStillAnalyse) {
    Bytes area(32);
    WriteInternalHeader(area, 0, {.title = "BIG"});
    MarkAreaValid(area, 0, 0x1111);
    testing::SparseSource huge(300u * 1048576);
    huge.Place(kLoRomArea, area);
    SNESImageInfo info;
    StringSink trace;
    EXPECT_TRUE(AnalyseRomImage(huge, info, trace));
    EXPECT_EQ(info.Name.substr(0, 3), "BIG");
}

TEST(LargeFiles, SizeBeyond32BitsRaisesBeforeTouchingTheRecord) {
    testing::SparseSource huge(std::uint64_t{3} << 30);
    SNESImageInfo info;
    info.Errors = "old";
    StringSink trace;
    EXPECT_THROW(AnalyseRomImage(huge, info, trace), EIntOverflow);
    EXPECT_EQ(info.Errors, "old");
    EXPECT_EQ(info.FileSizeBytes, 0);
}

TEST(Unreadable, ReadFailureGivesStatus3AndTheReason) {
    const Bytes image = Concatenate(SuperWildCardHeader(7, 0x80), LoRomData(kMbit));
    MemorySource memory(image);
    testing::FailingSource failing(memory, 1);
    SNESImageInfo info =
        Analyse(Concatenate(SuperWildCardHeader(0x99, 0x10), LoRomData(kMbit))).info;
    StringSink trace;
    EXPECT_FALSE(AnalyseRomImage(failing, info, trace));
    EXPECT_EQ(info.Status, 3);
    EXPECT_EQ(info.Errors, "Cannot read file broken.smc: Input/output error\r\n");
    EXPECT_EQ(info.Name, "");
    EXPECT_EQ(info.FileFormat, "");
    EXPECT_EQ(info.CopierBlocks, 7); // written before the failing read
    EXPECT_NE(trace.Text().find("Cannot read file broken.smc"), std::string::npos);
}

TEST(Unreadable, MissingFileOrFolderNamesThePath) {
    testing::TempFolder folder;
    for (const std::string& path :
         {(folder.Path() / "missing.smc").string(), folder.Path().string()}) {
        SNESImageInfo info;
        StringSink trace;
        EXPECT_FALSE(AnalyseRomImage(path, info, trace));
        EXPECT_EQ(info.Status, 3);
        EXPECT_EQ(info.Errors.rfind("Cannot open file " + path + ": ", 0), 0u) << info.Errors;
        EXPECT_EQ(info.Errors.substr(info.Errors.size() - 2), "\r\n");
    }
}

TEST(Files, FileAnalysisMatchesTheSameBytesInMemory) {
    testing::TempFolder folder;
    const Bytes image = DemoImage();
    SNESImageInfo fromFile;
    StringSink trace;
    EXPECT_TRUE(AnalyseRomImage(folder.Write("demo.smc", image), fromFile, trace));
    const Result fromMemory = Analyse(image);
    EXPECT_EQ(fromFile, fromMemory.info);
    EXPECT_EQ(trace.Text(), fromMemory.trace);
    EXPECT_EQ(fromFile.Status, 1);
    EXPECT_EQ(fromFile.Errors, "");
}

} // namespace
} // namespace quillet
