// Patches and images read from files, and what applying a patch is said to have done: the
// part of patching that quillet-fix and the main window share, so that both read, choose and
// say alike.
#pragma once

#include "rom/PatchApply.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quillet {

// No patch or image for a cartridge comes near this; a larger file is no such thing, and is
// refused before it is read.
inline constexpr std::uint64_t kLargestPatchInput = 64 * 1024 * 1024;

// The whole of a file a patch is read from or made from (`what`: "a patch"). Throws
// EPatchRefused for a file over kLargestPatchInput, EFOpenError or EReadFailure when it cannot
// be read.
std::vector<std::uint8_t> ReadPatchInput(const std::string& path, const char* what);

// The whole of an image file that is to be patched or repaired. Throws ERepairRefused for one
// with more data than a cartridge holds, before reading it.
std::vector<std::uint8_t> ReadImageFile(const std::string& path);

// Reads the patch at `patchPath` and applies it to `image` the way asked. Throws
// EPatchRefused, or Exception when the patch cannot be read.
PatchOutcome ApplyPatchFile(const std::string& patchPath, std::span<const std::uint8_t> image,
                            PatchWay way = PatchWay::Choose);

// The lines that say what the patch did or would do, notes included.
std::vector<std::string> DescribePatchLines(const PatchOutcome& outcome, bool made);

} // namespace quillet
