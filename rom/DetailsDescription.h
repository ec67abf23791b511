// An image's details as labelled rows in groups, in the words both front ends show: the
// command-line tool prints them, the program lists them as field and value.
#pragma once

#include "rom/ImageDetails.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace quillet {

struct DetailRow {
    std::string field;
    std::string value;
    bool operator==(const DetailRow&) const = default;
};

struct DetailGroup {
    std::string title; // "Data", "File", "Cartridge", "Opinion", "Checksum", "Copier",
                       // "Deinterleaved", "Dat"
    std::vector<DetailRow> rows;
};

// The titles of the groups every image's details have, in the order shown.
inline constexpr std::array<const char*, 6> kDetailGroups = {"Data",    "File",     "Cartridge",
                                                             "Opinion", "Checksum", "Copier"};

// The groups in the order shown; "Deinterleaved" only for interleaved data, and "Dat" only
// when DAT files were consulted. Codes from the
// header are shown with dots for bytes that are not printable ASCII; game names from DAT files
// are UTF-8 as the files give them.
std::vector<DetailGroup> DescribeDetails(const ImageDetails& details,
                                         const std::optional<DatMatch>& dat);

} // namespace quillet
