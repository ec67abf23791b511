// The cartridge's internal header decoded in full: map mode, coprocessors, the extended header
// of later cartridges, region, and the evidence that a place in the data holds a header at all.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace quillet {

// The three places a header can be, counted from the start of the ROM data.
enum class HeaderPlace { LoRom, HiRom, ExHiRom };
inline constexpr std::array<HeaderPlace, 3> kHeaderPlaces = {HeaderPlace::LoRom, HeaderPlace::HiRom,
                                                             HeaderPlace::ExHiRom};

std::uint32_t HeaderAddress(HeaderPlace place); // 0x7FC0, 0xFFC0, 0x40FFC0
const char* HeaderPlaceName(HeaderPlace place); // "LoROM", "HiROM", "ExHiROM"

// A header is read with the extended header before it and the vectors after it.
inline constexpr std::uint32_t kExtendedHeaderSize = 0x10;
inline constexpr std::uint32_t kHeaderWithVectorsSize = 0x40;
inline constexpr std::uint32_t kHeaderWindowSize = kExtendedHeaderSize + kHeaderWithVectorsSize;

struct CartridgeHeader {
    std::uint32_t address = 0;
    std::string title; // the 21 bytes as stored
    std::uint8_t mapMode = 0;
    std::uint8_t cartridgeType = 0;
    std::uint8_t subType = 0; // the extended header's chip sub-type, for custom chips
    std::uint8_t romSizeCode = 0;
    std::uint8_t sramSizeCode = 0;
    std::uint8_t region = 0;
    std::uint8_t licensee = 0;
    std::uint16_t complement = 0;
    std::uint16_t checksum = 0;
    std::uint16_t resetVector = 0;
    // From the extended header; empty unless the licensee byte is 0x33, which says it is there.
    std::optional<std::string> makerCode;
    std::optional<std::string> gameCode;
    std::optional<std::uint32_t> expansionRamKbits;
    bool operator==(const CartridgeHeader&) const = default;
};

// Decodes the kHeaderWindowSize bytes that start kExtendedHeaderSize bytes before `address`.
CartridgeHeader DecodeCartridgeHeader(std::span<const std::uint8_t, kHeaderWindowSize> window,
                                      std::uint32_t address);

// "LoROM", "HiROM", "ExLoROM", "ExHiROM", "SA-1", "S-DD1", "SPC7110", or "Unknown".
std::string MapName(const CartridgeHeader& header);
// "FastROM" or "SlowROM".
std::string SpeedName(const CartridgeHeader& header);
// The coprocessor in the usual words; empty for a plain cartridge.
std::string ChipsName(const CartridgeHeader& header);
bool HasRam(const CartridgeHeader& header);
bool HasBattery(const CartridgeHeader& header);
// Every region code in use, with its video standard; "Unknown (ID:0xNN)" for the rest.
std::string RegionName(std::uint8_t code);
// The ROM size the size byte declares, in bytes; empty for codes no cartridge could have.
std::optional<std::uint64_t> DeclaredRomBytes(const CartridgeHeader& header);
// Whether the complement and checksum fields add up as a filled-in pair does.
bool ChecksumPairValid(const CartridgeHeader& header);
// The data offset that the reset vector points to at this place, if it points into ROM.
std::optional<std::uint64_t> ResetTarget(HeaderPlace place, const CartridgeHeader& header);

// Whether a place holds what any header has, whatever its maker left unfilled: a map-mode byte
// that fits the place, or a printable title. Random data rarely has either.
bool LooksLikeHeader(HeaderPlace place, const CartridgeHeader& header);

// How much a place looks like it holds the header: the checksum pair, a map-mode byte that fits
// the place, a reset vector into ROM, a plausible first instruction there, a printable title
// and a plausible size byte. `firstInstruction` is the byte at the reset target, if in the data.
int ScoreHeaderPlace(HeaderPlace place, const CartridgeHeader& header,
                     std::optional<std::uint8_t> firstInstruction);
inline constexpr int kBestScore = 11;
// A place that scores this much holds a header by any fair reading: it takes a fitting map
// byte and code where the reset vector points, or a valid checksum pair and more. Random data
// seldom scores over 3.
inline constexpr int kFoundScore = 6;

} // namespace quillet
