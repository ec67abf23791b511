#include "tests/win/FakeDirectX.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace quillet::testing {

std::vector<FakeSurfaceRecord*> FakeDirectDrawState::SurfacesOf(SurfaceKind kind) {
    std::vector<FakeSurfaceRecord*> found;
    for (auto& surface : surfaces)
        if (surface.kind == kind)
            found.push_back(&surface);
    return found;
}

std::vector<FakeSoundBufferRecord*> FakeDirectSoundState::LiveBuffers() {
    std::vector<FakeSoundBufferRecord*> found;
    for (auto& buffer : buffers)
        if (buffer.alive)
            found.push_back(&buffer);
    return found;
}

namespace {

// DDERR_UNSUPPORTED and DSERR_UNSUPPORTED alike.
HRESULT Unsupported() {
    return E_NOTIMPL;
}

// A method the components never call.
#define UNSUPPORTED(method)                                                                        \
    HRESULT STDMETHODCALLTYPE method override {                                                    \
        return Unsupported();                                                                      \
    }

// The IUnknown part of every fake: its reference count, and its live count in the state it
// keeps alive.
template <class Interface, class State> class ComObject : public Interface {
public:
    ComObject(std::shared_ptr<State> state, int& live) : state_(std::move(state)), live_(live) {
        ++live_;
    }
    virtual ~ComObject() { --live_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        // As COM has it, an object frees itself on its last Release.
        if (left == 0)
            delete this;
        return left;
    }

protected:
    std::shared_ptr<State> state_;

private:
    int& live_;
    ULONG refs_ = 1;
};

// ---- DirectDraw ----

const char* NameOf(SurfaceKind kind) {
    constexpr const char* kNames[] = {"primary", "backbuffer", "offscreen"};
    return kNames[static_cast<int>(kind)];
}

// Wider than the visible row, and not by a multiple of the width, so that code assuming
// pitch == width draws visibly wrong.
int PitchFor(int width) {
    return (width + 7) / 8 * 8 + 8;
}

// Fills in what the components read of a description, unless the call failed or the caller
// gave a description of the wrong size.
HRESULT Describe(DDSURFACEDESC& desc, int width, int height, HRESULT result) {
    if (FAILED(result))
        return result;
    if (desc.dwSize != sizeof desc)
        return DDERR_INVALIDPARAMS;
    desc.dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH;
    desc.dwWidth = static_cast<DWORD>(width);
    desc.dwHeight = static_cast<DWORD>(height);
    desc.lPitch = PitchFor(width);
    return result;
}

class FakePalette final : public ComObject<IDirectDrawPalette, FakeDirectDrawState> {
public:
    FakePalette(std::shared_ptr<FakeDirectDrawState> state, const PALETTEENTRY* entries)
        : ComObject(state, state->live.palettes), record_(state->palettes.emplace_back()) {
        record_.index = static_cast<int>(state_->palettes.size()) - 1;
        std::copy_n(entries, record_.entries.size(), record_.entries.begin());
    }

    int Index() const { return record_.index; }

    UNSUPPORTED(GetCaps(LPDWORD))
    UNSUPPORTED(Initialize(LPDIRECTDRAW, DWORD, LPPALETTEENTRY))

    HRESULT STDMETHODCALLTYPE GetEntries(DWORD, DWORD base, DWORD count,
                                         LPPALETTEENTRY entries) override {
        if (!InTable(base, count))
            return DDERR_INVALIDPARAMS;
        std::copy_n(record_.entries.begin() + base, count, entries);
        return DD_OK;
    }
    HRESULT STDMETHODCALLTYPE SetEntries(DWORD, DWORD start, DWORD count,
                                         LPPALETTEENTRY entries) override {
        const HRESULT hr = state_->setEntries.Take();
        if (!InTable(start, count))
            return DDERR_INVALIDPARAMS;
        PaletteTable table = record_.entries;
        std::copy_n(entries, count, table.begin() + start);
        record_.setEntriesHistory.push_back(table);
        if (SUCCEEDED(hr))
            record_.entries = table;
        return hr;
    }

private:
    static bool InTable(DWORD start, DWORD count) { return start <= 256 && count <= 256 - start; }

