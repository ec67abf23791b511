// Just enough JSON writing for the tool's one-object-per-line output.
#pragma once

#include <string>
#include <string_view>

namespace quillet {

// A JSON string literal in which every byte of `bytes` stands for the code point of the same
// number, so titles with any bytes read back exactly.
std::string JsonBytesString(std::string_view bytes);

// A JSON string literal of text that is UTF-8 where it is valid, and bytes as code points where
// it is not (file names come in whatever the system gave us).
std::string JsonTextString(std::string_view text);

// The shortest decimal form that reads back as the same double.
std::string JsonNumber(double value);

} // namespace quillet
