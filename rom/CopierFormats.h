// What cartridge copiers do to an image beyond the 512-byte header the analysis knows: headers
// of their own formats and sizes, and HiROM data stored with its bank halves apart. Pure
// computation over bytes, for the details and the repairs alike.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace quillet {

enum class CopierFormat { SuperWildCard, ProFighter, GameDoctorSf3, SuperUfo, Unknown };

// "Super Wild Card", "Pro Fighter", "Game Doctor SF3", "Super UFO", "unknown".
const char* CopierFormatName(CopierFormat format);

// The two tests of a 512-byte header that the analysis makes: the Super Wild Card's signature,
// and the zero bytes a Pro Fighter header leaves. Each needs the header's first 11 bytes.
bool HasSwcSignature(std::span<const std::uint8_t> header);
bool LooksLikeProFighter(std::span<const std::uint8_t> header);

// The format of a copier header of `header.size()` bytes. The signatures of the Game Doctor
// and the Super UFO count whatever the size; the Super Wild Card and Pro Fighter tests only
// for 512 bytes, the one size those copiers write.
CopierFormat IdentifyCopierHeader(std::span<const std::uint8_t> header);

// Interleaved HiROM data holds the upper 32 KiB halves of its 64 KiB banks first, then the
// lower halves. Data of a whole number of banks can be interleaved.
inline constexpr std::uint64_t kInterleaveBank = 0x10000;
bool CanInterleave(std::uint64_t dataSize);

// Where the byte at `offset` of the data as a cartridge holds it lies in interleaved data of
// `dataSize` bytes (CanInterleave(dataSize)).
std::uint64_t InterleavedOffset(std::uint64_t offset, std::uint64_t dataSize);

// The data as a cartridge holds it, from interleaved data, and back. Both take data for which
// CanInterleave holds, and throw ERangeError for any other.
std::vector<std::uint8_t> Deinterleave(std::span<const std::uint8_t> data);
std::vector<std::uint8_t> Interleave(std::span<const std::uint8_t> data);

} // namespace quillet
