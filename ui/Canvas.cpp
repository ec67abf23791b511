#include "ui/Canvas.h"

#include "base/Exceptions.h"

namespace quillet::ui {

HDC TCanvas::Handle() {
    if (dc_ == nullptr)
        CreateHandle();
    if (dc_ == nullptr)
        throw Exception("Canvas does not allow drawing");
    return dc_;
}

void TCanvas::SetHandle(HDC dc) {
    dc_ = dc;
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
    HDC dc = Handle();
    // The font goes back out after each call, so that changing it never deletes a font the
    // device context still holds.
    const Selection font(dc, font_.Handle());
    SetTextColor(dc, font_.Color());
    if (brush_.Style == TBrushStyle::Clear) {
        SetBkMode(dc, TRANSPARENT);
    } else {
        SetBkMode(dc, OPAQUE);
        SetBkColor(dc, brush_.Color);
    }
    ::TextOutA(dc, x, y, text.data(), static_cast<int>(text.size()));
}

TPaintCanvas::~TPaintCanvas() {
    if (begun_)
        EndPaint(window_, &paint_);
}

void TPaintCanvas::CreateHandle() {
    if (begun_)
        return;
    if (HDC dc = BeginPaint(window_, &paint_)) {
        begun_ = true;
        SetHandle(dc);
    }
}

const RECT& TPaintCanvas::ClipRect() {
    CreateHandle();
    return paint_.rcPaint;
}

} // namespace quillet::ui
