// Stand-ins for DirectDraw and DirectSound, for the Windows tests: the display and sound
// components get objects that record what they were asked and fail when the test says so.
//
// A test keeps one state per platform in a shared_ptr and hands the components the factory made
// from it. The factory and every object it makes share that state, so objects may outlive the
// test's handle or die before it. What the objects were asked, and the memory of surfaces and
// sound buffers, stay in the state after the objects are gone; records are never removed.
//
// Every configurable call is a FakeCall: it counts the calls and returns `result`, S_OK unless
// changed, or the override set by ReturnNext. A configured failure comes before any check of the
// arguments; the arguments are recorded either way. The fakes then check their arguments as the
// real interfaces do, and note in `misuse` what a real driver would have choked on.
//
// Link with gdi32 (device contexts of surfaces) and dxguid (interface identifiers); the real
// ddraw and dsound libraries are not needed.
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

// "primary", "backbuffer", "offscreen": as the call log names them.
const char* NameOf(SurfaceKind kind);

// The calls a kind of surface answers as configured.
struct FakeSurfaceCalls {
    FakeCall lock, unlock, getSurfaceDesc, blt, flip, restore, setColorKey, setPalette, getDC,
        releaseDC, isLost, getAttachedSurface;
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

struct SurfaceLockCall {
    std::optional<RECT> rect; // none: the whole surface
    DWORD flags = 0;
};

struct BltCall {
    std::optional<RECT> dest;
    int source = -1; // index in FakeDirectDrawState::surfaces; -1 for none
    std::optional<RECT> sourceRect;
    DWORD flags = 0;
    DWORD fillColor = 0; // with DDBLT_COLORFILL
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
    int index = 0; // in FakeDirectDrawState::surfaces
    int width = 0;
    int height = 0;
    int pitch = 0;
    DWORD caps = 0;
    std::vector<std::uint8_t> memory; // pitch * height bytes; Flip swaps it with the back buffer's
    bool alive = true;
    bool locked = false;

    std::vector<SurfaceLockCall> locks;
    int unlocks = 0;
    std::vector<BltCall> blts;
    std::vector<DWORD> flips; // the flags of each Flip
    int restores = 0;
    std::vector<ColorKeyCall> colorKeys;
    std::vector<int> palettesSet; // index in FakeDirectDrawState::palettes; -1 for none
    int getDCs = 0;
    std::vector<HDC> releasedDCs;

    std::uint8_t At(int x, int y) const { return memory[y * pitch + x]; }
    // The `width` pixels of row `y`.
    std::vector<std::uint8_t> Row(int y) const;
    // No byte between the end of a row and the pitch was written.
    bool PaddingIntact() const;
};

// One CreatePalette call.
struct PaletteRequest {
    DWORD flags = 0;
    PaletteTable entries{}; // zeros when no table was given
};

struct FakePaletteRecord {
    int index = 0; // in FakeDirectDrawState::palettes
    DWORD flags = 0;
    PaletteTable entries{}; // the current ones
    bool alive = true;
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
        getDisplayMode, waitForVerticalBlank, flipToGDISurface, restoreDisplayMode;
    // IDirectDrawSurface, by kind of surface; surfaces not primary are counted as off-screen
    FakeSurfaceCalls primaryCalls, backBufferCalls, offScreenCalls;
    // IDirectDrawPalette
    FakeCall setEntries;

    // Set by a successful SetDisplayMode; gives the size of primary surfaces and back buffers.
    DisplayMode mode;

    // The arguments of the last call.
    HWND cooperativeWindow = nullptr;
    DWORD cooperativeFlags = 0;
    DisplayMode requestedMode;
    DWORD verticalBlankFlags = 0;
    // Every call.
    std::vector<SurfaceRequest> surfaceRequests;
    std::vector<PaletteRequest> paletteRequests;

    // What was made, in order.
    std::deque<FakeSurfaceRecord> surfaces;
    std::deque<FakePaletteRecord> palettes;
    int displayPalette = -1; // the palette last set on a primary surface

