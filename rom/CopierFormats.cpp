#include "rom/CopierFormats.h"

#include "base/Exceptions.h"
#include "rom/HeaderLayout.h"

#include <algorithm>

namespace quillet {

namespace {

using namespace layout;

constexpr std::uint64_t kHalfBank = kInterleaveBank / 2;
constexpr std::size_t kHalf = kHalfBank; // in memory
constexpr std::size_t kBank = kInterleaveBank;

bool HasText(std::span<const std::uint8_t> bytes, std::size_t at, std::string_view text) {
    return bytes.size() >= at + text.size() &&
           std::equal(
               text.begin(), text.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
               [](char c, std::uint8_t byte) { return static_cast<std::uint8_t>(c) == byte; });
}

void CheckBanks(std::span<const std::uint8_t> data) {
    if (!CanInterleave(data.size()))
        throw ERangeError();
}

} // namespace

const char* CopierFormatName(CopierFormat format) {
    switch (format) {
    case CopierFormat::SuperWildCard:
        return "Super Wild Card";
    case CopierFormat::ProFighter:
        return "Pro Fighter";
    case CopierFormat::GameDoctorSf3:
        return "Game Doctor SF3";
    case CopierFormat::SuperUfo:
        return "Super UFO";
    case CopierFormat::Unknown:
        break;
    }
    return "unknown";
}

bool HasSwcSignature(std::span<const std::uint8_t> header) {
    return header.size() >= kSwcSignature + kSwcSignatureBytes.size() &&
           std::equal(kSwcSignatureBytes.begin(), kSwcSignatureBytes.end(),
                      header.begin() + kSwcSignature);
}

bool LooksLikeProFighter(std::span<const std::uint8_t> header) {
    return std::ranges::all_of(
        kFigZeroBytes, [&](std::size_t at) { return at < header.size() && header[at] == 0; });
}

CopierFormat IdentifyCopierHeader(std::span<const std::uint8_t> header) {
    // The signed formats first: a Super UFO header of a HiROM game has the Pro Fighter's zeros.
    if (HasText(header, kGameDoctorSignature, kGameDoctorSignatureText))
        return CopierFormat::GameDoctorSf3;
    if (HasText(header, kSuperUfoSignature, kSuperUfoSignatureText))
        return CopierFormat::SuperUfo;
    if (header.size() == kCopierHeaderSize) {
        if (HasSwcSignature(header))
            return CopierFormat::SuperWildCard;
        if (LooksLikeProFighter(header))
            return CopierFormat::ProFighter;
    }
    return CopierFormat::Unknown;
}

bool CanInterleave(std::uint64_t dataSize) {
    return dataSize > 0 && dataSize % kInterleaveBank == 0;
}

std::uint64_t InterleavedOffset(std::uint64_t offset, std::uint64_t dataSize) {
    const std::uint64_t bank = offset / kInterleaveBank;
    const std::uint64_t within = offset % kInterleaveBank;
    if (within >= kHalfBank)
        return bank * kHalfBank + (within - kHalfBank);
    return dataSize / 2 + bank * kHalfBank + within;
}

std::vector<std::uint8_t> Deinterleave(std::span<const std::uint8_t> data) {
    CheckBanks(data);
    const std::size_t half = data.size() / 2;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(data.size());
    for (std::size_t at = 0; at < half; at += kHalf) {
        const auto lower = data.subspan(half + at, kHalf);
        const auto upper = data.subspan(at, kHalf);
        bytes.insert(bytes.end(), lower.begin(), lower.end());
        bytes.insert(bytes.end(), upper.begin(), upper.end());
    }
    return bytes;
}

std::vector<std::uint8_t> Interleave(std::span<const std::uint8_t> data) {
    CheckBanks(data);
    const std::size_t half = data.size() / 2;
    std::vector<std::uint8_t> bytes(data.size());
    for (std::size_t bank = 0; bank < data.size() / kBank; ++bank) {
        const auto lower = data.subspan(bank * kBank, kHalf);
        const auto upper = data.subspan(bank * kBank + kHalf, kHalf);
        std::ranges::copy(upper, bytes.begin() + static_cast<std::ptrdiff_t>(bank * kHalf));
        std::ranges::copy(lower, bytes.begin() + static_cast<std::ptrdiff_t>(half + bank * kHalf));
    }
    return bytes;
}

} // namespace quillet
