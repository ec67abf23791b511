// Names for the codes of a cartridge's internal header.
#pragma once

#include <cstdint>
#include <string>

namespace quillet {

// Country and video standard, or "Unknown (ID:0xNN)".
std::string CountryName(std::uint8_t code);

// Licensee company, or "Unknown Company (ID:0xNN)". Code 0 is "<Invalid License Code>".
std::string LicenseeName(std::uint8_t code);

// Special chips and RAM of a cartridge type, or "Unknown (ID:0xNN)" for types without a name.
std::string SpecialChipsName(std::uint8_t romType);

} // namespace quillet