    struct LiveCounts {
        int directDraw = 0;
        int surfaces = 0; // a back buffer lives and dies with its primary
        int palettes = 0;
    } live;

    // The calls in order: "Create", "SetCooperativeLevel", "SetDisplayMode",
    // "CreateSurface(primary)", "CreateSurface(offscreen)", "CreatePalette",
    // "GetAttachedSurface(primary)", "Blt(backbuffer)", "Flip(primary)", "Restore(offscreen)",
    // "SetEntries", "RestoreDisplayMode", "Release(primary)", "Release(palette)",
    // "Release(DirectDraw)"... Release is logged when the object goes. A call the fake does not
    // implement is logged as "Name(...): unsupported".
    std::vector<std::string> log;
    // What the code under test got wrong: unlocking what is not locked, a foreign DC, ...
    std::vector<std::string> misuse;

    FakeSurfaceCalls& CallsFor(SurfaceKind kind);
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

// One CreateSoundBuffer call. Only the fields the DirectX 3 description (20 bytes) has are read.
struct SoundBufferRequest {
    DWORD size = 0;
    DWORD flags = 0;
    DWORD bufferBytes = 0;
    bool hasFormat = false;
    std::array<std::uint8_t, sizeof(WAVEFORMATEX)> formatBytes{}; // as read from lpwfxFormat
    WAVEFORMATEX format{};                                        // the same, decoded
};

struct SoundLockCall {
    DWORD offset = 0;
    DWORD bytes = 0;
    DWORD flags = 0;
};

struct FakeSoundBufferRecord {
    int index = 0; // in FakeDirectSoundState::buffers
    SoundBufferRequest description;
    std::vector<std::uint8_t> data; // dwBufferBytes bytes
    bool alive = true;
    bool locked = false;
    bool playing = false;

    std::vector<SoundLockCall> locks;
    int unlocks = 0;
    std::vector<LONG> pans;    // every value asked for, refused ones included
    std::vector<LONG> volumes; // likewise
    LONG pan = 0;              // the last accepted values
    LONG volume = 0;
    int stops = 0;
    std::vector<DWORD> plays;     // the flags of each Play
    std::vector<DWORD> positions; // each SetCurrentPosition
};

struct FakeDirectSoundState {
    // DirectSoundCreate
    FakeCall create;
    // IDirectSound
    FakeCall setCooperativeLevel, createSoundBuffer;
    // IDirectSoundBuffer, for all buffers
    FakeCall lock, unlock, setPan, setVolume, stop, play, setCurrentPosition;
    // Like the real ones, refuse pans outside -10000..10000 and volumes outside -10000..0 with
    // DSERR_INVALIDPARAM; false lets any value through.
    bool checkPanRange = true;
    bool checkVolumeRange = true;

    // The arguments of the last call.
    HWND cooperativeWindow = nullptr;
    DWORD cooperativeLevel = 0;
    // Every call.
    std::vector<SoundBufferRequest> bufferRequests;

    // What was made, in order.
    std::deque<FakeSoundBufferRecord> buffers;

    struct LiveCounts {
        int directSound = 0;
        int buffers = 0;
    } live;

    // "Create", "SetCooperativeLevel", "CreateSoundBuffer", "Lock", "Unlock", "SetPan",
    // "SetVolume", "Play", "Stop", "Release(buffer)", "Release(DirectSound)"...
    std::vector<std::string> log;
    std::vector<std::string> misuse;

    std::vector<FakeSoundBufferRecord*> LiveBuffers();
    bool AllReleased() const { return live.directSound == 0 && live.buffers == 0; }
};

// Stands in for DirectSoundCreate; converts to the factory the sound components take.
struct FakeDirectSoundCreate {
    std::shared_ptr<FakeDirectSoundState> state;
    HRESULT operator()(GUID* device, IDirectSound** out, IUnknown* outer) const;
};

} // namespace quillet::testing
