// Archives for tests, made with libarchive's writer: what a user's zip, 7z or gz file holds.
#pragma once

#include "archive/Archive.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quillet::testing {

struct ArchiveItem {
    std::string name; // UTF-8
    std::vector<std::uint8_t> bytes;
};

// The archive's bytes. A gz file holds the first item's bytes only. `options` go to
// archive_write_set_options, such as "7zip:compression=lzma2".
std::vector<std::uint8_t> MakeArchive(ArchiveFormat format, const std::vector<ArchiveItem>& items,
                                      const std::string& options = {});

// Sets every size a zip's headers give for the uncompressed data (local header, data
// descriptor, central directory) to `size`, as a forged or damaged zip would.
void ForgeZipSizes(std::vector<std::uint8_t>& zip, std::uint32_t size);

} // namespace quillet::testing