    FakePaletteRecord& record_;
};

class FakeSurface final : public ComObject<IDirectDrawSurface, FakeDirectDrawState> {
public:
    FakeSurface(std::shared_ptr<FakeDirectDrawState> state, SurfaceKind kind, int width, int height)
        : ComObject(state, state->live.surfaces),
          calls_(kind == SurfaceKind::Primary      ? state->primaryCalls
                 : kind == SurfaceKind::BackBuffer ? state->backBufferCalls
                                                   : state->offScreenCalls),
          record_(state->surfaces.emplace_back()) {
        record_.kind = kind;
        record_.width = width;
        record_.height = height;
        record_.pitch = PitchFor(width);
        record_.memory.assign(record_.pitch * height, FakeSurfaceRecord::kPaddingByte);
        for (int y = 0; y < height; ++y)
            std::fill_n(Pixel(0, y), width, std::uint8_t{0});
    }
    ~FakeSurface() override {
        if (dc_ != nullptr) {
            Misuse("released with its DC still out");
            FreeDC();
        }
        if (palette_ != nullptr)
            palette_->Release();
    }

    void AttachBackBuffer() {
        backBuffer_ = std::make_unique<FakeSurface>(state_, SurfaceKind::BackBuffer, record_.width,
                                                    record_.height);
    }

    // A back buffer is part of its primary's flipping chain, which goes when the primary's
    // last reference does, whatever was counted on the back buffer: as with DirectDraw, whose
    // users need not release an attached surface.
    ULONG STDMETHODCALLTYPE AddRef() override {
        return IsBackBuffer() ? ++chainRefs_ : ComObject::AddRef();
    }
    ULONG STDMETHODCALLTYPE Release() override {
        return IsBackBuffer() ? (chainRefs_ > 0 ? --chainRefs_ : 0) : ComObject::Release();
    }

    UNSUPPORTED(AddAttachedSurface(LPDIRECTDRAWSURFACE))
    UNSUPPORTED(AddOverlayDirtyRect(LPRECT))
    UNSUPPORTED(BltBatch(LPDDBLTBATCH, DWORD, DWORD))
    UNSUPPORTED(BltFast(DWORD, DWORD, LPDIRECTDRAWSURFACE, LPRECT, DWORD))
    UNSUPPORTED(DeleteAttachedSurface(DWORD, LPDIRECTDRAWSURFACE))
    UNSUPPORTED(EnumAttachedSurfaces(LPVOID, LPDDENUMSURFACESCALLBACK))
    UNSUPPORTED(EnumOverlayZOrders(DWORD, LPVOID, LPDDENUMSURFACESCALLBACK))
    UNSUPPORTED(GetBltStatus(DWORD))
    UNSUPPORTED(GetCaps(LPDDSCAPS))
    UNSUPPORTED(GetClipper(LPDIRECTDRAWCLIPPER*))
    UNSUPPORTED(GetColorKey(DWORD, LPDDCOLORKEY))
    UNSUPPORTED(GetFlipStatus(DWORD))
    UNSUPPORTED(GetOverlayPosition(LPLONG, LPLONG))
    UNSUPPORTED(GetPalette(LPDIRECTDRAWPALETTE*))
    UNSUPPORTED(GetPixelFormat(LPDDPIXELFORMAT))
    UNSUPPORTED(Initialize(LPDIRECTDRAW, LPDDSURFACEDESC))
    UNSUPPORTED(IsLost())
    UNSUPPORTED(SetClipper(LPDIRECTDRAWCLIPPER))
    UNSUPPORTED(SetOverlayPosition(LONG, LONG))
    UNSUPPORTED(UpdateOverlay(LPRECT, LPDIRECTDRAWSURFACE, LPRECT, DWORD, LPDDOVERLAYFX))
    UNSUPPORTED(UpdateOverlayDisplay(DWORD))
    UNSUPPORTED(UpdateOverlayZOrder(DWORD, LPDIRECTDRAWSURFACE))

