#include "rom/CartridgeHeader.h"

#include "base/NumberFormat.h"
#include "rom/HeaderLayout.h"
#include "rom/RomTables.h"

#include <algorithm>

namespace quillet {

namespace {

using namespace layout;

// Beyond the header's fields, from its start (the title):
constexpr std::size_t kResetVector = 0x3C; // the 6502-mode reset vector, where the CPU starts

// Offsets from the start of the extended header, 16 bytes before the title.
constexpr std::size_t kMakerCode = 0x00;
constexpr std::size_t kGameCode = 0x02;
constexpr std::size_t kExpansionRam = 0x0D;
constexpr std::size_t kSubType = 0x0F;

// Licensees from 1993 on write 0x33 here and give their code in the extended header instead.
constexpr std::uint8_t kExtendedLicensee = 0x33;

constexpr std::uint32_t kRomStart = 0x8000; // bank 0 shows ROM from here up

// Map-mode byte: 0b001S_MMMM, S the speed bit, MMMM the map.
constexpr std::uint8_t kMapFixedMask = 0xE0;
constexpr std::uint8_t kMapFixedBits = 0x20;
constexpr std::uint8_t kFastRomBit = 0x10;
enum MapNibble : std::uint8_t {
    kLoRomMap = 0x0,
    kHiRomMap = 0x1,
    kExLoRomMap = 0x2, // also what S-DD1 cartridges give
    kSa1Map = 0x3,
    kExHiRomMap = 0x5,
    kSpc7110Map = 0xA,
};

// Cartridge-type byte: the low nibble says what memory and chips, the high one which chip.
enum ChipFamily : std::uint8_t {
    kDsp = 0x0,
    kSuperFx = 0x1,
    kObc1 = 0x2,
    kSa1 = 0x3,
    kSdd1 = 0x4,
    kSrtc = 0x5,
    kOther = 0xE,  // Super Game Boy, Satellaview
    kCustom = 0xF, // named by the extended header's sub-type
};

std::uint16_t Word(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

std::string Bytes(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t length) {
    return std::string(reinterpret_cast<const char*>(bytes.data() + at), length);
}

std::uint8_t Contents(const CartridgeHeader& header) {
    return header.cartridgeType & 0x0F;
}

bool HasCoprocessor(const CartridgeHeader& header) {
    switch (Contents(header)) {
    case 0x3: // ROM and chip
    case 0x4: // with RAM
    case 0x5: // with RAM and battery
    case 0x6: // with battery
    case 0x9: // with RAM, battery and a real-time clock
    case 0xA: // with RAM and battery, chip run faster
        return true;
    default:
        return false;
    }
}

bool PrintableTitle(const std::string& title) {
    const std::size_t end = title.find_last_not_of(std::string(" \0", 2));
    if (end == std::string::npos)
        return false; // blank: nothing was written there
    return std::all_of(title.begin(), title.begin() + static_cast<std::ptrdiff_t>(end + 1),
                       [](char c) {
                           const auto byte = static_cast<unsigned char>(c);
                           // ASCII, or the half-width katakana of Japanese titles.
                           return (byte >= 0x20 && byte < 0x7F) || (byte >= 0xA1 && byte <= 0xDF);
                       });
}

// The instructions a reset routine starts with: interrupts off, native mode, a jump into the
// fast bank, register widths, or clearing and loading a register.
bool PlausibleFirstInstruction(std::uint8_t opcode) {
    switch (opcode) {
    case 0x78: // SEI
    case 0x18: // CLC
    case 0x38: // SEC
    case 0xFB: // XCE
    case 0x5C: // JML long
    case 0x4C: // JMP absolute
    case 0x22: // JSL long
    case 0x20: // JSR absolute
    case 0xC2: // REP
    case 0xE2: // SEP
    case 0x9C: // STZ absolute
    case 0xA9: // LDA immediate
    case 0xA2: // LDX immediate
    case 0x4B: // PHK
        return true;
    default:
        return false;
    }
}

bool MapFitsPlace(HeaderPlace place, std::uint8_t mapMode) {
    if ((mapMode & kMapFixedMask) != kMapFixedBits)
        return false;
    const auto nibble = static_cast<std::uint8_t>(mapMode & 0x0F);
    switch (place) {
    case HeaderPlace::LoRom:
        return nibble == kLoRomMap || nibble == kExLoRomMap || nibble == kSa1Map;
    case HeaderPlace::HiRom:
        return nibble == kHiRomMap || nibble == kSpc7110Map;
    case HeaderPlace::ExHiRom:
        return nibble == kExHiRomMap;
    }
    return false;
}

} // namespace

std::uint32_t HeaderAddress(HeaderPlace place) {
    switch (place) {
    case HeaderPlace::LoRom:
        return kLoRomHeaderArea;
    case HeaderPlace::HiRom:
        return kHiRomHeaderArea;
    case HeaderPlace::ExHiRom:
        return kExHiRomHeaderArea;
    }
    return 0;
}

const char* HeaderPlaceName(HeaderPlace place) {
    switch (place) {
    case HeaderPlace::LoRom:
        return "LoROM";
    case HeaderPlace::HiRom:
        return "HiROM";
    case HeaderPlace::ExHiRom:
        return "ExHiROM";
    }
    return "";
}

CartridgeHeader DecodeCartridgeHeader(std::span<const std::uint8_t, kHeaderWindowSize> window,
                                      std::uint32_t address) {
    const std::span<const std::uint8_t> extended = window.first(kExtendedHeaderSize);
    const std::span<const std::uint8_t> main = window.subspan(kExtendedHeaderSize);
    CartridgeHeader header;
    header.address = address;
    header.title = Bytes(main, 0, kTitleLength);
    header.mapMode = main[kMapMode];
    header.cartridgeType = main[kCartridgeType];
    header.subType = extended[kSubType];
    header.romSizeCode = main[kRomSizeCode];
    header.sramSizeCode = main[kSramSizeCode];
    header.region = main[kRegion];
    header.licensee = main[kLicensee];
    header.complement = Word(main, kComplement);
    header.checksum = Word(main, kChecksum);
    header.resetVector = Word(main, kResetVector);
    if (header.licensee == kExtendedLicensee) {
        header.makerCode = Bytes(extended, kMakerCode, 2);
        header.gameCode = Bytes(extended, kGameCode, 4);
        // 2^n kilobytes, 0 for none; codes past 2^31 kilobits describe no real chip.
        const std::uint8_t code = extended[kExpansionRam];
        if (code == 0)
            header.expansionRamKbits = 0;
        else if (code <= 28)
            header.expansionRamKbits = std::uint32_t{8} << code;
    }
    return header;
}

std::string MapName(const CartridgeHeader& header) {
    switch (header.mapMode & 0x0F) {
    case kLoRomMap:
        return "LoROM";
    case kHiRomMap:
        return "HiROM";
    case kExLoRomMap:
        return (header.cartridgeType >> 4) == kSdd1 && HasCoprocessor(header) ? "S-DD1" : "ExLoROM";
    case kSa1Map:
        return "SA-1";
    case kExHiRomMap:
        return "ExHiROM";
    case kSpc7110Map:
        return "SPC7110";
    default:
        return "Unknown";
    }
}

std::string SpeedName(const CartridgeHeader& header) {
    return (header.mapMode & kFastRomBit) != 0 ? "FastROM" : "SlowROM";
}

std::string ChipsName(const CartridgeHeader& header) {
    const auto unknown = [&] {
        return "Unknown (ID:0x" + FormatHex(header.cartridgeType, 2) + ")";
    };
    if (!HasCoprocessor(header))
        return header.cartridgeType <= 0x02 ? "" : unknown(); // ROM, with RAM, with battery
    switch (header.cartridgeType >> 4) {
    case kDsp:
        return "DSP";
    case kSuperFx:
        return "Super FX (GSU)";
    case kObc1:
        return "OBC1";
    case kSa1:
        return "SA-1";
    case kSdd1:
        return "S-DD1";
    case kSrtc:
        return "S-RTC";
    case kOther:
        if (Contents(header) == 0x3)
            return "Super Game Boy";
        if (Contents(header) == 0x5)
            return "Satellaview";
        return unknown();
    case kCustom:
        switch (header.subType) {
        case 0x00:
            return "SPC7110";
        case 0x01:
            return "ST010/ST011";
        case 0x02:
            return "ST018";
        case 0x10:
            return "CX4";
        default:
            return "Unknown custom chip (ID:0x" + FormatHex(header.subType, 2) + ")";
        }
    default:
        return unknown();
    }
}

bool HasRam(const CartridgeHeader& header) {
    switch (Contents(header)) {
    case 0x1:
    case 0x2:
    case 0x4:
    case 0x5:
    case 0x9:
    case 0xA:
        return true;
    default:
        return false;
    }
}

bool HasBattery(const CartridgeHeader& header) {
    switch (Contents(header)) {
    case 0x2:
    case 0x5:
    case 0x6:
    case 0x9:
    case 0xA:
        return true;
    default:
        return false;
    }
}

std::string RegionName(std::uint8_t code) {
    // Past the fourteen codes of the early cartridges.
    switch (code) {
    case 0x0E:
        return "International";
    case 0x0F:
        return "Canada (NTSC)";
    case 0x10:
        return "Brazil (PAL-M)";
    case 0x11:
        return "Australia (PAL)";
    case 0x12:
        return "Other (variant X)";
    case 0x13:
        return "Other (variant Y)";
    case 0x14:
        return "Other (variant Z)";
    default:
        return CountryName(code);
    }
}

std::optional<std::uint64_t> DeclaredRomBytes(const CartridgeHeader& header) {
    // 2^code kilobytes; 0x0D is 8 MiB, the largest cartridge. Anything past 2^40 is noise.
    if (header.romSizeCode > 30)
        return std::nullopt;
    return std::uint64_t{1024} << header.romSizeCode;
}

bool ChecksumPairValid(const CartridgeHeader& header) {
    return (header.complement ^ header.checksum) == 0xFFFF;
}

std::optional<std::uint64_t> ResetTarget(HeaderPlace place, const CartridgeHeader& header) {
    if (header.resetVector < kRomStart)
        return std::nullopt; // RAM or registers: no cartridge starts there
    switch (place) {
    case HeaderPlace::LoRom: // bank 0's upper half is the first 32 KiB
        return header.resetVector - kRomStart;
    case HeaderPlace::HiRom: // bank 0's upper half mirrors the upper half of the first 64 KiB
        return header.resetVector;
    case HeaderPlace::ExHiRom: // there bank 0 shows the second 4 MiB
        return std::uint64_t{0x400000} + header.resetVector;
    }
    return std::nullopt;
}

bool LooksLikeHeader(HeaderPlace place, const CartridgeHeader& header) {
    return MapFitsPlace(place, header.mapMode) || PrintableTitle(header.title);
}

int ScoreHeaderPlace(HeaderPlace place, const CartridgeHeader& header,
                     std::optional<std::uint8_t> firstInstruction) {
    int score = 0;
    if (ChecksumPairValid(header))
        score += 3;
    if (MapFitsPlace(place, header.mapMode))
        score += 3;
    if (header.resetVector >= kRomStart)
        score += 1;
    if (firstInstruction && PlausibleFirstInstruction(*firstInstruction))
        score += 2;
    if (PrintableTitle(header.title))
        score += 1;
    if (header.romSizeCode >= 0x07 && header.romSizeCode <= 0x0D) // 1 to 64 megabits
        score += 1;
    return score;
}

} // namespace quillet
