// Making patches that turn one file into another.
#pragma once

#include "rom/PatchFormats.h"

#include <cstdint>
#include <span>
#include <vector>

namespace quillet {

// The largest file an IPS patch can describe: its offsets have 24 bits.
inline constexpr std::uint64_t kLargestIpsFile = 16 * 1024 * 1024;

// A BPS patch: what the target shares with the source, anywhere in it, is copied from there
// (matches found through a suffix array of the source), as are repeats of what the target has
// already made; only the rest is carried in the patch.
std::vector<std::uint8_t> MakeBps(std::span<const std::uint8_t> source,
                                  std::span<const std::uint8_t> target);

// An IPS patch: the bytes that differ at the same offsets, runs of one byte as RLE records, and
// a truncation size when the target is shorter. Throws EPatchRefused for a file over 16 MiB.
std::vector<std::uint8_t> MakeIps(std::span<const std::uint8_t> source,
                                  std::span<const std::uint8_t> target);

} // namespace quillet
