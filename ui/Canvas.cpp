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
    HGDIOBJ previous = SelectObject(dc, font_.Handle());
    SetTextColor(dc, font_.Color());
    if (brush_.Style == TBrushStyle::Clear) {
        SetBkMode(dc, TRANSPARENT);
    } else {
        SetBkMode(dc, OPAQUE);
        SetBkColor(dc, brush_.Color);
    }
    ::TextOutA(dc, x, y, text.data(), static_cast<int>(text.size()));
    SelectObject(dc, previous);
}

} // namespace quillet::ui
