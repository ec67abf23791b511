// Arbitrary bytes as a sound library: a load either succeeds and saves back to a library that
// loads the same, or fails with one of the library's errors, leaving a list that is safe to
// read, copy and clear.
#include "gamelib/mxslib.h"

#include <cstdlib>

using namespace quillet;

namespace {

std::vector<std::uint8_t> Saved(const TMxSounds& sounds) {
    TMemoryStream out;
    sounds.SaveToStream(out);
    return out.Memory();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TMemoryStream input(std::span<const std::uint8_t>(data, size));
    TMxSounds sounds;
    bool loaded = true;
    try {
        sounds.LoadFromStream(input);
    } catch (const Exception&) {
        loaded = false;
    }
    volatile std::uint8_t sink = 0;
    for (int i = 0; i < sounds.Count(); ++i) {
        const TMxSoundHeader& sound = sounds.Sound(i);
        if (sound.Size > 0)
            sink = static_cast<std::uint8_t>(sink +
                                             sound.Data[static_cast<std::size_t>(sound.Size - 1)]);
    }
    TMxSounds copy;
    copy.Assign(sounds);
    if (copy.Count() != sounds.Count())
        std::abort();
    if (loaded) {
        const auto saved = Saved(sounds);
        TMemoryStream again(saved);
        TMxSounds reloaded;
        reloaded.LoadFromStream(again);
        if (Saved(reloaded) != saved)
            std::abort();
    }
    return 0;
}
