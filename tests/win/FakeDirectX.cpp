#include "tests/win/FakeDirectX.h"

#include <algorithm>

namespace quillet::testing {

namespace {

// COM methods are __stdcall (STDMETHODCALLTYPE) on 32-bit Windows. A method the components never
// call answers E_NOTIMPL; one they call is counted and answered as the test asked.
// clang-format off
#define NOT_CALLED(name, ...) HRESULT __stdcall name(__VA_ARGS__) override { return E_NOTIMPL; }
#define CALLED(name, ...) HRESULT __stdcall name(__VA_ARGS__) override { return Call(#name); }
// clang-format on

// Makes an object for `*out` unless the test made `call` fail.
template <class Made, class Out, class... Args>
HRESULT Make(const State& state, const char* call, Out** out, Args... args) {
    const HRESULT result = state->Call(call);
    if (SUCCEEDED(result))
        *out = new Made(state, args...);
    return result;
}

// COM's reference counting, and the object's place in the live count.
template <class Interface> class Fake : public Interface {
public:
    explicit Fake(State state) : state_(state) { ++state_->live; }
    virtual ~Fake() { --state_->live; }
    HRESULT __stdcall QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG __stdcall AddRef() override { return ++refs_; }
    // As in COM, the last Release frees the object.
    ULONG __stdcall Release() override { return --refs_ == 0 ? (delete this, 0) : refs_; }

protected:
    HRESULT Call(const char* call) { return state_->Call(call); }

    State state_;
    ULONG refs_ = 1;
};

// What the components read of a surface description.
HRESULT Describe(DDSURFACEDESC* desc, SIZE size, HRESULT result) {
    desc->dwWidth = DWORD(size.cx);
    desc->dwHeight = DWORD(size.cy);
    desc->lPitch = FakeSurfaceRecord::PitchFor(size.cx);
    return result;
}

class FakePalette final : public Fake<IDirectDrawPalette> {
public:
    FakePalette(State state, const PALETTEENTRY* table) : Fake(state) {
        std::copy_n(table, entries_.size(), entries_.begin());
    }
    NOT_CALLED(GetCaps, LPDWORD)
    NOT_CALLED(Initialize, LPDIRECTDRAW, DWORD, LPPALETTEENTRY)
    HRESULT __stdcall GetEntries(DWORD, DWORD start, DWORD count, LPPALETTEENTRY out) override {
        std::copy_n(entries_.begin() + start, count, out);
        return DD_OK;
    }
    HRESULT __stdcall SetEntries(DWORD, DWORD start, DWORD count, LPPALETTEENTRY table) override {
        const HRESULT result = Call("SetEntries");
        if (SUCCEEDED(result)) {
            std::copy_n(table, count, entries_.begin() + start);
            state_->paletteSets.push_back(entries_);
        }
        return result;
    }

private:
    TPaletteEntries entries_{};
};

class FakeSurface final : public Fake<IDirectDrawSurface> {
public:
    FakeSurface(State state, SIZE size, bool primary)
        : Fake(state), record_(state->surfaces.emplace_back(size.cx, size.cy,
                                                            FakeSurfaceRecord::PitchFor(size.cx))) {
        record_.memory.assign(record_.pitch * size.cy, FakeSurfaceRecord::kPadding);
        if (primary)
            back_ = std::make_unique<FakeSurface>(state, size, false);
    }

    NOT_CALLED(AddAttachedSurface, LPDIRECTDRAWSURFACE)
    NOT_CALLED(AddOverlayDirtyRect, LPRECT)
    NOT_CALLED(BltBatch, LPDDBLTBATCH, DWORD, DWORD)
    NOT_CALLED(BltFast, DWORD, DWORD, LPDIRECTDRAWSURFACE, LPRECT, DWORD)
    NOT_CALLED(DeleteAttachedSurface, DWORD, LPDIRECTDRAWSURFACE)
    NOT_CALLED(EnumAttachedSurfaces, LPVOID, LPDDENUMSURFACESCALLBACK)
    NOT_CALLED(EnumOverlayZOrders, DWORD, LPVOID, LPDDENUMSURFACESCALLBACK)
    NOT_CALLED(GetBltStatus, DWORD)
    NOT_CALLED(GetCaps, LPDDSCAPS)
    NOT_CALLED(GetClipper, LPDIRECTDRAWCLIPPER*)
    NOT_CALLED(GetColorKey, DWORD, LPDDCOLORKEY)
    NOT_CALLED(GetFlipStatus, DWORD)
    NOT_CALLED(GetOverlayPosition, LPLONG, LPLONG)
    NOT_CALLED(GetPalette, LPDIRECTDRAWPALETTE*)
    NOT_CALLED(GetPixelFormat, LPDDPIXELFORMAT)
    NOT_CALLED(Initialize, LPDIRECTDRAW, LPDDSURFACEDESC)
    NOT_CALLED(IsLost)
    NOT_CALLED(SetClipper, LPDIRECTDRAWCLIPPER)
    NOT_CALLED(SetOverlayPosition, LONG, LONG)
    NOT_CALLED(UpdateOverlay, LPRECT, LPDIRECTDRAWSURFACE, LPRECT, DWORD, LPDDOVERLAYFX)
    NOT_CALLED(UpdateOverlayDisplay, DWORD)
    NOT_CALLED(UpdateOverlayZOrder, DWORD, LPDIRECTDRAWSURFACE)
    CALLED(Restore)
    CALLED(SetColorKey, DWORD, LPDDCOLORKEY)
    CALLED(SetPalette, LPDIRECTDRAWPALETTE)
    CALLED(Unlock, LPVOID)

