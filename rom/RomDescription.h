// The analysis result in the words and units the program shows it in.
#pragma once

#include "rom/SnesImageInfo.h"

#include <string>

namespace quillet {

// "HiRom" or "LoRom".
std::string RomFormatText(const SNESImageInfo& info);

// "64kbits", or "(None)" for cartridge types without battery-backed SRAM.
std::string SramSizeText(const SNESImageInfo& info);

// "8Mbits (8Mbits actual size)": the header's size, then the size of the data in the file.
// Raises EIntOverflow when the file size minus the header size leaves 32 bits.
std::string RomSizeText(const SNESImageInfo& info, char decimalSeparator);

// "1572864 bytes (1536 KB, 1.5 MB)", megabytes rounded to two decimals, halves to even.
std::string FileSizeText(const SNESImageInfo& info, char decimalSeparator);

// Names of the header codes in the record. A code outside 0 to 255 cannot come from a header
// byte and raises ERangeError rather than naming some other code.
std::string SpecialChipsText(const SNESImageInfo& info);
std::string CountryText(const SNESImageInfo& info);
std::string ManufacturerText(const SNESImageInfo& info);

// The explanation of a verdict, as the status buttons show it; empty for an unknown one.
std::string StatusText(std::int32_t status);

} // namespace quillet
