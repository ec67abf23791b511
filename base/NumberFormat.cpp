#include "base/NumberFormat.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace quillet {

std::string FormatDecimal(std::int64_t value) {
    return std::to_string(value);
}

std::string FormatByteCount(std::uint64_t bytes) {
    constexpr std::uint64_t kKiB = 1024;
    constexpr std::uint64_t kMiB = 1024 * kKiB;
    if (bytes >= kMiB && bytes % kMiB == 0)
        return std::to_string(bytes / kMiB) + " MiB";
    if (bytes >= kKiB && bytes % kKiB == 0)
        return std::to_string(bytes / kKiB) + " KiB";
    return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

namespace {

constexpr int kSignificantDigits = 15;

// The value rounded to 15 significant digits: the digits without trailing zeros, and the
// decimal exponent of the first one.
struct Rounded {
    std::string digits;
    int exponent = 0;
};

Rounded RoundToSignificant(double magnitude) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*e", kSignificantDigits - 1, magnitude);
    Rounded rounded;
    const char* p = buffer;
    for (; *p != 'e'; ++p) {
        if (*p != '.')
            rounded.digits.push_back(*p);
    }
    rounded.exponent = std::atoi(p + 1);
    while (rounded.digits.size() > 1 && rounded.digits.back() == '0')
        rounded.digits.pop_back();
    return rounded;
}

} // namespace

std::string FormatReal(double value, char decimalSeparator) {
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    if (value == 0)
        return "0";

    std::string text = value < 0 ? "-" : "";
    const Rounded r = RoundToSignificant(std::fabs(value));
    const int digitCount = static_cast<int>(r.digits.size());

    const bool fixed = r.exponent >= -4 && r.exponent < kSignificantDigits;
    if (fixed) {
        if (r.exponent >= 0) {
            const int integerDigits = r.exponent + 1;
            if (digitCount <= integerDigits) {
                text += r.digits;
                text.append(static_cast<std::size_t>(integerDigits - digitCount), '0');
            } else {
                text += r.digits.substr(0, static_cast<std::size_t>(integerDigits));
                text += decimalSeparator;
                text += r.digits.substr(static_cast<std::size_t>(integerDigits));
            }
        } else {
            text += '0';
            text += decimalSeparator;
            text.append(static_cast<std::size_t>(-r.exponent - 1), '0');
            text += r.digits;
        }
        return text;
    }

    text += r.digits[0];
    if (digitCount > 1) {
        text += decimalSeparator;
        text += r.digits.substr(1);
    }
    text += 'E';
    text += std::to_string(r.exponent);
    return text;
}

std::string FormatHex(std::uint32_t value, int digits) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*X", digits, static_cast<unsigned>(value));
    return buffer;
}

} // namespace quillet
