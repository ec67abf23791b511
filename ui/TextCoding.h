// Text from the ANSI code page the program works in, or from UTF-8 files, for the controls
// that show Unicode text.
#pragma once

#include <string>

namespace quillet::ui {

std::wstring AnsiToWide(const std::string& text);
std::wstring Utf8ToWide(const std::string& text);

} // namespace quillet::ui
