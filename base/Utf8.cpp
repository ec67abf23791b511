#include "base/Utf8.h"

#include <cstdint>

namespace quillet {

namespace {

void AppendCodePointOfByte(std::string& text, char c) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
        text += c;
    } else {
        text += static_cast<char>(0xC0 | (byte >> 6));
        text += static_cast<char>(0x80 | (byte & 0x3F));
    }
}

// Length of the valid UTF-8 sequence starting at text[i], or 0 when there is none.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    std::uint32_t codePoint = 0;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (byte(i + k) & 0x3F);
    }
    const bool overlong =
        (length == 3 && codePoint < 0x800) || (length == 4 && codePoint < 0x10000);
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    if (overlong || surrogate || codePoint > 0x10FFFF)
        return 0;
    return length;
}

} // namespace

std::string BytesAsText(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (const char c : bytes)
        AppendCodePointOfByte(text, c);
    return text;
}

std::string TextAsUtf8(std::string_view text) {
    std::string utf8;
    utf8.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (const std::size_t length = Utf8SequenceLength(text, i)) {
            utf8.append(text.substr(i, length));
            i += length;
        } else {
            AppendCodePointOfByte(utf8, text[i]);
            ++i;
        }
    }
    return utf8;
}

} // namespace quillet
