// Arbitrary bytes as an image library: a load either succeeds and saves back to a library that
// loads the same, or fails with one of the library's errors, leaving a list that is safe to
// read, copy and clear.
#include "gamelib/MxILib.h"

#include <cstdlib>

using namespace quillet;

namespace {

std::vector<std::uint8_t> Saved(const TMxImages& images) {
    TMemoryStream out;
    images.SaveToStream(out);
    return out.Memory();
}

void TouchEveryPixel(const TMxImages& images) {
    volatile std::uint8_t sink = 0;
    for (int i = 0; i < images.Count(); ++i) {
        const TMxImageHeader& image = images.Image(i);
        for (std::size_t b = 0; b < image.BitsSize(); b += 61)
            sink = static_cast<std::uint8_t>(sink + image.Bits[b]);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TMemoryStream input(std::span<const std::uint8_t>(data, size));
    TMxImages images;
    bool loaded = true;
    try {
        images.LoadFromStream(input);
    } catch (const Exception&) {
        loaded = false;
    }
    TouchEveryPixel(images);
    TMxImages copy;
    copy.Assign(images);
    if (copy.Count() != images.Count())
        std::abort();
    if (loaded) {
        const auto saved = Saved(images);
        TMemoryStream again(saved);
        TMxImages reloaded;
        reloaded.LoadFromStream(again);
        if (Saved(reloaded) != saved)
            std::abort();
    }
    images.Clear();
    return 0;
}
