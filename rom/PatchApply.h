// Applying a patch to an image that may have a copier header in front of its data. Today's
// patches are made for the data alone, older IPS patches often for the file with its header:
// BPS and UPS say by their source CRC32 which they are for, and for IPS the result decides.
// Both front ends apply patches through here.
#pragma once

#include "rom/PatchFormats.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quillet {

enum class PatchWay {
    Choose, // as the patch's CRC32 or, for IPS, the result's internal checksum says
    File,   // to the file as it is
    Data,   // to the data without a copier header, the header put back in front
};

enum class PatchTarget {
    File,
    Data,        // the data without the copier header, which is then put back
    AddedHeader, // an IPS patch for images with a copier header, applied to one without
};

struct PatchOutcome {
    PatchFormat format = PatchFormat::Ips;
    std::vector<std::uint8_t> image;
    PatchTarget target = PatchTarget::File;
    // Why the patch went there, a clause.
    std::string reason;
    bool unchecked = false; // an IPS patch whose right place could not be told
    // The copier header's blocks count of 8 KiB, set for the new data size.
    std::optional<std::uint16_t> copierBlocks;
    std::vector<std::string> notes; // sentences
};

// Applies `patch` to `image` the way asked, or throws EPatchRefused.
PatchOutcome ApplyPatch(std::span<const std::uint8_t> image, std::span<const std::uint8_t> patch,
                        PatchWay way = PatchWay::Choose);

// What was done, or with `made` false what would be done, without the notes: "applied the BPS
// patch to the data without the copier header: ...".
std::string DescribePatching(const PatchOutcome& outcome, bool made);

// Whether the internal checksum that the analysis finds matches the data's sum, as
// quillet-info --verify checks it.
bool InternalChecksumMatches(std::span<const std::uint8_t> image);

} // namespace quillet
