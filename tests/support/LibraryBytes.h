// Image and sound library files written byte by byte, independently of the loaders.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillet::testing {

using Bytes = std::vector<std::uint8_t>;

inline void Append32(Bytes& bytes, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

struct ImageSpec {
    std::int32_t width;
    std::int32_t height;
    std::size_t pixelBytes; // as many as the file should hold for this image
};

// Reserved words and palette get recognisable values so a round trip that drops them shows.
inline Bytes ImageLibrary(const std::string& signature, const std::vector<ImageSpec>& images,
                          std::optional<std::int32_t> count = std::nullopt) {
    Bytes bytes(signature.begin(), signature.end());
    Append32(bytes,
             static_cast<std::uint32_t>(count.value_or(static_cast<std::int32_t>(images.size()))));
    Append32(bytes, 0xCAFEF00D);
    for (int i = 0; i < 256; ++i) {
        for (int part = 0; part < 4; ++part)
            bytes.push_back(static_cast<std::uint8_t>(i * (part + 1)));
    }
    std::uint8_t next = 1;
    for (const ImageSpec& image : images) {
        Append32(bytes, static_cast<std::uint32_t>(image.width));
        Append32(bytes, static_cast<std::uint32_t>(image.height));
        for (int i = 0; i < 12; ++i)
            bytes.push_back(static_cast<std::uint8_t>(0xA0 + i));
        for (std::size_t i = 0; i < image.pixelBytes; ++i)
            bytes.push_back(next++);
    }
    return bytes;
}

struct SoundSpec {
    std::int32_t size;
    std::size_t dataBytes;
    std::int32_t pan = 0;
    std::int32_t volume = 0;
};

inline Bytes SoundLibrary(const std::string& signature, const std::vector<SoundSpec>& sounds,
                          std::optional<std::int32_t> count = std::nullopt) {
    Bytes bytes(signature.begin(), signature.end());
    Append32(bytes,
             static_cast<std::uint32_t>(count.value_or(static_cast<std::int32_t>(sounds.size()))));
    std::uint8_t next = 1;
    for (const SoundSpec& sound : sounds) {
        // PCM, mono, 22050 Hz, 8 bits, then the extra size and the two bytes after the format.
        const Bytes format = {1, 0, 1, 0, 0x22, 0x56, 0, 0, 0x22, 0x56,
                              0, 0, 1, 0, 8,    0,    0, 0, 0xEE, 0xFF};
        bytes.insert(bytes.end(), format.begin(), format.end());
        for (int i = 0; i < 12; ++i)
            bytes.push_back(static_cast<std::uint8_t>(0xB0 + i));
        Append32(bytes, static_cast<std::uint32_t>(sound.pan));
        Append32(bytes, static_cast<std::uint32_t>(sound.volume));
        Append32(bytes, static_cast<std::uint32_t>(sound.size));
        for (std::size_t i = 0; i < sound.dataBytes; ++i)
            bytes.push_back(next++);
    }
    return bytes;
}

} // namespace quillet::testing
