#include "rom/RomDescription.h"

#include "base/Checked.h"
#include "base/NumberFormat.h"
#include "rom/RomTables.h"

#include <cmath>

namespace quillet {

namespace {

constexpr int kCartridgeTypeSram = 2;
constexpr int kCartridgeTypeDsp1Sram = 5;
constexpr double kBytesPerMegabit = 131072;
constexpr double kBytesPerMegabyte = 1048576;

} // namespace

std::string RomFormatText(const SNESImageInfo& info) {
    return info.HiRom ? "HiRom" : "LoRom";
}

std::string SramSizeText(const SNESImageInfo& info) {
    if (info.RomType != kCartridgeTypeSram && info.RomType != kCartridgeTypeDsp1Sram)
        return "(None)";
    return FormatDecimal(info.SramSizeKbits) + "kbits";
}

std::string RomSizeText(const SNESImageInfo& info, char decimalSeparator) {
    const std::int32_t dataBytes = CheckedSub(info.FileSizeBytes, info.HeaderSize);
    return FormatDecimal(info.RomSizeMbits) + "Mbits (" +
           FormatReal(dataBytes / kBytesPerMegabit, decimalSeparator) + "Mbits actual size)";
}

std::string FileSizeText(const SNESImageInfo& info, char decimalSeparator) {
    // nearbyint rounds halves to the even neighbour in the default rounding mode.
    const double hundredths = std::nearbyint(info.FileSizeBytes * 100.0 / kBytesPerMegabyte);
    return FormatDecimal(info.FileSizeBytes) + " bytes (" +
           FormatDecimal(info.FileSizeBytes / 1024) + " KB, " +
           FormatReal(hundredths * 0.01, decimalSeparator) + " MB)";
}

std::string SpecialChipsText(const SNESImageInfo& info) {
    return SpecialChipsName(RangeChecked<std::uint8_t>(info.RomType));
}

std::string CountryText(const SNESImageInfo& info) {
    return CountryName(RangeChecked<std::uint8_t>(info.CountryCode));
}

std::string ManufacturerText(const SNESImageInfo& info) {
    return LicenseeName(RangeChecked<std::uint8_t>(info.LicenseeCode));
}

std::string StatusText(std::int32_t status) {
    switch (status) {
    case kStatusNone:
        return "No SNES ROM Image has been loaded yet!";
    case kStatusValid:
        return "Valid SNES ROM Image loaded and ready.";
    case kStatusMinor:
        return "SNES Image loaded, Unknown format, or minor errors in image.";
    case kStatusUnusable:
        return "Image loaded, but fatal errors in ROM may prevent execution.";
    default:
        return "";
    }
}

} // namespace quillet
