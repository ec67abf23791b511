// The checksum a cartridge's internal header should hold, computed from the ROM data itself.
#pragma once

#include "base/ByteSource.h"

#include <cstdint>
#include <span>
#include <vector>

namespace quillet {

// A run of ROM data and how many times the cartridge's address space repeats it.
struct MirroredRun {
    std::uint64_t start = 0;
    std::uint64_t length = 0;
    std::uint64_t repeat = 1;
    bool operator==(const MirroredRun&) const = default;
};

// How data of `length` bytes fills the next power of two: a size that is not a power of two
// counts its last part repeated, the way cartridge hardware mirrors it (12 Mbit reads as
// 8 Mbit + 4 Mbit twice). Empty for no data.
std::vector<MirroredRun> MirroredRuns(std::uint64_t length);

// The sum of the bytes: what the checksum adds up, and a pass over every byte of an image.
std::uint64_t SumOfBytes(std::span<const std::uint8_t> bytes);

// The 16-bit sum of the ROM data from `dataStart` (after any copier header) to the end,
// mirrored as above. Throws EReadFailure when the source cannot be read.
std::uint16_t ComputeRomChecksum(ByteSource& source, std::uint64_t dataStart);

} // namespace quillet
