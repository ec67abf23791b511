#include "ui/TextCoding.h"

#include "ui/Win32.h"

namespace quillet::ui {

namespace {

std::wstring ToWide(UINT codePage, const std::string& text) {
    if (text.empty())
        return {};
    const int length =
        MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
    return wide;
}

} // namespace

std::wstring AnsiToWide(const std::string& text) {
    return ToWide(CP_ACP, text);
}

std::wstring Utf8ToWide(const std::string& text) {
    // Bytes that are not UTF-8 come out as U+FFFD rather than stopping the conversion.
    return ToWide(CP_UTF8, text);
}

} // namespace quillet::ui
