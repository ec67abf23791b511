// Stand-ins for DirectDraw and DirectSound. Their objects count their references, keep what the
// tests read in a state they share with the test, and fail when the test says so. Link with
// gdi32: a surface lends a real memory DC.
#pragma once

#include "gamelib/Mx.h"
#include "gamelib/MxSnd.h"

#include <deque>
#include <map>

inline bool operator==(const PALETTEENTRY& a, const PALETTEENTRY& b) {
    return a.peRed == b.peRed && a.peGreen == b.peGreen && a.peBlue == b.peBlue;
}

namespace quillet::testing {

// A surface's memory, 8 bits a pixel: rows are `pitch` bytes apart, more than `width`, so that
// code ignoring the pitch shows. It starts as kPadding throughout.
struct FakeSurfaceRecord {
    static constexpr std::uint8_t kPadding = 0xFD;
    // Wider than a row, and not by a multiple of its width: rows laid out by the width drift.
    static LONG PitchFor(LONG width) { return (width + 7) / 8 * 8 + 8; }
    int width, height, pitch;
    std::vector<std::uint8_t> memory; // Flip swaps the primary's with its back buffer's

    std::vector<std::uint8_t> Row(int y) const {
        return {memory.begin() + y * pitch, memory.begin() + y * pitch + width};
    }
};

struct FakeSoundBufferRecord {
    std::vector<std::uint8_t> data;
    LONG pan = 0, volume = 0; // the last asked for
    bool alive = true;        // until the buffer is released
    bool operator==(const FakeSoundBufferRecord&) const = default;
};

struct FakeDirectX {
    // Counts the call and gives its result.
    HRESULT Call(const std::string& call) {
        ++calls[call];
        return failures.contains(call) ? failures[call] : S_OK;
    }

    std::map<std::string, HRESULT> failures; // by call: "Flip", "CreateSurface(primary)", ...
    std::map<std::string, int> calls;
    int live = 0;                             // objects not yet released
    SIZE mode{};                              // the last one set
    std::deque<FakeSurfaceRecord> surfaces;   // a primary comes before its back buffer
    std::vector<TPaletteEntries> paletteSets; // every table SetEntries took
    std::deque<FakeSoundBufferRecord> buffers;
};

using State = std::shared_ptr<FakeDirectX>;
TDirectDrawCreate FakeDirectDraw(State state);
TDirectSoundCreate FakeDirectSound(State state);

} // namespace quillet::testing
