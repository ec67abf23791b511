// Where things lie in the two headers an image may have: the 512-byte header a cartridge
// copier puts in front of the data, and the cartridge's own header inside the data.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quillet::layout {

// A copier header: 512 bytes; ROM data comes in blocks of 8 KiB, so a file's size that is
// 512 over whole blocks has one.
inline constexpr std::size_t kCopierHeaderSize = 512;
inline constexpr std::size_t kRomBlock = 8192;
// Its bytes: the blocks count (little-endian, bytes 0 and 1), the Super Wild Card's mode byte,
// the Pro Fighter's map byte, and where the Super Wild Card's signature stands.
inline constexpr std::size_t kCopierBlocks = 0;
inline constexpr std::size_t kSwcModeByte = 2;
inline constexpr std::size_t kFigMapByte = 3;
inline constexpr std::size_t kSwcSignature = 8;
inline constexpr std::array<std::uint8_t, 3> kSwcSignatureBytes = {0xAA, 0xBB, 0x04};
// A Pro Fighter header leaves these bytes zero.
inline constexpr std::array<std::size_t, 3> kFigZeroBytes = {2, 6, 7};
// Other copiers sign their headers in ASCII: the Game Doctor SF3 at its start, the Super UFO
// after its size and map bytes.
inline constexpr std::size_t kGameDoctorSignature = 0;
inline constexpr std::string_view kGameDoctorSignatureText = "GAME DOCTOR SF 3";
inline constexpr std::size_t kSuperUfoSignature = 8;
inline constexpr std::string_view kSuperUfoSignatureText = "SUPERUFO";

// Where each memory map keeps the internal header, counted from the start of the ROM data.
inline constexpr std::uint32_t kLoRomHeaderArea = 0x7FC0;
inline constexpr std::uint32_t kHiRomHeaderArea = 0xFFC0;
inline constexpr std::uint32_t kExHiRomHeaderArea = 0x40FFC0;

// The internal header, from its start (the title).
inline constexpr std::size_t kTitle = 0x00;
inline constexpr std::size_t kTitleLength = 21;
inline constexpr std::size_t kMapMode = 0x15; // the ROM makeup byte
inline constexpr std::size_t kCartridgeType = 0x16;
inline constexpr std::size_t kRomSizeCode = 0x17;
inline constexpr std::size_t kSramSizeCode = 0x18;
inline constexpr std::size_t kRegion = 0x19;
inline constexpr std::size_t kLicensee = 0x1A;
inline constexpr std::size_t kVersion = 0x1B;
inline constexpr std::size_t kComplement = 0x1C; // 16 bits, little-endian
inline constexpr std::size_t kChecksum = 0x1E;   // 16 bits, little-endian

} // namespace quillet::layout
