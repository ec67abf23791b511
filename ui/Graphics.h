// Fonts and bitmaps: GDI objects owned by the objects that describe them.
#pragma once

#include "base/Signal.h"
#include "ui/Handles.h"
#include "ui/Win32.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace quillet::ui {

enum class FontStyle { Regular, Bold, Italic };

// A font by face name and height (negative: character height in pixels, as Windows takes it).
// Changing it drops the handle and tells whoever listens.
class TFont {
public:
    TFont(std::string name = "MS Sans Serif", int height = -11,
          FontStyle style = FontStyle::Regular)
        : name_(std::move(name)), height_(height), style_(style) {}

    const std::string& Name() const { return name_; }
    int Height() const { return height_; }
    FontStyle Style() const { return style_; }
    void Set(std::string name, int height, FontStyle style = FontStyle::Regular);
    void SetName(std::string name) { Set(std::move(name), height_, style_); }
    // Size in points, at the screen's pixels per inch.
    void SetSize(int points);
    // The colour text is drawn in, where the user of the font draws it: the system's window
    // text colour unless one was set.
    COLORREF Color() const { return color_.value_or(GetSysColor(COLOR_WINDOWTEXT)); }
    bool HasColor() const { return color_.has_value(); }
    void SetColor(COLORREF color) { color_ = color; }
    // Takes another font's face, height and style; the handle and listeners stay this font's.
    void Assign(const TFont& other) { Set(other.name_, other.height_, other.style_); }

    HFONT Handle() const;
    // The face, height or style changed: the control showing the font, and whatever else
    // shows it, such as a label that sizes itself to its text.
    TSignal<> OnChange;

private:
    std::string name_;
    int height_;
    FontStyle style_;
    std::optional<COLORREF> color_;
    mutable GdiHandle<HFONT> handle_;
};

// A device-independent bitmap with 24-bit pixels in top-down BGR rows.
class TBitmap {
public:
    TBitmap() = default;
    TBitmap(int width, int height);

    int Width() const { return width_; }
    int Height() const { return height_; }
    HBITMAP Handle() const { return handle_.Get(); }
    bool Empty() const { return handle_.Get() == nullptr; }

    // Row `y` of the pixels, 3 bytes (blue, green, red) a pixel; rows are padded to 4 bytes.
    std::uint8_t* Row(int y);
    void SetPixel(int x, int y, std::uint8_t red, std::uint8_t green, std::uint8_t blue);
    // Takes the size and pixels of `source`.
    void CopyFrom(const TBitmap& source);
    // Draws the whole bitmap with its top left-hand corner at (x, y).
    void Draw(HDC dc, int x, int y) const;
    // Draws `width` columns from `sourceX` on, leaving out the pixels of the colour of the
    // bottom left-hand pixel of that part.
    void DrawTransparent(HDC dc, int x, int y, int sourceX, int width) const;

private:
    int width_ = 0;
    int height_ = 0;
    int stride_ = 0;
    std::uint8_t* bits_ = nullptr; // owned by the DIB section
    GdiHandle<HBITMAP> handle_;
};

} // namespace quillet::ui
