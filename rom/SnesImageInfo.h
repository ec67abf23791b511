// The result of analysing one SNES cartridge image file. A new record is all zeros and empty;
// an analysis overwrites what its path decides and leaves the other fields as they were.
#pragma once

#include <cstdint>
#include <string>

namespace quillet {

enum RomStatus : std::int32_t {
    kStatusNone = 0,     // nothing analysed yet
    kStatusValid = 1,    // valid SNES ROM image
    kStatusMinor = 2,    // unknown copier format, or minor errors
    kStatusUnusable = 3, // likely unusable
};

struct SNESImageInfo {
    std::string Name; // the 21 title bytes exactly as stored
    std::int32_t CopierBlocks = 0;
    std::int32_t RomSizeMbits = 0;
    std::int32_t FileSizeBytes = 0;
    std::int32_t SramSizeKbits = 0;
    bool HiRom = false;
    bool CopierHeaderKnown = false;
    std::int32_t CountryCode = 0;
    std::int32_t LicenseeCode = 0;
    std::int32_t RomType = 0;
    std::int32_t Status = kStatusNone;
    std::string FileFormat;
    bool SwcMode0 = false;
    bool SwcSramMode21 = false;
    bool SwcDramMode21 = false;
    std::int32_t HeaderSize = 0;
    std::string Errors; // each finding followed by CR LF, the makeup-byte note excepted
    std::int32_t Complement = 0;
    std::int32_t Checksum = 0;
    double Version = 0;

    bool operator==(const SNESImageInfo&) const = default;
};

} // namespace quillet
