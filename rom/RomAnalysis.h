// Analysis of a SNES cartridge image: copier header, memory map and internal header.
#pragma once

#include "base/ByteSource.h"
#include "base/TextSink.h"
#include "rom/SnesImageInfo.h"

#include <cstdint>
#include <span>
#include <string>

namespace quillet {

// Texts of the copier-header outcomes.
inline constexpr const char* kFormatSwc = "Super Wild Card (SWC)";
inline constexpr const char* kFormatFig = "Profighter (FIG)";
inline constexpr const char* kFormatUnknownHeader = "Unknown 512-header based Image";
inline constexpr const char* kFormatRaw = "Unheadered image (Raw copy)";

// Analyses the image file at `path` into `info`, tracing to `log`. Bad images never raise: the
// verdict goes to info.Status and the findings to info.Errors. A file that cannot be opened or
// read gives Status 3 and a finding that says why, and the result is false. The one error that
// leaves the analysis is EIntOverflow for files too large for the 32-bit size arithmetic; the
// record then holds what was filled before it.
bool AnalyseRomImage(const std::string& path, SNESImageInfo& info, TextSink& log);

// The same over any byte source.
bool AnalyseRomImage(ByteSource& source, SNESImageInfo& info, TextSink& log);

// The analysis of an image in memory, into a fresh record, with no trace.
SNESImageInfo AnalyseImageBytes(std::span<const std::uint8_t> image);

} // namespace quillet
