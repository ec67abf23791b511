// The program's pictures as Windows bitmaps and icons.
#pragma once

#include "app/Pictures.h"
#include "ui/Graphics.h"

namespace quillet::app {

ui::TBitmap ToBitmap(const RgbImage& image);

// The window icon, made once and kept for the life of the program.
HICON ProgramIconHandle();

// The 32 logo frames, made once on first use.
const std::vector<ui::TBitmap>& AnimationBitmaps();

} // namespace quillet::app
