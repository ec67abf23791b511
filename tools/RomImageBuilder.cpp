#include "tools/RomImageBuilder.h"

#include "base/ByteSource.h"
#include "rom/RomChecksum.h"

#include <algorithm>

namespace quillet::samples {

namespace {

constexpr std::size_t kTitleLength = 21;
constexpr std::size_t kHeaderBytes = 32;
constexpr std::size_t kComplementAt = 0x1C;
constexpr std::size_t kChecksumAt = 0x1E;
constexpr std::size_t kCopierHeaderSize = 512;

void PutWord(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint16_t value) {
    bytes[at] = static_cast<std::uint8_t>(value & 0xFF);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

} // namespace

std::vector<std::uint8_t> MakeRomData(std::size_t size, std::uint32_t seed) {
    std::vector<std::uint8_t> rom(size);
    std::uint32_t state = seed * 2654435761u + 12345u;
    for (auto& byte : rom) {
        state = state * 1664525u + 1013904223u; // a plain LCG: varied, repeatable bytes
        byte = static_cast<std::uint8_t>(state >> 24);
    }
    return rom;
}

void WriteInternalHeader(std::vector<std::uint8_t>& rom, std::size_t area,
                         const InternalHeader& header) {
    if (rom.size() < area + kHeaderBytes)
        rom.resize(area + kHeaderBytes);
    std::string title = header.title.substr(0, kTitleLength);
    title.resize(kTitleLength, ' ');
    std::copy(title.begin(), title.end(), rom.begin() + static_cast<std::ptrdiff_t>(area));
    rom[area + 0x15] = header.makeup;
    rom[area + 0x16] = header.cartridgeType;
    rom[area + 0x17] = header.romSizeCode;
    rom[area + 0x18] = header.sramSizeCode;
    rom[area + 0x19] = header.country;
    rom[area + 0x1A] = header.licensee;
    rom[area + 0x1B] = header.version;
    PutWord(rom, area + kComplementAt, header.complement);
    PutWord(rom, area + kChecksumAt, header.checksum);
}

void WriteExtendedHeader(std::vector<std::uint8_t>& rom, std::size_t area,
                         const ExtendedHeader& header) {
    const std::size_t start = area - 0x10;
    std::string maker = header.makerCode;
    maker.resize(2, ' ');
    std::string game = header.gameCode;
    game.resize(4, ' ');
    std::copy(maker.begin(), maker.end(), rom.begin() + static_cast<std::ptrdiff_t>(start));
    std::copy(game.begin(), game.end(), rom.begin() + static_cast<std::ptrdiff_t>(start + 2));
    std::fill_n(rom.begin() + static_cast<std::ptrdiff_t>(start + 6), 7, 0);
    rom[start + 0x0D] = header.expansionRamCode;
    rom[start + 0x0E] = 0; // special version
    rom[start + 0x0F] = header.subType;
}

void WriteResetVector(std::vector<std::uint8_t>& rom, std::size_t area, std::uint16_t vector,
                      std::size_t target, std::uint8_t opcode) {
    if (rom.size() < area + 0x40)
        rom.resize(area + 0x40);
    PutWord(rom, area + 0x3C, vector);
    if (target < rom.size())
        rom[target] = opcode;
}

void FixChecksum(std::vector<std::uint8_t>& rom, std::size_t area) {
    // Summed with a complement-and-checksum pair that itself adds up right, as the cartridge
    // makers did, so that writing the final pair leaves the sum unchanged.
    PutWord(rom, area + kComplementAt, 0xFFFF);
    PutWord(rom, area + kChecksumAt, 0x0000);
    MemorySource source(rom);
    const std::uint16_t sum = ComputeRomChecksum(source, 0);
    PutWord(rom, area + kComplementAt, static_cast<std::uint16_t>(sum ^ 0xFFFF));
    PutWord(rom, area + kChecksumAt, sum);
}

void MarkAreaValid(std::vector<std::uint8_t>& rom, std::size_t area, std::uint16_t checksum) {
    if (rom.size() < area + kHeaderBytes)
        rom.resize(area + kHeaderBytes);
    PutWord(rom, area + kComplementAt, static_cast<std::uint16_t>(checksum ^ 0xFFFF));
    PutWord(rom, area + kChecksumAt, checksum);
}

std::vector<std::uint8_t> SuperWildCardHeader(std::uint16_t blocks, std::uint8_t modeByte) {
    std::vector<std::uint8_t> header(kCopierHeaderSize);
    PutWord(header, 0, blocks);
    header[2] = modeByte;
    header[8] = 0xAA;
    header[9] = 0xBB;
    header[10] = 0x04;
    return header;
}

std::vector<std::uint8_t> ProFighterHeader(std::uint16_t blocks, bool hiRom) {
    std::vector<std::uint8_t> header(kCopierHeaderSize);
    PutWord(header, 0, blocks);
    header[3] = hiRom ? 0x80 : 0x00;
    header[4] = hiRom ? 0x80 : 0x00;
    return header;
}

std::vector<std::uint8_t> UnknownCopierHeader() {
    std::vector<std::uint8_t> header(kCopierHeaderSize);
    header[2] = 0x01; // neither a Super Wild Card signature nor Pro Fighter zeros
    header[6] = 0x47;
    header[7] = 0x44;
    return header;
}

std::vector<std::uint8_t> GameDoctorHeader() {
    const std::string signature = "GAME DOCTOR SF 3";
    std::vector<std::uint8_t> header(kCopierHeaderSize);
    std::copy(signature.begin(), signature.end(), header.begin());
    return header;
}

std::vector<std::uint8_t> SuperUfoHeader(std::uint8_t megabits, bool hiRom) {
    const std::string signature = "SUPERUFO";
    std::vector<std::uint8_t> header(kCopierHeaderSize);
    header[0] = megabits;
    header[2] = hiRom ? 0 : 1;
    std::copy(signature.begin(), signature.end(), header.begin() + 8);
    return header;
}

std::vector<std::uint8_t> InterleavedCopy(const std::vector<std::uint8_t>& rom) {
    constexpr std::size_t kHalf = 0x8000;
    std::vector<std::uint8_t> upper;
    std::vector<std::uint8_t> lower;
    for (std::size_t bank = 0; bank < rom.size(); bank += 2 * kHalf) {
        const auto start = rom.begin() + static_cast<std::ptrdiff_t>(bank);
        lower.insert(lower.end(), start, start + kHalf);
        upper.insert(upper.end(), start + kHalf, start + 2 * kHalf);
    }
    upper.insert(upper.end(), lower.begin(), lower.end());
    return upper;
}

std::vector<std::uint8_t> Concatenate(const std::vector<std::uint8_t>& header,
                                      const std::vector<std::uint8_t>& rom) {
    std::vector<std::uint8_t> image(header);
    image.insert(image.end(), rom.begin(), rom.end());
    return image;
}

std::vector<std::uint8_t> DemoImage() {
    constexpr std::size_t kEightMegabits = 8 * 131072;
    std::vector<std::uint8_t> rom = MakeRomData(kEightMegabits, 2026);
    InternalHeader header;
    header.title = "QUILLET DEMO CART";
    header.makeup = 0x20;        // LoROM, slow ROM
    header.cartridgeType = 0x02; // ROM and battery-backed SRAM
    header.romSizeCode = 0x0A;   // 8 megabits
    header.sramSizeCode = 0x01;  // 16 kilobits
    header.country = 0x01;
    header.licensee = 0x33;
    header.version = 0x01;
    WriteInternalHeader(rom, kLoRomArea, header);
    FixChecksum(rom, kLoRomArea);
    const auto blocks = static_cast<std::uint16_t>(rom.size() / 8192);
    return Concatenate(SuperWildCardHeader(blocks, 0x00), rom);
}

} // namespace quillet::samples
