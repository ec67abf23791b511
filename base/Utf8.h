// Text is UTF-8 throughout the program; these convert where it meets other encodings.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace quillet {

// A file name as a path. std::filesystem reads a plain std::string in the C library's locale,
// which on Windows is not UTF-8 even when the process's code page is: the name would come out
// as other characters, and name another file or none.
inline std::filesystem::path PathFromUtf8(std::string_view name) {
    return std::filesystem::path(std::u8string(name.begin(), name.end()));
}

inline std::string Utf8FromPath(const std::filesystem::path& path) {
    const std::u8string name = path.u8string();
    return std::string(name.begin(), name.end());
}

// Bytes of no known encoding, such as a cartridge's title, as UTF-8 text: each byte the code
// point of the same number, so that different bytes stay different text.
std::string BytesAsText(std::string_view bytes);

// Text that should be UTF-8 but may not be (a file name as the system gave it): valid UTF-8
// stays, and each byte of what is not becomes the code point of its number.
std::string TextAsUtf8(std::string_view text);

} // namespace quillet
