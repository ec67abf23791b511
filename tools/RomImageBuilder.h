// Builds SNES cartridge images in memory: ROM data with an internal header, and the copier
// headers that cartridge copiers put in front of it. Used for the sample image and by the tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quillet::samples {

inline constexpr std::size_t kLoRomArea = 0x7FC0;
inline constexpr std::size_t kHiRomArea = 0xFFC0;
inline constexpr std::size_t kExHiRomArea = 0x40FFC0;

struct InternalHeader {
    std::string title; // padded with blanks, or cut, to 21 bytes
    std::uint8_t makeup = 0x20;
    std::uint8_t cartridgeType = 0;
    std::uint8_t romSizeCode = 0x0A;
    std::uint8_t sramSizeCode = 0;
    std::uint8_t country = 1;
    std::uint8_t licensee = 0x33;
    std::uint8_t version = 0;
    std::uint16_t complement = 0;
    std::uint16_t checksum = 0;
};

// `size` bytes of ROM data that look like code, not like a header anywhere.
std::vector<std::uint8_t> MakeRomData(std::size_t size, std::uint32_t seed = 1);

// Writes the 32 header bytes at `area` (growing the data if it is too short).
void WriteInternalHeader(std::vector<std::uint8_t>& rom, std::size_t area,
                         const InternalHeader& header);

// The extended header of later cartridges, in the 16 bytes before the header at `area`; it
// counts only where the header's licensee byte is 0x33.
struct ExtendedHeader {
    std::string makerCode = "01";  // 2 bytes
    std::string gameCode = "AQLE"; // 4 bytes
    std::uint8_t expansionRamCode = 0;
    std::uint8_t subType = 0;
};
void WriteExtendedHeader(std::vector<std::uint8_t>& rom, std::size_t area,
                         const ExtendedHeader& header);

// Points the reset vector of the header at `area` to `vector`, and puts `opcode` where that
// lands in the data, `target` (which depends on the memory map).
void WriteResetVector(std::vector<std::uint8_t>& rom, std::size_t area, std::uint16_t vector,
                      std::size_t target, std::uint8_t opcode);

// Sets the checksum at `area` to the data's real mirrored sum and the complement to match.
void FixChecksum(std::vector<std::uint8_t>& rom, std::size_t area);

// Writes a complement and checksum that add up to 0xFFFF without being the data's sum.
void MarkAreaValid(std::vector<std::uint8_t>& rom, std::size_t area, std::uint16_t checksum);

// Copier headers, 512 bytes each.
std::vector<std::uint8_t> SuperWildCardHeader(std::uint16_t blocks, std::uint8_t modeByte);
std::vector<std::uint8_t> ProFighterHeader(std::uint16_t blocks, bool hiRom);
std::vector<std::uint8_t> UnknownCopierHeader();
// Signed by the Game Doctor SF3 at its start, and by the Super UFO at byte 8, after its size in
// megabits and its map byte (0 for HiROM).
std::vector<std::uint8_t> GameDoctorHeader();
std::vector<std::uint8_t> SuperUfoHeader(std::uint8_t megabits, bool hiRom);

// HiROM data as copiers that interleave it store it: the upper 32 KiB halves of its 64 KiB
// banks first, then the lower halves.
std::vector<std::uint8_t> InterleavedCopy(const std::vector<std::uint8_t>& rom);

std::vector<std::uint8_t> Concatenate(const std::vector<std::uint8_t>& header,
                                      const std::vector<std::uint8_t>& rom);

// The image every new user can try: an 8-megabit LoROM game with a Super Wild Card header and
// a correct checksum.
std::vector<std::uint8_t> DemoImage();

} // namespace quillet::samples
