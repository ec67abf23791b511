// Prints the texts of the controls in a running program's window, as the end-to-end scripts
// read what the program shows: one line a control, its class, a tab and its text in UTF-8.
// Usage: window-texts WINDOW_TITLE
// Exit status 1 when there is no such window.
#include "ui/Win32.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <string>

namespace {

// The text as the control itself gives it, from another process: WM_GETTEXT is carried over.
std::wstring TextOf(HWND control) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length))
        return {};
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(control, WM_GETTEXT, text.size(),
                             reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, 2000,
                             &copied))
        return {};
    text.resize(copied);
    return text;
}

std::string Utf8(const std::wstring& text) {
    if (text.empty())
        return {};
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), length,
                        nullptr, nullptr);
    return utf8;
}

BOOL CALLBACK PrintControl(HWND control, LPARAM) {
    char className[256] = {};
    GetClassNameA(control, className, sizeof className);
    const std::string line = std::string(className) + '\t' + Utf8(TextOf(control)) + '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
    return TRUE;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: window-texts WINDOW_TITLE\n");
        return 2;
    }
    HWND window = FindWindowA(nullptr, argv[1]);
    if (window == nullptr) {
        std::fprintf(stderr, "window-texts: no window titled %s\n", argv[1]);
        return 1;
    }
    _setmode(_fileno(stdout), _O_BINARY); // lines end in LF, as the scripts read them
    EnumChildWindows(window, PrintControl, 0);
    return 0;
}
