// Plain value types of the text console, free of any window-system header, so that the grid and
// its output logic build and run natively.
#pragma once

#include <cstdint>

namespace quillet {

// A colour: 0x00BBGGRR for an RGB colour, or clSystemColor plus a system colour index, which the
// drawing side turns into RGB.
using TColor = std::uint32_t;

inline constexpr TColor clSystemColor = 0xFF000000u;
inline constexpr TColor clWindow = clSystemColor | 5u;     // COLOR_WINDOW
inline constexpr TColor clWindowText = clSystemColor | 8u; // COLOR_WINDOWTEXT

// Client pixels; right and bottom are exclusive, as the window system counts them.
struct Rect {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0;
    std::int32_t Bottom = 0;

    friend bool operator==(const Rect&, const Rect&) = default;
};

struct TCrtCell {
    char Ch = ' ';
    TColor BackColor = clWindow;
    TColor TextColor = clWindowText;

    friend bool operator==(const TCrtCell&, const TCrtCell&) = default;
};

// What a carriage return does: CRLF also feeds a line, CR only returns to column 1.
enum class TLineBreak : std::uint8_t { CRLF = 0, CR = 1 };

// The console's private message, posted to its own window to repaint it after scrolling.
inline constexpr std::uint32_t WM_SCROLLREPAINT = 0x0400 + 100; // WM_USER + 100

} // namespace quillet
