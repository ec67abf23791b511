#include "app/PictureBitmaps.h"

namespace quillet::app {

ui::TBitmap ToBitmap(const RgbImage& image) {
    ui::TBitmap bitmap(image.width, image.height);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const std::uint32_t c = image.Get(x, y);
            bitmap.SetPixel(x, y, static_cast<std::uint8_t>(c >> 16),
                            static_cast<std::uint8_t>(c >> 8), static_cast<std::uint8_t>(c));
        }
    }
    return bitmap;
}

HICON ProgramIconHandle() {
    static const HICON icon = [] {
        const RgbImage image = WindowIcon();
        // Colour with black where transparent, and a mask that is set there.
        RgbImage colour = image;
        std::vector<std::uint8_t> mask(32 * 4, 0); // 1 bit a pixel, rows of 4 bytes
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                if (image.Get(x, y) == 0xFF00FF) {
                    colour.Set(x, y, 0);
                    mask[static_cast<std::size_t>(y * 4 + x / 8)] |=
                        static_cast<std::uint8_t>(0x80 >> (x % 8));
                }
            }
        }
        static ui::TBitmap colourBitmap = ToBitmap(colour);
        HBITMAP maskBitmap = CreateBitmap(32, 32, 1, 1, mask.data());
        ICONINFO info{};
        info.fIcon = TRUE;
        info.hbmColor = colourBitmap.Handle();
        info.hbmMask = maskBitmap;
        HICON made = CreateIconIndirect(&info);
        DeleteObject(maskBitmap);
        return made;
    }();
    return icon;
}

const std::vector<ui::TBitmap>& AnimationBitmaps() {
    static const std::vector<ui::TBitmap> frames = [] {
        std::vector<ui::TBitmap> made;
        for (int i = 0; i < kFrameCount; ++i)
            made.push_back(ToBitmap(AnimationFrame(i)));
        return made;
    }();
    return frames;
}

} // namespace quillet::app
