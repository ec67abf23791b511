// The program's pictures, drawn when it starts: the animated logo, the window icon and the
// button glyphs. Plain pixels here; the windows turn them into bitmaps.
#pragma once

#include <cstdint>
#include <vector>

namespace quillet::app {

struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb; // width * height pixels, red, green, blue, top row first

    RgbImage(int w, int h) : width(w), height(h), rgb(static_cast<std::size_t>(w * h * 3)) {}
    void Set(int x, int y, std::uint32_t color);
    std::uint32_t Get(int x, int y) const;
};

inline constexpr int kFrameCount = 32;
inline constexpr int kFrameWidth = 76;
inline constexpr int kFrameHeight = 35;

// Frame `index` (0 to 31) of the logo animation.
RgbImage AnimationFrame(int index);

// The 32 by 32 window icon, in colours that a 256-colour palette holds exactly.
RgbImage WindowIcon();

enum class Glyph { Open, Ok, Close, StatusNone, StatusValid, StatusMinor, StatusUnusable };

// A button glyph: an enabled and a disabled 16 by 16 image side by side (32 by 16) for the push
// buttons, or one 32 by 32 image for the status buttons. The bottom left-hand pixel is the
// transparent colour.
RgbImage GlyphImage(Glyph glyph);

} // namespace quillet::app