    HRESULT STDMETHODCALLTYPE Blt(LPRECT destRect, LPDIRECTDRAWSURFACE, LPRECT, DWORD flags,
                                  LPDDBLTFX fx) override {
        const HRESULT hr = calls_.blt.Take();
        record_.blts.push_back({flags});
        Log("Blt");
        if (FAILED(hr))
            return hr;
        // Colour fills only: the components copy no surfaces.
        if ((flags & DDBLT_COLORFILL) == 0)
            return Unsupported();
        const RECT dest = destRect != nullptr ? *destRect : Whole();
        if (fx->dwSize != sizeof *fx || !Inside(dest))
            return DDERR_INVALIDPARAMS;
        for (LONG y = dest.top; y < dest.bottom; ++y)
            std::fill(Pixel(dest.left, y), Pixel(dest.right, y),
                      static_cast<std::uint8_t>(fx->dwFillColor));
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Flip(LPDIRECTDRAWSURFACE, DWORD flags) override {
        const HRESULT hr = calls_.flip.Take();
        record_.flips.push_back(flags);
        Log("Flip");
        if (FAILED(hr))
            return hr;
        if (!backBuffer_)
            return DDERR_NOTFLIPPABLE;
        // What was drawn on the back buffer is now on show, as on a real flipping chain.
        std::swap(record_.memory, backBuffer_->record_.memory);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetAttachedSurface(LPDDSCAPS, LPDIRECTDRAWSURFACE* out) override {
        const HRESULT hr = calls_.getAttachedSurface.Take();
        if (FAILED(hr))
            return hr;
        if (!backBuffer_)
            return DDERR_NOTFOUND;
        backBuffer_->AddRef();
        *out = backBuffer_.get();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetDC(HDC* out) override {
        const HRESULT hr = calls_.getDC.Take();
        ++record_.getDCs;
        if (FAILED(hr))
            return hr;
        if (dc_ != nullptr)
            return Misuse("GetDC while its DC is out", DDERR_DCALREADYCREATED);
        if (!MakeDC())
            return DDERR_GENERIC;
        *out = dc_;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE ReleaseDC(HDC dc) override {
        record_.releasedDCs.push_back(dc);
        if (dc_ == nullptr || dc != dc_)
            return Misuse("ReleaseDC of a DC the surface did not give", DDERR_NODC);
        FreeDC();
        return DD_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSurfaceDesc(LPDDSURFACEDESC desc) override {
        return Describe(*desc, record_.width, record_.height, calls_.getSurfaceDesc.Take());
    }
    HRESULT STDMETHODCALLTYPE Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags,
                                   HANDLE) override {
        record_.locks.push_back({flags});
        const RECT area = rect != nullptr ? *rect : Whole();
        const HRESULT hr = Describe(*desc, record_.width, record_.height, calls_.lock.Take());
        if (FAILED(hr))
            return hr;
        if (!Inside(area))
            return DDERR_INVALIDPARAMS;
        if (record_.locked)
            return Misuse("locked twice", DDERR_SURFACEBUSY);
        desc->lpSurface = Pixel(area.left, area.top);
        record_.locked = true;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Unlock(LPVOID) override {
        ++record_.unlocks;
        if (!record_.locked)
            return Misuse("unlocked without a lock", DDERR_NOTLOCKED);
        record_.locked = false;
        return DD_OK;
    }
    HRESULT STDMETHODCALLTYPE Restore() override {
        ++record_.restores;
        return calls_.restore.Take();
    }
    HRESULT STDMETHODCALLTYPE SetColorKey(DWORD flags, LPDDCOLORKEY key) override {
        record_.colorKeys.push_back(
            {flags, key != nullptr ? std::optional<DDCOLORKEY>(*key) : std::nullopt});
        return calls_.setColorKey.Take();
    }
    HRESULT STDMETHODCALLTYPE SetPalette(LPDIRECTDRAWPALETTE palette) override {
        const HRESULT hr = calls_.setPalette.Take();
        if (FAILED(hr))
            return hr;
        // The surface holds a reference to its palette, as the real one does.
        if (palette != nullptr)
            palette->AddRef();
        if (palette_ != nullptr)
            palette_->Release();
        palette_ = palette;
        if (record_.kind == SurfaceKind::Primary) // every palette here is a FakePalette
            state_->displayPalette =
                palette != nullptr ? static_cast<FakePalette*>(palette)->Index() : -1;
        return hr;
    }

private:
    bool IsBackBuffer() const { return record_.kind == SurfaceKind::BackBuffer; }
    void Log(const char* method) {
        state_->log.push_back(std::string(method) + "(" + NameOf(record_.kind) + ")");
    }
    HRESULT Misuse(const char* what, HRESULT result = DD_OK) {
        state_->misuse.push_back(std::string(NameOf(record_.kind)) + " surface: " + what);
        return result;
    }

    std::uint8_t* Pixel(LONG x, LONG y) { return record_.memory.data() + y * record_.pitch + x; }
    RECT Whole() const { return {0, 0, record_.width, record_.height}; }
    bool Inside(const RECT& rect) const {
        return rect.left >= 0 && rect.top >= 0 && rect.left < rect.right &&
               rect.top < rect.bottom && rect.right <= record_.width &&
               rect.bottom <= record_.height;
    }

    // A memory DC over an 8-bit DIB section holding a copy of the surface; FreeDC copies it
    // back, so GDI output lands in the surface's memory. Its colours are a grey ramp, on which
    // anything but black leaves ink.
    bool MakeDC() {
        struct {
            BITMAPINFOHEADER header;
            RGBQUAD colors[256];
        } info{};
        info.header = {.biSize = sizeof info.header,
                       .biWidth = record_.width,
                       .biHeight = -record_.height, // top-down, like the surface
                       .biPlanes = 1,
                       .biBitCount = 8,
                       .biCompression = BI_RGB};
        for (int i = 0; i < 256; ++i) {
            const auto level = static_cast<BYTE>(i);
            info.colors[i] = {level, level, level, 0};
        }
        void* bits = nullptr;
        dib_ = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                &bits, nullptr, 0);
        if (dib_ == nullptr)
            return false;
        dc_ = CreateCompatibleDC(nullptr);
        oldBitmap_ = SelectObject(dc_, dib_);
        dibBits_ = static_cast<std::uint8_t*>(bits);
        CopyRows(Pixel(0, 0), record_.pitch, dibBits_, DibStride());
        return true;
    }
    void FreeDC() {
        GdiFlush();
        CopyRows(dibBits_, DibStride(), Pixel(0, 0), record_.pitch);
        SelectObject(dc_, oldBitmap_);
        DeleteObject(dib_);
        DeleteDC(dc_);
        dc_ = nullptr;
    }
    int DibStride() const { return (record_.width + 3) / 4 * 4; }
    void CopyRows(const std::uint8_t* from, int fromStride, std::uint8_t* to, int toStride) const {
        for (int y = 0; y < record_.height; ++y)
            std::copy_n(from + y * fromStride, record_.width, to + y * toStride);
    }

    FakeSurfaceCalls& calls_;
    FakeSurfaceRecord& record_;
    std::unique_ptr<FakeSurface> backBuffer_; // a primary's
    ULONG chainRefs_ = 1;                     // a back buffer's
    IDirectDrawPalette* palette_ = nullptr;
    HDC dc_ = nullptr;
    HBITMAP dib_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr;
    std::uint8_t* dibBits_ = nullptr;
};

class FakeDirectDraw final : public ComObject<IDirectDraw, FakeDirectDrawState> {
public:
    explicit FakeDirectDraw(std::shared_ptr<FakeDirectDrawState> state)
        : ComObject(state, state->live.directDraw) {}

    UNSUPPORTED(Compact())
    UNSUPPORTED(CreateClipper(DWORD, LPDIRECTDRAWCLIPPER*, IUnknown*))
    UNSUPPORTED(DuplicateSurface(LPDIRECTDRAWSURFACE, LPDIRECTDRAWSURFACE*))
    UNSUPPORTED(EnumDisplayModes(DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMMODESCALLBACK))
    UNSUPPORTED(EnumSurfaces(DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMSURFACESCALLBACK))
    UNSUPPORTED(GetCaps(LPDDCAPS, LPDDCAPS))
    UNSUPPORTED(GetFourCCCodes(LPDWORD, LPDWORD))
    UNSUPPORTED(GetGDISurface(LPDIRECTDRAWSURFACE*))
    UNSUPPORTED(GetMonitorFrequency(LPDWORD))
    UNSUPPORTED(GetScanLine(LPDWORD))
    UNSUPPORTED(GetVerticalBlankStatus(WINBOOL*))
    UNSUPPORTED(Initialize(GUID*))

    HRESULT STDMETHODCALLTYPE CreatePalette(DWORD flags, LPPALETTEENTRY table,
                                            LPDIRECTDRAWPALETTE* out, IUnknown*) override {
        state_->paletteRequests.push_back({flags});
        const HRESULT hr = Logged("CreatePalette", state_->createPalette.Take());
        if (SUCCEEDED(hr))
            *out = new FakePalette(state_, table);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* out,
                                            IUnknown*) override {
        const DWORD caps = desc->ddsCaps.dwCaps;
        state_->surfaceRequests.push_back({desc->dwSize, desc->dwFlags, desc->dwWidth,
                                           desc->dwHeight, caps, desc->dwBackBufferCount});
        if ((caps & DDSCAPS_PRIMARYSURFACE) == 0) {
            const HRESULT hr = Logged("CreateSurface(offscreen)", state_->createOffScreen.Take());
            if (SUCCEEDED(hr))
                *out =
                    new FakeSurface(state_, SurfaceKind::OffScreen, static_cast<int>(desc->dwWidth),
                                    static_cast<int>(desc->dwHeight));
            return hr;
        }
        const HRESULT hr = Logged("CreateSurface(primary)", state_->createPrimary.Take());
        if (FAILED(hr))
            return hr;
        const DisplayMode& mode = state_->requestedMode;
        auto* primary = new FakeSurface(state_, SurfaceKind::Primary, static_cast<int>(mode.width),
                                        static_cast<int>(mode.height));
        if ((caps & DDSCAPS_FLIP) != 0)
            primary->AttachBackBuffer();
        *out = primary;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE FlipToGDISurface() override {
        return Logged("FlipToGDISurface", DD_OK);
    }
    HRESULT STDMETHODCALLTYPE GetDisplayMode(LPDDSURFACEDESC desc) override {
        const DisplayMode& mode = state_->requestedMode;
        return Describe(*desc, static_cast<int>(mode.width), static_cast<int>(mode.height),
                        state_->getDisplayMode.Take());
    }
    HRESULT STDMETHODCALLTYPE RestoreDisplayMode() override {
        return state_->restoreDisplayMode.Take();
    }
    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD flags) override {
        state_->cooperativeWindow = window;
        state_->cooperativeFlags = flags;
        return Logged("SetCooperativeLevel", state_->setCooperativeLevel.Take());
    }
    HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD width, DWORD height, DWORD bpp) override {
        state_->requestedMode = {width, height, bpp};
        return Logged("SetDisplayMode", state_->setDisplayMode.Take());
    }
    HRESULT STDMETHODCALLTYPE WaitForVerticalBlank(DWORD flags, HANDLE) override {
        state_->verticalBlankFlags = flags;
        return state_->waitForVerticalBlank.Take();
    }

private:
    HRESULT Logged(const char* call, HRESULT result) {
        state_->log.push_back(call);
        return result;
    }
};

// ---- DirectSound ----

class FakeSoundBuffer final : public ComObject<IDirectSoundBuffer, FakeDirectSoundState> {
public:
    FakeSoundBuffer(std::shared_ptr<FakeDirectSoundState> state, const SoundBufferRequest& request)
        : ComObject(state, state->live.buffers), record_(state->buffers.emplace_back()) {
        record_.description = request;
        record_.data.assign(request.bufferBytes, 0);
    }
    ~FakeSoundBuffer() override { record_.alive = false; }

    UNSUPPORTED(GetCaps(LPDSBCAPS))
    UNSUPPORTED(GetCurrentPosition(LPDWORD, LPDWORD))
    UNSUPPORTED(GetFormat(LPWAVEFORMATEX, DWORD, LPDWORD))
    UNSUPPORTED(GetVolume(LPLONG))
    UNSUPPORTED(GetPan(LPLONG))
    UNSUPPORTED(GetFrequency(LPDWORD))
    UNSUPPORTED(GetStatus(LPDWORD))
    UNSUPPORTED(Initialize(LPDIRECTSOUND, LPCDSBUFFERDESC))
    UNSUPPORTED(Play(DWORD, DWORD, DWORD))
    UNSUPPORTED(SetCurrentPosition(DWORD))
    UNSUPPORTED(SetFormat(LPCWAVEFORMATEX))
    UNSUPPORTED(SetFrequency(DWORD))
    UNSUPPORTED(Restore())

    // One block only: the components lock the whole buffer, which never wraps round.
    HRESULT STDMETHODCALLTYPE Lock(DWORD offset, DWORD bytes, LPVOID* block, LPDWORD blockBytes,
                                   LPVOID*, LPDWORD, DWORD) override {
        const HRESULT hr = state_->lock.Take();
        if (FAILED(hr))
            return hr;
        if (offset > record_.data.size() || bytes > record_.data.size() - offset)
            return DSERR_INVALIDPARAM;
        *block = record_.data.data() + offset;
        *blockBytes = bytes;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Unlock(LPVOID, DWORD, LPVOID, DWORD) override { return DS_OK; }
    HRESULT STDMETHODCALLTYPE SetPan(LONG pan) override {
        return Set(state_->setPan, record_.pan, pan);
    }
    HRESULT STDMETHODCALLTYPE SetVolume(LONG volume) override {
        return Set(state_->setVolume, record_.volume, volume);
    }
    HRESULT STDMETHODCALLTYPE Stop() override { return state_->stop.Take(); }

private:
    // The value is kept unless the call was told to fail.
    static HRESULT Set(FakeCall& call, LONG& kept, LONG value) {
        const HRESULT hr = call.Take();
        if (SUCCEEDED(hr))
            kept = value;
        return hr;
    }

    FakeSoundBufferRecord& record_;
};

class FakeDirectSound final : public ComObject<IDirectSound, FakeDirectSoundState> {
public:
    explicit FakeDirectSound(std::shared_ptr<FakeDirectSoundState> state)
        : ComObject(state, state->live.directSound) {}

    UNSUPPORTED(GetCaps(LPDSCAPS))
    UNSUPPORTED(DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER, LPLPDIRECTSOUNDBUFFER))
    UNSUPPORTED(Compact())
    UNSUPPORTED(GetSpeakerConfig(LPDWORD))
    UNSUPPORTED(SetSpeakerConfig(DWORD))
    UNSUPPORTED(Initialize(LPCGUID))

    HRESULT STDMETHODCALLTYPE CreateSoundBuffer(LPCDSBUFFERDESC desc, LPLPDIRECTSOUNDBUFFER out,
                                                IUnknown*) override {
        const HRESULT hr = state_->createSoundBuffer.Take();
        if (FAILED(hr))
            return hr;
        // Only the fields of the DirectX 3 description, which both layouts begin with.
        SoundBufferRequest request{desc->dwSize, desc->dwFlags, desc->dwBufferBytes, {}};
        std::memcpy(&request.format, desc->lpwfxFormat, sizeof request.format);
        *out = new FakeSoundBuffer(state_, request);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD level) override {
        state_->cooperativeWindow = window;
        state_->cooperativeLevel = level;
        return state_->setCooperativeLevel.Take();
    }
};

#undef UNSUPPORTED

} // namespace

HRESULT FakeDirectDrawCreate::operator()(GUID*, IDirectDraw** out, IUnknown*) const {
    const HRESULT hr = state->create.Take();
    if (SUCCEEDED(hr))
        *out = new FakeDirectDraw(state);
    return hr;
}

HRESULT FakeDirectSoundCreate::operator()(GUID*, IDirectSound** out, IUnknown*) const {
    const HRESULT hr = state->create.Take();
    if (SUCCEEDED(hr))
        *out = new FakeDirectSound(state);
    return hr;
}

} // namespace quillet::testing
