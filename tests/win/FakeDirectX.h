// Stand-ins for DirectDraw and DirectSound, for the Windows tests: the display and sound
// components get objects that record what they were asked and fail when the test says so.
//
// A test keeps one state per platform in a shared_ptr and hands the components the factory made
// from it. The factory and every object it makes share that state, so objects may outlive the
// test's handle or die before it. What the objects were asked, and the memory of surfaces and
// sound buffers, stay in the state after the objects are gone.
//
// Every configurable call is a FakeCall: it counts the calls and returns `result`, S_OK unless
// changed, or the override set by ReturnNext. A configured failure comes before any check of the
// arguments, and what a call records it records whether it fails or not. Methods the components
// never call answer E_NOTIMPL.
//
// Link with gdi32 (device contexts of surfaces).
#pragma once

#include "ui/Win32.h"

#include <ddraw.h>
#include <mmsystem.h> // WAVEFORMATEX, left out by WIN32_LEAN_AND_MEAN

#include <dsound.h>

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillet::testing {

// What one configurable call returns, and how many times it was made.
class FakeCall {
public:
    HRESULT result = S_OK; // for every call not overridden below
    int calls = 0;

    // The next `count` calls return `once` instead of `result`.
    void ReturnNext(int count, HRESULT once) {
        pending_ = count;
        pendingResult_ = once;
    }
    // Counts one call and gives what it returns.
    HRESULT Take() {
        ++calls;
        if (pending_ > 0) {
            --pending_;
            return pendingResult_;
        }
        return result;
    }

private:
    int pending_ = 0;
    HRESULT pendingResult_ = S_OK;
};

// ---- DirectDraw ----

using PaletteTable = std::array<PALETTEENTRY, 256>;

enum class SurfaceKind { Primary, BackBuffer, OffScreen };

// The calls a kind of surface answers as configured.
struct FakeSurfaceCalls {
    FakeCall lock, getSurfaceDesc, blt, flip, restore, setColorKey, setPalette, getDC,
        getAttachedSurface;
};

// One CreateSurface call, as described by the caller.
struct SurfaceRequest {
    DWORD size = 0;
    DWORD flags = 0;
    DWORD width = 0;
    DWORD height = 0;
    DWORD caps = 0;
    DWORD backBufferCount = 0;
};

// The flags of one call: Lock, Blt, CreatePalette.
struct FlagsCall {
    DWORD flags = 0;
};

struct ColorKeyCall {
    DWORD flags = 0;
    std::optional<DDCOLORKEY> key; // none: the key was removed
};

// One surface the fake made: 8 bits a pixel, each row `pitch` bytes, the bytes past `width`
// set to kPaddingByte so that code ignoring the pitch shows.
struct FakeSurfaceRecord {
    static constexpr std::uint8_t kPaddingByte = 0xFD;

    SurfaceKind kind = SurfaceKind::OffScreen;
    int width = 0;
    int height = 0;
    int pitch = 0;
    std::vector<std::uint8_t> memory; // pitch * height bytes; Flip swaps it with the back buffer's
    bool locked = false;

    std::vector<FlagsCall> locks;
    int unlocks = 0;
    std::vector<FlagsCall> blts;
    std::vector<DWORD> flips; // the flags of each Flip
    int restores = 0;
    std::vector<ColorKeyCall> colorKeys;
    int getDCs = 0;
    std::vector<HDC> releasedDCs;

    std::uint8_t At(int x, int y) const { return memory[y * pitch + x]; }
    // The `width` pixels of row `y`.
    std::vector<std::uint8_t> Row(int y) const {
        return {memory.begin() + y * pitch, memory.begin() + y * pitch + width};
    }
    // No byte between the end of a row and the pitch was written.
    bool PaddingIntact() const {
        for (int y = 0; y < height; ++y)
            for (int x = width; x < pitch; ++x)
                if (At(x, y) != kPaddingByte)
                    return false;
        return true;
    }
};

struct FakePaletteRecord {
    int index = 0;          // in FakeDirectDrawState::palettes
    PaletteTable entries{}; // the current ones
    // The whole table each SetEntries call asked for: the current entries with the given range
    // replaced, failed calls included.
    std::vector<PaletteTable> setEntriesHistory;
};

struct DisplayMode {
    DWORD width = 640;
    DWORD height = 480;
    DWORD bpp = 8;
};

struct FakeDirectDrawState {
    // DirectDrawCreate
    FakeCall create;
    // IDirectDraw
    FakeCall setCooperativeLevel, setDisplayMode, createPrimary, createOffScreen, createPalette,
        getDisplayMode, waitForVerticalBlank, restoreDisplayMode;
    // IDirectDrawSurface, by kind of surface; surfaces not primary are counted as off-screen
    FakeSurfaceCalls primaryCalls, backBufferCalls, offScreenCalls;
    // IDirectDrawPalette
    FakeCall setEntries;

    // The arguments of the last call.
    HWND cooperativeWindow = nullptr;
    DWORD cooperativeFlags = 0;
    DisplayMode requestedMode; // also the size of primary surfaces and back buffers
    DWORD verticalBlankFlags = 0;
    // Every call.
    std::vector<SurfaceRequest> surfaceRequests;
    std::vector<FlagsCall> paletteRequests;

    // What was made, in order.
    std::deque<FakeSurfaceRecord> surfaces;
    std::deque<FakePaletteRecord> palettes;
    int displayPalette = -1; // the palette last set on a primary surface

    struct LiveCounts {
        int directDraw = 0;
        int surfaces = 0; // a back buffer lives and dies with its primary
        int palettes = 0;
    } live;

    // The calls whose order the tests check: "SetCooperativeLevel", "SetDisplayMode",
    // "CreateSurface(primary)", "CreateSurface(offscreen)", "CreatePalette", "FlipToGDISurface",
    // "Blt(backbuffer)", "Flip(primary)"...
    std::vector<std::string> log;
    // What the code under test got wrong: unlocking what is not locked, a foreign DC, ...
    std::vector<std::string> misuse;

    std::vector<FakeSurfaceRecord*> SurfacesOf(SurfaceKind kind);
    bool AllReleased() const {
        return live.directDraw == 0 && live.surfaces == 0 && live.palettes == 0;
    }
};

// Stands in for DirectDrawCreate; converts to the factory the display components take.
struct FakeDirectDrawCreate {
    std::shared_ptr<FakeDirectDrawState> state;
    HRESULT operator()(GUID* driver, IDirectDraw** out, IUnknown* outer) const;
};

// ---- DirectSound ----

// One CreateSoundBuffer call: the fields the DirectX 3 description (20 bytes) has.
struct SoundBufferRequest {
    DWORD size = 0;
    DWORD flags = 0;
    DWORD bufferBytes = 0;
    WAVEFORMATEX format{};
};

struct FakeSoundBufferRecord {
    SoundBufferRequest description;
    std::vector<std::uint8_t> data; // dwBufferBytes bytes
    bool alive = true;
    LONG pan = 0; // the last accepted values
    LONG volume = 0;
};

struct FakeDirectSoundState {
    // DirectSoundCreate
    FakeCall create;
    // IDirectSound
    FakeCall setCooperativeLevel, createSoundBuffer;
    // IDirectSoundBuffer, for all buffers
    FakeCall lock, setPan, setVolume, stop;

    // The arguments of the last call.
    HWND cooperativeWindow = nullptr;
    DWORD cooperativeLevel = 0;

    // What was made, in order.
    std::deque<FakeSoundBufferRecord> buffers;

    struct LiveCounts {
        int directSound = 0;
        int buffers = 0;
    } live;

    std::vector<FakeSoundBufferRecord*> LiveBuffers();
    bool AllReleased() const { return live.directSound == 0 && live.buffers == 0; }
};

// Stands in for DirectSoundCreate; converts to the factory the sound components take.
struct FakeDirectSoundCreate {
    std::shared_ptr<FakeDirectSoundState> state;
    HRESULT operator()(GUID* device, IDirectSound** out, IUnknown* outer) const;
};

} // namespace quillet::testing
