#include "rom/RomAnalysis.h"

#include "base/Checked.h"
#include "base/NumberFormat.h"
#include "rom/CopierFormats.h"
#include "rom/HeaderLayout.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>

namespace quillet {

namespace {

using Block = std::array<std::uint8_t, 512>; // every read is one block of 512 bytes

using namespace layout;

// The analysis counts sizes in 32 bits, as its record keeps them.
constexpr auto kCopierHeaderBytes = static_cast<std::int32_t>(kCopierHeaderSize);
constexpr auto kRomGranularity = static_cast<std::int32_t>(kRomBlock);

// Copier header bits.
constexpr std::uint8_t kSwcMode0Bit = 0x80;
constexpr std::uint8_t kSwcSramMode21Bit = 0x20;
constexpr std::uint8_t kSwcDramMode21Bit = 0x10;
constexpr std::uint8_t kFigHiRomBit = 0x80;

constexpr std::uint8_t kMakeupHiRomBit = 0x01;

// Complement plus checksum of a valid header area.
constexpr std::int32_t kValidSum = 0xFFFF;
// More megabits than this in the whole file means HiROM when the headers cannot tell.
constexpr std::int32_t kLargestLoRomMbits = 16;

enum class FigHint { None, LoRom, HiRom };

struct Working {
    Block h{};
    Block l{};
    bool raw = false;
    FigHint hint = FigHint::None;
};

std::int32_t Word(const Block& block, std::size_t at) {
    return block[at] | (block[at + 1] << 8);
}

void AppendFinding(SNESImageInfo& info, std::string_view message) {
    info.Errors += message;
    info.Errors += "\r\n";
}

// 1 shifted left by a count that wraps to the 32-bit word, as the processor's shift does.
std::int32_t PowerOfTwoWrapped(int exponent) {
    return static_cast<std::int32_t>(std::uint32_t{1} << (exponent & 31));
}

void DecideCopierHeader(Working& w, SNESImageInfo& info, TextSink& log) {
    const Block& h = w.h;
    const std::int32_t remainder = info.FileSizeBytes % kRomGranularity;

    if (remainder != kCopierHeaderBytes) {
        info.FileFormat = kFormatRaw;
        AppendFinding(info, "No header -- Raw Image");
        info.Status = kStatusMinor;
        if (remainder != 0) {
            info.Status = kStatusUnusable;
            AppendFinding(info, "Header Size is incorrect (Header is " + FormatDecimal(remainder) +
                                    "bytes, should be 0 or 512)");
        }
        info.CopierHeaderKnown = false;
        info.HeaderSize = 0;
        w.raw = true;
        return;
    }

    const std::int32_t blocks = h[kCopierBlocks] + 256 * h[kCopierBlocks + 1];
    if (HasSwcSignature(h)) {
        info.FileFormat = kFormatSwc;
        info.CopierBlocks = blocks;
        info.SwcMode0 = (h[kSwcModeByte] & kSwcMode0Bit) != 0;
        info.SwcSramMode21 = (h[kSwcModeByte] & kSwcSramMode21Bit) != 0;
        info.SwcDramMode21 = (h[kSwcModeByte] & kSwcDramMode21Bit) != 0;
        info.HeaderSize = kCopierHeaderBytes;
        info.Status = kStatusValid;
        log.LogLine(kFormatSwc);
        log.LogText(info.SwcMode0 ? "Mode 0, " : "Mode 1, ");
        log.LogText(info.SwcSramMode21 ? "SRAM Mapping Mode 21 (HiROM), "
                                       : "SRAM Mapping Mode 20, ");
        log.LogText(info.SwcDramMode21 ? "DRAM Mapping Mode 21 (HiROM)" : "DRAM Mapping Mode 20");
        log.LogLine(".");
        info.CopierHeaderKnown = true;
        return;
    }

    if (LooksLikeProFighter(h)) {
        info.FileFormat = kFormatFig;
        info.CopierBlocks = blocks;
        if ((h[kFigMapByte] & kFigHiRomBit) != 0) {
            w.hint = FigHint::HiRom;
            log.LogLine("Profighter (FIG) Early HiROM detect");
        } else {
            w.hint = FigHint::LoRom;
            log.LogLine("Profighter (FIG) Early LoROM detect");
        }
        info.Status = kStatusValid;
        info.CopierHeaderKnown = true;
        info.HeaderSize = kCopierHeaderBytes;
        return;
    }

    info.FileFormat = kFormatUnknownHeader;
    AppendFinding(info, "Unidentifiable 512-byte header Format");
    info.Status = kStatusMinor;
    info.CopierHeaderKnown = false;
    info.HeaderSize = kCopierHeaderBytes;
}

// Megabits of the whole file, copier header included; raises EIntOverflow from 256 MiB on.
void ApplySizeRule(SNESImageInfo& info) {
    const std::int32_t megabits = CheckedMul(info.FileSizeBytes, std::int32_t{8}) / 1024 / 1024;
    info.HiRom = megabits > kLargestLoRomMbits;
}

void DecideMemoryMap(const Working& w, SNESImageInfo& info, TextSink& log) {
    const std::int32_t cLo = Word(w.l, kComplement);
    const std::int32_t kLo = Word(w.l, kChecksum);
    const std::int32_t sLo = cLo + kLo;
    const std::int32_t cHi = Word(w.h, kComplement);
    const std::int32_t kHi = Word(w.h, kChecksum);
    const std::int32_t sHi = cHi + kHi;

    log.LogLine("Complement LoROM: " + FormatDecimal(cLo));
    log.LogText("  Checksum LoROM: " + FormatDecimal(kLo));
    log.LogLine("  Sum = " + FormatDecimal(sLo));
    log.LogLine("Complement HiROM: " + FormatDecimal(cHi));
    log.LogText("  Checksum HiROM: " + FormatDecimal(kHi));
    log.LogLine("  Sum = " + FormatDecimal(sHi));

    const bool loValid = sLo == kValidSum;
    const bool hiValid = sHi == kValidSum;
    const bool noHint = w.hint == FigHint::None;

    if ((loValid && hiValid && noHint) || (!loValid && !hiValid && noHint)) {
        info.Status = kStatusMinor;
        if (loValid) {
            AppendFinding(info, "Couldn't determine Hi/LoROM.  Using Size as indicator");
        } else {
            AppendFinding(info, "Checksums are bad (" + FormatDecimal(cLo) + "," +
                                    FormatDecimal(kLo) + "," + FormatDecimal(cHi) + "," +
                                    FormatDecimal(kHi) + ") Using Size to determine Rom type");
        }
        if (w.raw) {
            info.Status = kStatusUnusable;
            AppendFinding(info, "Probably not SNES ROM image.");
        }
        ApplySizeRule(info);
        return;
    }

    if (loValid)
        info.HiRom = false;
    else if (hiValid)
        info.HiRom = true;
    else
        info.HiRom = w.hint == FigHint::HiRom;
}

void DecodeHeaderArea(const Block& a, SNESImageInfo& info, TextSink& log) {
    info.Name.assign(reinterpret_cast<const char*>(a.data() + kTitle), kTitleLength);
    log.LogLine("Name:" + info.Name);

    // The makeup byte's low bit says HiROM; a byte that disagrees with the map is worth a note.
    const bool makeupSaysHiRom = (a[kMapMode] & kMakeupHiRomBit) != 0;
    if (makeupSaysHiRom != info.HiRom)
        info.Errors += "Inconsistant ROM Makeup byte.";

    info.RomType = a[kCartridgeType];
    info.RomSizeMbits = PowerOfTwoWrapped(a[kRomSizeCode] - 7);
    info.SramSizeKbits = PowerOfTwoWrapped(a[kSramSizeCode] + 3);
    info.CountryCode = a[kRegion];
    info.LicenseeCode = a[kLicensee];
    info.Version = a[kVersion] * 0.01 + 1;
    info.Complement = Word(a, kComplement);
    info.Checksum = Word(a, kChecksum);
}

// A file that cannot be read describes no image: keep only the fields no path resets.
void MarkUnreadable(SNESImageInfo& info, const std::string& finding, TextSink& log) {
    SNESImageInfo unreadable;
    unreadable.CopierBlocks = info.CopierBlocks;
    unreadable.SwcMode0 = info.SwcMode0;
    unreadable.SwcSramMode21 = info.SwcSramMode21;
    unreadable.SwcDramMode21 = info.SwcDramMode21;
    unreadable.Status = kStatusUnusable;
    AppendFinding(unreadable, finding);
    info = std::move(unreadable);
    log.LogLine(finding);
}

} // namespace

bool AnalyseRomImage(ByteSource& source, SNESImageInfo& info, TextSink& log) {
    Working w;
    try {
        source.ReadAt(0, w.h);
        const std::uint64_t size = source.Size();
        if (size > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
            throw EIntOverflow();
        info.FileSizeBytes = static_cast<std::int32_t>(size);
        info.Errors.clear();

        DecideCopierHeader(w, info, log);

        const auto dataStart = static_cast<std::uint64_t>(info.HeaderSize);
        source.ReadAt(dataStart + kLoRomHeaderArea, w.l);
        source.ReadAt(dataStart + kHiRomHeaderArea, w.h);
    } catch (const EReadFailure& failure) {
        MarkUnreadable(info, failure.Message(), log);
        return false;
    }

    DecideMemoryMap(w, info, log);
    DecodeHeaderArea(info.HiRom ? w.h : w.l, info, log);
    return true;
}

bool AnalyseRomImage(const std::string& path, SNESImageInfo& info, TextSink& log) {
    std::unique_ptr<FileSource> file;
    try {
        file = std::make_unique<FileSource>(path);
    } catch (const EFOpenError& failure) {
        MarkUnreadable(info, failure.Message(), log);
        return false;
    }
    return AnalyseRomImage(*file, info, log);
}

SNESImageInfo AnalyseImageBytes(std::span<const std::uint8_t> image) {
    SNESImageInfo info;
    NullSink log;
    MemorySource source(image);
    AnalyseRomImage(source, info, log);
    return info;
}

} // namespace quillet
