// The DAT match of data that does not match as it is: the forms copiers and dumpers leave data
// in (a copier header left in front, banks interleaved, an overdump, padding) undone one step
// or two at a time, and, when none of them matches, the DAT's ROM named most like the file.
// Pure computation over the data's bytes; only images that do not match pay for it.
#pragma once

#include "dat/DatFile.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// In the order they are tried, and applied when two are.
enum class DatStep { StripHeader, Deinterleave, TrimOverdump, TrimPadding };

// "strip-header", "deinterleave", "trim-overdump", "trim-padding".
const char* DatStepCode(DatStep step);

// The bytes after the step, or nothing when it does not apply to `data`:
// - StripHeader takes off what lies over whole 32 KiB when that is a multiple of 512 bytes;
// - Deinterleave needs whole 64 KiB banks;
// - TrimOverdump cuts to the size the internal header declares when the surplus repeats
//   earlier data;
// - TrimPadding cuts to the declared size, or to the largest power of two below the data's
//   size, when all of the surplus is one byte.
std::optional<std::vector<std::uint8_t>> ApplyDatStep(DatStep step,
                                                      std::span<const std::uint8_t> data);

struct DatStepsMatch {
    std::vector<DatStep> steps;
    std::vector<std::uint8_t> bytes; // the data after them: the DAT's file
    DatHit hit;
};

// The first of the steps alone, then of the pairs in order, after which `data` matches.
// `details`, when given, are those whose data `data` is, as MatchInDatsVia takes them: they
// spare a scan of it.
std::optional<DatStepsMatch> FindViaSteps(const DatCollection& dats,
                                          std::span<const std::uint8_t> data,
                                          const ImageDetails* details = nullptr);

// The words a name is compared in: without folders, archive, extension, bracketed tags ((...)
// and [...]), case and punctuation.
std::string NameForComparison(std::string_view name);

// The index in dats.Roms() of the ROM whose name is closest to `fileName`, when it is close:
// at most one edit (a letter added, dropped or changed) for every five letters of the longer
// name, compared as NameForComparison gives them.
std::optional<std::size_t> NearestByName(const DatCollection& dats, std::string_view fileName);

// MatchInDats, and where the data does not match as it is, the steps, and then the nearest
// ROM by name; `data` is the bytes details.data hashes, `fileName` the image's name.
DatMatch MatchInDatsVia(const DatCollection& dats, const ImageDetails& details,
                        std::span<const std::uint8_t> data, std::string_view fileName);

} // namespace quillet
