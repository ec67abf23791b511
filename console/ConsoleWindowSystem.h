// Everything the console's grid and output ask of the control's window. The Win32 control
// implements it over its own window handle; tests record the calls.
#pragma once

#include "console/CrtTypes.h"

#include <cstdint>

namespace quillet {

class ConsoleWindowSystem {
public:
    virtual ~ConsoleWindowSystem() = default;

    // Before the window exists, output changes only the grid: no repaints, no messages, no caret.
    virtual bool HasWindow() const = 0;

    // InvalidateRect on the control's window; never with background erase, since painting
    // fills every cell it draws.
    virtual void Invalidate(const Rect& rect) = 0;
    // UpdateWindow: paints what is invalid before returning.
    virtual void Update() = 0;
    virtual Rect ClientRect() const = 0;

    // PeekMessage with PM_REMOVE for WM_SCROLLREPAINT on the control's window; true when one
    // was queued and has now been taken out.
    virtual bool TakeQueuedScrollRepaint() = 0;
    // PostMessage of WM_SCROLLREPAINT to the control's window, both parameters 0.
    virtual void PostScrollRepaint() = 0;

    // MessageBeep(0).
    virtual void Beep() = 0;

    // The control's size and own background colour, as the class library keeps them.
    virtual std::int32_t Width() const = 0;
    virtual std::int32_t Height() const = 0;
    virtual void SetWidth(std::int32_t width) = 0;
    virtual void SetHeight(std::int32_t height) = 0;
    virtual void SetColor(TColor color) = 0;
    // Fills client pixels through the control's canvas at once, outside any paint cycle.
    virtual void FillRect(const Rect& rect, TColor color) = 0;
    // Runs the control's Paint at once, outside the paint cycle (used only while designing).
    virtual void PaintNow() = 0;

    // The caret: a solid block, placed in client pixels.
    virtual void CreateCaret(std::int32_t width, std::int32_t height) = 0;
    virtual void SetCaretPos(std::int32_t x, std::int32_t y) = 0;
    virtual void ShowCaret() = 0;
    virtual void DestroyCaret() = 0;
};

} // namespace quillet
