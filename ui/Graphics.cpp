#include "ui/Graphics.h"

#include "base/Exceptions.h"

#include <cstring>

namespace quillet::ui {

void TFont::Set(std::string name, int height, FontStyle style) {
    name_ = std::move(name);
    height_ = height;
    style_ = style;
    handle_.Reset();
    OnChange.Emit();
}

void TFont::SetSize(int points) {
    const WindowDC screen(nullptr);
    const int pixelsPerInch =
        screen.Get() != nullptr ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : 96;
    Set(name_, -MulDiv(points, pixelsPerInch, 72), style_);
}

HFONT TFont::Handle() const {
    if (handle_.Get() == nullptr) {
        LOGFONTA font{};
        font.lfHeight = height_;
        font.lfWeight = style_ == FontStyle::Bold ? FW_BOLD : FW_NORMAL;
        font.lfItalic = style_ == FontStyle::Italic ? TRUE : FALSE;
        font.lfCharSet = DEFAULT_CHARSET;
        font.lfQuality = DEFAULT_QUALITY;
        std::strncpy(font.lfFaceName, name_.c_str(), LF_FACESIZE - 1);
        HFONT made = CreateFontIndirectA(&font);
        if (made == nullptr)
            throw Exception("Out of system resources");
        handle_ = GdiHandle<HFONT>(made, true);
    }
    return handle_.Get();
}

TBitmap::TBitmap(int width, int height) : width_(width), height_(height) {
    stride_ = (width * 3 + 3) / 4 * 4;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP handle = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (handle == nullptr)
        throw Exception("Out of system resources");
    handle_ = GdiHandle<HBITMAP>(handle, true);
    bits_ = static_cast<std::uint8_t*>(bits);
    std::memset(bits_, 0, static_cast<std::size_t>(stride_) * static_cast<std::size_t>(height));
}

std::uint8_t* TBitmap::Row(int y) {
    return bits_ + static_cast<std::ptrdiff_t>(y) * stride_;
}

void TBitmap::SetPixel(int x, int y, std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return;
    std::uint8_t* pixel = Row(y) + 3 * x;
    pixel[0] = blue;
    pixel[1] = green;
    pixel[2] = red;
}

void TBitmap::CopyFrom(const TBitmap& source) {
    if (source.Empty()) {
        *this = TBitmap();
        return;
    }
    if (width_ != source.width_ || height_ != source.height_ || Empty())
        *this = TBitmap(source.width_, source.height_);
    GdiFlush();
    std::memcpy(bits_, source.bits_,
                static_cast<std::size_t>(stride_) * static_cast<std::size_t>(height_));
}

void TBitmap::Draw(HDC dc, int x, int y) const {
    if (Empty())
        return;
    GdiFlush();
    const MemoryDC source(dc);
    const Selection bitmap(source.Get(), handle_.Get());
    BitBlt(dc, x, y, width_, height_, source.Get(), 0, 0, SRCCOPY);
}

void TBitmap::DrawTransparent(HDC dc, int x, int y, int sourceX, int width) const {
    if (Empty())
        return;
    GdiFlush();
    const MemoryDC source(dc);
    const Selection bitmap(source.Get(), handle_.Get());
    const COLORREF transparent = GetPixel(source.Get(), sourceX, height_ - 1);
    TransparentBlt(dc, x, y, width, height_, source.Get(), sourceX, 0, width, height_, transparent);
}

} // namespace quillet::ui
