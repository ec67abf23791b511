// A drawing surface over a device context that someone else provides: fonts, a brush and text.
#pragma once

#include "ui/Graphics.h"
#include "ui/Handles.h"
#include "ui/Win32.h"

#include <string>

namespace quillet::ui {

enum class TBrushStyle { Solid, Clear };

struct TBrush {
    TBrushStyle Style = TBrushStyle::Solid;
    COLORREF Color = RGB(255, 255, 255);
};

class TCanvas {
public:
    TCanvas() = default;
    virtual ~TCanvas() = default;
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    TFont& Font() { return font_; }
    TBrush& Brush() { return brush_; }

    // The device context drawing goes to: asks CreateHandle for one when there is none, and
    // fails with "Canvas does not allow drawing" when it still has none.
    HDC Handle();
    // Takes a device context to draw on, or drops the current one (null).
    void SetHandle(HDC dc);

    // Text with its top left-hand corner at (x, y), in the font's colour, over the brush
    // colour unless the brush is clear.
    void TextOut(int x, int y, const std::string& text);

protected:
    // Called when drawing needs a device context and the canvas has none.
    virtual void CreateHandle() {}

private:
    TFont font_{"Arial", -11};
    TBrush brush_;
    HDC dc_ = nullptr;
};

// The canvas of one WM_PAINT: painting begins (BeginPaint) the first time it is drawn on and
// ends (EndPaint) with the canvas, so a handler that leaves the painting to the window's own
// procedure never begins it.
class TPaintCanvas : public TCanvas {
public:
    explicit TPaintCanvas(HWND window) : window_(window) {}
    ~TPaintCanvas() override;
    bool Begun() const { return begun_; }
    // The part of the window to paint; begins painting if it has not begun.
    const RECT& ClipRect();

protected:
    void CreateHandle() override;

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    bool begun_ = false;
};

} // namespace quillet::ui
