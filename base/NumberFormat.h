// Number-to-text conversions in the program's own formats.
#pragma once

#include <cstdint>
#include <string>

namespace quillet {

// Decimal digits with a leading minus sign when negative.
std::string FormatDecimal(std::int64_t value);

// The general real format: at most 15 significant digits, trailing zeros dropped, the separator
// only when there is a fraction. Fixed notation for 0 and for magnitudes from 0.0001 up to 15
// integer digits, scientific ("1.5E-5", "1E15") otherwise.
std::string FormatReal(double value, char decimalSeparator = '.');

// A count of bytes in the largest unit that divides it: "8 MiB", "512 KiB", "1 byte", "600 bytes".
std::string FormatByteCount(std::uint64_t bytes);

// Upper-case hexadecimal with at least `digits` digits, zero-padded.
std::string FormatHex(std::uint32_t value, int digits);

} // namespace quillet