    // Colour fills only: the components copy no surfaces.
    HRESULT __stdcall Blt(LPRECT rect, LPDIRECTDRAWSURFACE, LPRECT, DWORD, LPDDBLTFX fx) override {
        const HRESULT result = Call("Blt");
        for (LONG y = rect->top; SUCCEEDED(result) && y < rect->bottom; ++y)
            std::fill_n(&record_.memory[y * record_.pitch + rect->left], rect->right - rect->left,
                        std::uint8_t(fx->dwFillColor));
        return result;
    }
    HRESULT __stdcall Flip(LPDIRECTDRAWSURFACE, DWORD) override {
        const HRESULT result = Call("Flip");
        if (SUCCEEDED(result))
            std::swap(record_.memory, back_->record_.memory);
        return result;
    }
    // The back buffer goes with its primary, as in DirectDraw.
    HRESULT __stdcall GetAttachedSurface(LPDDSCAPS, LPDIRECTDRAWSURFACE* out) override {
        *out = back_.get();
        return Call("GetAttachedSurface");
    }
    // A memory DC over a copy of the surface, copied back on release: a DIB as wide as the pitch,
    // so that their rows line up. Its colours are black, then white, so that anything but black
    // leaves ink.
    HRESULT __stdcall GetDC(HDC* out) override {
        const HRESULT result = Call("GetDC");
        if (FAILED(result))
            return result;
        struct {
            BITMAPINFOHEADER header;
            RGBQUAD colors[256];
        } info{{sizeof(BITMAPINFOHEADER), record_.pitch, -record_.height, 1, 8}, {}};
        std::fill_n(info.colors + 1, 255, RGBQUAD{255, 255, 255, 0});
        dib_ = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                reinterpret_cast<void**>(&bits_), nullptr, 0);
        std::copy(record_.memory.begin(), record_.memory.end(), bits_);
        *out = dc_ = CreateCompatibleDC(nullptr);
        SelectObject(dc_, dib_);
        IntersectClipRect(dc_, 0, 0, record_.width, record_.height);
        return result;
    }
    HRESULT __stdcall ReleaseDC(HDC) override {
        GdiFlush();
        std::copy_n(bits_, record_.memory.size(), record_.memory.begin());
        DeleteDC(dc_);
        DeleteObject(dib_);
        return DD_OK;
    }
    HRESULT __stdcall GetSurfaceDesc(LPDDSURFACEDESC desc) override {
        return Describe(desc, {record_.width, record_.height}, Call("GetSurfaceDesc"));
    }
    // The whole surface: the components lock nothing less.
    HRESULT __stdcall Lock(LPRECT, LPDDSURFACEDESC desc, DWORD, HANDLE) override {
        desc->lpSurface = record_.memory.data();
        return Describe(desc, {record_.width, record_.height}, Call("Lock"));
    }

private:
    FakeSurfaceRecord& record_;
    std::unique_ptr<FakeSurface> back_; // a primary's
    HDC dc_ = nullptr;
    HBITMAP dib_ = nullptr;
    std::uint8_t* bits_ = nullptr;
};

class FakeDirectDrawObject final : public Fake<IDirectDraw> {
public:
    explicit FakeDirectDrawObject(State state) : Fake(state) {}

    NOT_CALLED(Compact)
    NOT_CALLED(CreateClipper, DWORD, LPDIRECTDRAWCLIPPER*, IUnknown*)
    NOT_CALLED(DuplicateSurface, LPDIRECTDRAWSURFACE, LPDIRECTDRAWSURFACE*)
    NOT_CALLED(EnumDisplayModes, DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMMODESCALLBACK)
    NOT_CALLED(EnumSurfaces, DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMSURFACESCALLBACK)
    NOT_CALLED(GetCaps, LPDDCAPS, LPDDCAPS)
    NOT_CALLED(GetFourCCCodes, LPDWORD, LPDWORD)
    NOT_CALLED(GetGDISurface, LPDIRECTDRAWSURFACE*)
    NOT_CALLED(GetMonitorFrequency, LPDWORD)
    NOT_CALLED(GetScanLine, LPDWORD)
    NOT_CALLED(GetVerticalBlankStatus, WINBOOL*)
    NOT_CALLED(Initialize, GUID*)
    CALLED(FlipToGDISurface)
    CALLED(RestoreDisplayMode)
    CALLED(SetCooperativeLevel, HWND, DWORD)
    CALLED(WaitForVerticalBlank, DWORD, HANDLE)

