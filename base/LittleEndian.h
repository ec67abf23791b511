// Numbers in files are little-endian whatever the machine.
#pragma once

#include <cstdint>
#include <span>

namespace quillet {

inline std::uint16_t GetUInt16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

inline std::uint32_t GetUInt32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

inline std::int32_t GetInt32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::int32_t>(GetUInt32(bytes, at));
}

inline void PutUInt32(std::span<std::uint8_t> bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

inline void PutInt32(std::span<std::uint8_t> bytes, std::size_t at, std::int32_t value) {
    PutUInt32(bytes, at, static_cast<std::uint32_t>(value));
}

} // namespace quillet
