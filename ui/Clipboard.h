// Text on the clipboard, for the other programs to paste.
#pragma once

#include "ui/Win32.h"

#include <string>

namespace quillet::ui {

// Puts `text` on the clipboard as Unicode text, which Windows offers as ANSI text too.
// Raises when the clipboard cannot be opened or the memory not had.
void SetClipboardText(HWND owner, const std::wstring& text);

// What the clipboard holds as Unicode text; empty when it holds none.
std::wstring ClipboardText(HWND owner);

} // namespace quillet::ui