    HRESULT __stdcall CreatePalette(DWORD, LPPALETTEENTRY table, LPDIRECTDRAWPALETTE* out,
                                    IUnknown*) override {
        return Make<FakePalette>(state_, "CreatePalette", out, table);
    }
    // A primary surface always comes with one back buffer, the size of the display mode.
    HRESULT __stdcall CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* out,
                                    IUnknown*) override {
        if (desc->ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE)
            return Make<FakeSurface>(state_, "CreateSurface(primary)", out, state_->mode, true);
        return Make<FakeSurface>(state_, "CreateSurface(offscreen)", out,
                                 SIZE{LONG(desc->dwWidth), LONG(desc->dwHeight)}, false);
    }
    HRESULT __stdcall GetDisplayMode(LPDDSURFACEDESC desc) override {
        return Describe(desc, state_->mode, Call("GetDisplayMode"));
    }
    HRESULT __stdcall SetDisplayMode(DWORD width, DWORD height, DWORD) override {
        state_->mode = {LONG(width), LONG(height)};
        return Call("SetDisplayMode");
    }
};

class FakeSoundBuffer final : public Fake<IDirectSoundBuffer> {
public:
    FakeSoundBuffer(State state, DWORD bytes)
        : Fake(state), record_(state->buffers.emplace_back(std::vector<std::uint8_t>(bytes))) {}
    ~FakeSoundBuffer() override { record_.alive = false; }

    NOT_CALLED(GetCaps, LPDSBCAPS)
    NOT_CALLED(GetCurrentPosition, LPDWORD, LPDWORD)
    NOT_CALLED(GetFormat, LPWAVEFORMATEX, DWORD, LPDWORD)
    NOT_CALLED(GetVolume, LPLONG)
    NOT_CALLED(GetPan, LPLONG)
    NOT_CALLED(GetFrequency, LPDWORD)
    NOT_CALLED(GetStatus, LPDWORD)
    NOT_CALLED(Initialize, LPDIRECTSOUND, LPCDSBUFFERDESC)
    NOT_CALLED(Play, DWORD, DWORD, DWORD)
    NOT_CALLED(SetCurrentPosition, DWORD)
    NOT_CALLED(SetFormat, LPCWAVEFORMATEX)
    NOT_CALLED(SetFrequency, DWORD)
    NOT_CALLED(Restore)
    CALLED(Unlock, LPVOID, DWORD, LPVOID, DWORD)
    CALLED(Stop)

    // One block: the components lock the whole buffer, which never wraps round.
    HRESULT __stdcall Lock(DWORD offset, DWORD bytes, LPVOID* block, LPDWORD blockBytes, LPVOID*,
                           LPDWORD, DWORD) override {
        *block = record_.data.data() + offset;
        *blockBytes = bytes;
        return Call("Lock");
    }
    HRESULT __stdcall SetPan(LONG pan) override {
        record_.pan = pan;
        return Call("SetPan");
    }
    HRESULT __stdcall SetVolume(LONG volume) override {
        record_.volume = volume;
        return Call("SetVolume");
    }

private:
    FakeSoundBufferRecord& record_;
};

class FakeDirectSoundObject final : public Fake<IDirectSound> {
public:
    explicit FakeDirectSoundObject(State state) : Fake(state) {}

    NOT_CALLED(GetCaps, LPDSCAPS)
    NOT_CALLED(DuplicateSoundBuffer, LPDIRECTSOUNDBUFFER, LPLPDIRECTSOUNDBUFFER)
    NOT_CALLED(Compact)
    NOT_CALLED(GetSpeakerConfig, LPDWORD)
    NOT_CALLED(SetSpeakerConfig, DWORD)
    NOT_CALLED(Initialize, LPCGUID)
    CALLED(SetCooperativeLevel, HWND, DWORD)

    HRESULT __stdcall CreateSoundBuffer(LPCDSBUFFERDESC desc, LPLPDIRECTSOUNDBUFFER out,
                                        IUnknown*) override {
        return Make<FakeSoundBuffer>(state_, "CreateSoundBuffer", out, desc->dwBufferBytes);
    }
};

} // namespace

TDirectDrawCreate FakeDirectDraw(State state) {
    return [state](GUID*, IDirectDraw** out, IUnknown*) {
        return Make<FakeDirectDrawObject>(state, "DirectDrawCreate", out);
    };
}

TDirectSoundCreate FakeDirectSound(State state) {
    return [state](GUID*, IDirectSound** out, IUnknown*) {
        return Make<FakeDirectSoundObject>(state, "DirectSoundCreate", out);
    };
}

} // namespace quillet::testing
