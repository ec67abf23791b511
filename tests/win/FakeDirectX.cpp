#include "tests/win/FakeDirectX.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace quillet::testing {

static_assert(sizeof(DSBUFFERDESC1) == 20, "the DirectX 3 buffer description");
static_assert(sizeof(WAVEFORMATEX) == 18);

const char* NameOf(SurfaceKind kind) {
    switch (kind) {
    case SurfaceKind::Primary:
        return "primary";
    case SurfaceKind::BackBuffer:
        return "backbuffer";
    case SurfaceKind::OffScreen:
        break;
    }
    return "offscreen";
}

std::vector<std::uint8_t> FakeSurfaceRecord::Row(int y) const {
    const auto start = memory.begin() + y * pitch;
    return {start, start + width};
}

bool FakeSurfaceRecord::PaddingIntact() const {
    for (int y = 0; y < height; ++y)
        for (int x = width; x < pitch; ++x)
            if (At(x, y) != kPaddingByte)
                return false;
    return true;
}

FakeSurfaceCalls& FakeDirectDrawState::CallsFor(SurfaceKind kind) {
    switch (kind) {
    case SurfaceKind::Primary:
        return primaryCalls;
    case SurfaceKind::BackBuffer:
        return backBufferCalls;
    case SurfaceKind::OffScreen:
        break;
    }
    return offScreenCalls;
}

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

// The IUnknown part of every fake: one reference count and the object's own interface.
template <class Interface> class ComObject : public Interface {
public:
    explicit ComObject(const IID& iid) : iid_(iid) {}
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;
    virtual ~ComObject() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (out == nullptr)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, iid_)) {
            *out = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        // As COM has it, an object frees itself on its last Release.
        if (left == 0)
            delete this;
        return left;
    }

private:
    IID iid_;
    ULONG refs_ = 1;
};

std::optional<RECT> Given(const RECT* rect) {
    if (rect == nullptr)
        return std::nullopt;
    return *rect;
}

bool Inside(const RECT& rect, int width, int height) {
    return rect.left >= 0 && rect.top >= 0 && rect.left < rect.right && rect.top < rect.bottom &&
           rect.right <= width && rect.bottom <= height;
}

// Wider than the visible row, and not by a multiple of the width, so that code assuming
// pitch == width draws visibly wrong.
int PitchFor(int width) {
    return (width + 7) / 8 * 8 + 8;
}

void DescribePixels(DDPIXELFORMAT& format, DWORD bpp) {
    format = DDPIXELFORMAT{};
    format.dwSize = sizeof format;
    format.dwFlags = DDPF_RGB | (bpp == 8 ? DDPF_PALETTEINDEXED8 : 0);
    format.dwRGBBitCount = bpp;
}

PaletteTable GrayRamp() {
    PaletteTable table{};
    for (std::size_t i = 0; i < table.size(); ++i) {
        const auto level = static_cast<BYTE>(i);
        table[i] = {level, level, level, 0};
    }
    return table;
}

// ---- DirectDraw ----

class FakePalette final : public ComObject<IDirectDrawPalette> {
public:
    FakePalette(std::shared_ptr<FakeDirectDrawState> state, DWORD flags,
                const PaletteTable& entries)
        : ComObject(IID_IDirectDrawPalette), state_(std::move(state)) {
        auto& record = state_->palettes.emplace_back();
        record.index = static_cast<int>(state_->palettes.size()) - 1;
        record.flags = flags;
        record.entries = entries;
        record_ = &record;
        ++state_->live.palettes;
    }
    ~FakePalette() override {
        record_->alive = false;
        --state_->live.palettes;
        state_->log.push_back("Release(palette)");
    }

    FakePaletteRecord& Record() { return *record_; }

    HRESULT STDMETHODCALLTYPE GetCaps(LPDWORD) override { return Unsupported("GetCaps"); }
    HRESULT STDMETHODCALLTYPE GetEntries(DWORD, DWORD base, DWORD count,
                                         LPPALETTEENTRY entries) override {
        state_->log.push_back("GetEntries");
        if (entries == nullptr || base > 256 || count > 256 - base)
            return DDERR_INVALIDPARAMS;
        std::copy_n(record_->entries.begin() + base, count, entries);
        return DD_OK;
    }
    HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTDRAW, DWORD, LPPALETTEENTRY) override {
        return Unsupported("Initialize");
    }
    HRESULT STDMETHODCALLTYPE SetEntries(DWORD, DWORD start, DWORD count,
                                         LPPALETTEENTRY entries) override {
        const HRESULT hr = state_->setEntries.Take();
        state_->log.push_back("SetEntries");
        if (entries == nullptr || start > 256 || count > 256 - start)
            return FAILED(hr) ? hr : DDERR_INVALIDPARAMS;
        PaletteTable table = record_->entries;
        std::copy_n(entries, count, table.begin() + start);
        record_->setEntriesHistory.push_back(table);
        if (SUCCEEDED(hr))
            record_->entries = table;
        return hr;
    }

private:
    HRESULT Unsupported(const char* method) {
        state_->log.push_back(std::string(method) + "(palette): unsupported");
        return DDERR_UNSUPPORTED;
    }

    std::shared_ptr<FakeDirectDrawState> state_;
    FakePaletteRecord* record_;
};

class FakeSurface final : public ComObject<IDirectDrawSurface> {
public:
    FakeSurface(std::shared_ptr<FakeDirectDrawState> state, SurfaceKind kind, int width, int height,
                DWORD caps, FakeSurface* root = nullptr)
        : ComObject(IID_IDirectDrawSurface), state_(std::move(state)),
          calls_(state_->CallsFor(kind)), root_(root) {
        auto& record = state_->surfaces.emplace_back();
        record.kind = kind;
        record.index = static_cast<int>(state_->surfaces.size()) - 1;
        record.width = width;
        record.height = height;
        record.pitch = PitchFor(width);
        record.caps = caps;
        record.memory.assign(record.pitch * height, FakeSurfaceRecord::kPaddingByte);
        for (int y = 0; y < height; ++y)
            std::fill_n(record.memory.begin() + y * record.pitch, width, std::uint8_t{0});
        record_ = &record;
        ++state_->live.surfaces;
    }
    ~FakeSurface() override {
        record_->alive = false;
        --state_->live.surfaces;
        Log("Release");
        if (dc_ != nullptr) {
            Misuse("released with its DC still out");
            FreeDC();
        }
        backBuffer_.reset();
        if (palette_ != nullptr)
            palette_->Release();
    }

    FakeSurfaceRecord& Record() { return *record_; }
    void AttachBackBuffer() {
        backBuffer_ = std::make_unique<FakeSurface>(
            state_, SurfaceKind::BackBuffer, record_->width, record_->height,
            DDSCAPS_BACKBUFFER | DDSCAPS_FLIP | DDSCAPS_COMPLEX, this);
    }

    // A back buffer is part of its primary's flipping chain, which goes when the primary's
    // last reference does, whatever was counted on the back buffer: as with DirectDraw, whose
    // users need not release an attached surface.
    ULONG STDMETHODCALLTYPE AddRef() override {
        return root_ != nullptr ? ++attachedRefs_ : ComObject::AddRef();
    }
    ULONG STDMETHODCALLTYPE Release() override {
        return root_ != nullptr ? (attachedRefs_ > 0 ? --attachedRefs_ : 0) : ComObject::Release();
    }

    HRESULT STDMETHODCALLTYPE AddAttachedSurface(LPDIRECTDRAWSURFACE) override {
        return Unsupported("AddAttachedSurface");
    }
    HRESULT STDMETHODCALLTYPE AddOverlayDirtyRect(LPRECT) override {
        return Unsupported("AddOverlayDirtyRect");
    }
    HRESULT STDMETHODCALLTYPE Blt(LPRECT destRect, LPDIRECTDRAWSURFACE source, LPRECT sourceRect,
                                  DWORD flags, LPDDBLTFX fx) override {
        const HRESULT hr = calls_.blt.Take();
        auto* from = dynamic_cast<FakeSurface*>(source);
        const bool fills = (flags & DDBLT_COLORFILL) != 0;
        record_->blts.push_back({Given(destRect), from != nullptr ? from->record_->index : -1,
                                 Given(sourceRect), flags,
                                 fills && fx != nullptr ? fx->dwFillColor : 0});
        Log("Blt");
        if (FAILED(hr))
            return hr;
        if (source != nullptr && from == nullptr) {
            Misuse("Blt from a surface the fake did not make");
            return DDERR_INVALIDPARAMS;
        }
        const RECT dest = destRect != nullptr ? *destRect : Whole();
        if (!Inside(dest, record_->width, record_->height))
            return DDERR_INVALIDRECT;
        if (fills) {
            if (fx == nullptr || fx->dwSize != sizeof(DDBLTFX))
                return DDERR_INVALIDPARAMS;
            Fill(dest, static_cast<std::uint8_t>(fx->dwFillColor));
            return hr;
        }
        if (from == nullptr)
            return DDERR_INVALIDPARAMS;
        const RECT src = sourceRect != nullptr ? *sourceRect : from->Whole();
        if (!Inside(src, from->record_->width, from->record_->height))
            return DDERR_INVALIDRECT;
        std::optional<std::uint8_t> key;
        if ((flags & DDBLT_KEYSRCOVERRIDE) != 0) {
            if (fx == nullptr || fx->dwSize != sizeof(DDBLTFX))
                return DDERR_INVALIDPARAMS;
            key = static_cast<std::uint8_t>(fx->ddckSrcColorkey.dwColorSpaceLowValue);
        } else if ((flags & DDBLT_KEYSRC) != 0) {
            if (!from->sourceKey_)
                return DDERR_NOCOLORKEY;
            key = from->sourceKey_;
        }
        Copy(*from->record_, src, dest, key);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE BltBatch(LPDDBLTBATCH, DWORD, DWORD) override {
        return Unsupported("BltBatch");
    }
    HRESULT STDMETHODCALLTYPE BltFast(DWORD, DWORD, LPDIRECTDRAWSURFACE, LPRECT, DWORD) override {
        return Unsupported("BltFast");
    }
    HRESULT STDMETHODCALLTYPE DeleteAttachedSurface(DWORD, LPDIRECTDRAWSURFACE) override {
        return Unsupported("DeleteAttachedSurface");
    }
    HRESULT STDMETHODCALLTYPE EnumAttachedSurfaces(LPVOID, LPDDENUMSURFACESCALLBACK) override {
        return Unsupported("EnumAttachedSurfaces");
    }
    HRESULT STDMETHODCALLTYPE EnumOverlayZOrders(DWORD, LPVOID, LPDDENUMSURFACESCALLBACK) override {
        return Unsupported("EnumOverlayZOrders");
    }
    HRESULT STDMETHODCALLTYPE Flip(LPDIRECTDRAWSURFACE, DWORD flags) override {
        const HRESULT hr = calls_.flip.Take();
        record_->flips.push_back(flags);
        Log("Flip");
        if (FAILED(hr))
            return hr;
        if (!backBuffer_) {
            Misuse("flipped without a back buffer");
            return DDERR_NOTFLIPPABLE;
        }
        // What was drawn on the back buffer is now on show, as on a real flipping chain.
        std::swap(record_->memory, backBuffer_->record_->memory);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetAttachedSurface(LPDDSCAPS caps,
                                                 LPDIRECTDRAWSURFACE* out) override {
        const HRESULT hr = calls_.getAttachedSurface.Take();
        Log("GetAttachedSurface");
        if (out != nullptr)
            *out = nullptr;
        if (FAILED(hr))
            return hr;
        if (caps == nullptr || out == nullptr)
            return DDERR_INVALIDPARAMS;
        if (!backBuffer_ || (caps->dwCaps & DDSCAPS_BACKBUFFER) == 0)
            return DDERR_NOTFOUND;
        backBuffer_->AddRef();
        *out = backBuffer_.get();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetBltStatus(DWORD) override { return Unsupported("GetBltStatus"); }
    HRESULT STDMETHODCALLTYPE GetCaps(LPDDSCAPS) override { return Unsupported("GetCaps"); }
    HRESULT STDMETHODCALLTYPE GetClipper(LPDIRECTDRAWCLIPPER*) override {
        return Unsupported("GetClipper");
    }
    HRESULT STDMETHODCALLTYPE GetColorKey(DWORD, LPDDCOLORKEY) override {
        return Unsupported("GetColorKey");
    }
    HRESULT STDMETHODCALLTYPE GetDC(HDC* out) override {
        const HRESULT hr = calls_.getDC.Take();
        ++record_->getDCs;
        Log("GetDC");
        if (out != nullptr)
            *out = nullptr;
        if (FAILED(hr))
            return hr;
        if (out == nullptr)
            return DDERR_INVALIDPARAMS;
        if (dc_ != nullptr) {
            Misuse("GetDC while its DC is out");
            return DDERR_DCALREADYCREATED;
        }
        if (!MakeDC())
            return DDERR_GENERIC;
        *out = dc_;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetFlipStatus(DWORD) override { return Unsupported("GetFlipStatus"); }
    HRESULT STDMETHODCALLTYPE GetOverlayPosition(LPLONG, LPLONG) override {
        return Unsupported("GetOverlayPosition");
    }
    HRESULT STDMETHODCALLTYPE GetPalette(LPDIRECTDRAWPALETTE*) override {
        return Unsupported("GetPalette");
    }
    HRESULT STDMETHODCALLTYPE GetPixelFormat(LPDDPIXELFORMAT) override {
        return Unsupported("GetPixelFormat");
    }
    HRESULT STDMETHODCALLTYPE GetSurfaceDesc(LPDDSURFACEDESC desc) override {
        const HRESULT hr = calls_.getSurfaceDesc.Take();
        Log("GetSurfaceDesc");
        if (FAILED(hr))
            return hr;
        if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC))
            return DDERR_INVALIDPARAMS;
        Describe(*desc);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTDRAW, LPDDSURFACEDESC) override {
        return Unsupported("Initialize");
    }
    HRESULT STDMETHODCALLTYPE IsLost() override {
        const HRESULT hr = calls_.isLost.Take();
        Log("IsLost");
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags,
                                   HANDLE) override {
        const HRESULT hr = calls_.lock.Take();
        record_->locks.push_back({Given(rect), flags});
        Log("Lock");
        if (FAILED(hr))
            return hr;
        if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC))
            return DDERR_INVALIDPARAMS;
        if (rect != nullptr && !Inside(*rect, record_->width, record_->height))
            return DDERR_INVALIDPARAMS;
        if (record_->locked) {
            Misuse("locked twice");
            return DDERR_SURFACEBUSY;
        }
        Describe(*desc);
        desc->dwFlags |= DDSD_LPSURFACE;
        const int offset = rect != nullptr ? rect->top * record_->pitch + rect->left : 0;
        desc->lpSurface = record_->memory.data() + offset;
        record_->locked = true;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE ReleaseDC(HDC dc) override {
        const HRESULT hr = calls_.releaseDC.Take();
        record_->releasedDCs.push_back(dc);
        Log("ReleaseDC");
        if (dc_ == nullptr || dc != dc_) {
            Misuse("ReleaseDC of a DC the surface did not give");
            return FAILED(hr) ? hr : DDERR_NODC;
        }
        // Freed whatever the result, so that a failing ReleaseDC leaks no GDI objects.
        FreeDC();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Restore() override {
        const HRESULT hr = calls_.restore.Take();
        ++record_->restores;
        Log("Restore");
        return hr;
    }
    HRESULT STDMETHODCALLTYPE SetClipper(LPDIRECTDRAWCLIPPER) override {
        return Unsupported("SetClipper");
    }
    HRESULT STDMETHODCALLTYPE SetColorKey(DWORD flags, LPDDCOLORKEY key) override {
        const HRESULT hr = calls_.setColorKey.Take();
        record_->colorKeys.push_back(
            {flags, key != nullptr ? std::optional<DDCOLORKEY>(*key) : std::nullopt});
        Log("SetColorKey");
        if (FAILED(hr))
            return hr;
        if ((flags & DDCKEY_SRCBLT) != 0) {
            sourceKey_.reset();
            if (key != nullptr)
                sourceKey_ = static_cast<std::uint8_t>(key->dwColorSpaceLowValue);
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE SetOverlayPosition(LONG, LONG) override {
        return Unsupported("SetOverlayPosition");
    }
    HRESULT STDMETHODCALLTYPE SetPalette(LPDIRECTDRAWPALETTE palette) override {
        const HRESULT hr = calls_.setPalette.Take();
        auto* given = dynamic_cast<FakePalette*>(palette);
        const int index = given != nullptr ? given->Record().index : -1;
        record_->palettesSet.push_back(index);
        Log("SetPalette");
        if (FAILED(hr))
            return hr;
        if (palette != nullptr && given == nullptr) {
            Misuse("SetPalette with a palette the fake did not make");
            return DDERR_INVALIDPARAMS;
        }
        // The surface holds a reference to its palette, as the real one does.
        if (given != nullptr)
            given->AddRef();
        if (palette_ != nullptr)
            palette_->Release();
        palette_ = given;
        if (record_->kind == SurfaceKind::Primary)
            state_->displayPalette = index;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Unlock(LPVOID) override {
        const HRESULT hr = calls_.unlock.Take();
        ++record_->unlocks;
        Log("Unlock");
        if (FAILED(hr))
            return hr;
        if (!record_->locked) {
            Misuse("unlocked without a lock");
            return DDERR_NOTLOCKED;
        }
        record_->locked = false;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE UpdateOverlay(LPRECT, LPDIRECTDRAWSURFACE, LPRECT, DWORD,
                                            LPDDOVERLAYFX) override {
        return Unsupported("UpdateOverlay");
    }
    HRESULT STDMETHODCALLTYPE UpdateOverlayDisplay(DWORD) override {
        return Unsupported("UpdateOverlayDisplay");
    }
    HRESULT STDMETHODCALLTYPE UpdateOverlayZOrder(DWORD, LPDIRECTDRAWSURFACE) override {
        return Unsupported("UpdateOverlayZOrder");
    }

private:
    void Log(const char* method) {
        state_->log.push_back(std::string(method) + "(" + NameOf(record_->kind) + ")");
    }
    void Misuse(const std::string& what) {
        state_->misuse.push_back(std::string(NameOf(record_->kind)) + " surface " +
                                 std::to_string(record_->index) + ": " + what);
    }
    HRESULT Unsupported(const char* method) {
        state_->log.push_back(std::string(method) + "(" + NameOf(record_->kind) + "): unsupported");
        return DDERR_UNSUPPORTED;
    }

    RECT Whole() const { return {0, 0, record_->width, record_->height}; }

    void Describe(DDSURFACEDESC& desc) const {
        const DWORD size = desc.dwSize;
        desc = DDSURFACEDESC{};
        desc.dwSize = size;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
        desc.dwWidth = static_cast<DWORD>(record_->width);
        desc.dwHeight = static_cast<DWORD>(record_->height);
        desc.lPitch = record_->pitch;
        desc.ddsCaps.dwCaps = record_->caps;
        DescribePixels(desc.ddpfPixelFormat, 8);
    }

    void Fill(const RECT& rect, std::uint8_t color) {
        for (LONG y = rect.top; y < rect.bottom; ++y)
            std::fill(record_->memory.begin() + y * record_->pitch + rect.left,
                      record_->memory.begin() + y * record_->pitch + rect.right, color);
    }

    // Scales by picking the nearest source pixel; `key` pixels of the source are left out.
    void Copy(const FakeSurfaceRecord& from, const RECT& src, const RECT& dest,
              std::optional<std::uint8_t> key) {
        const std::vector<std::uint8_t> source = from.memory; // the source may be this surface
        const LONG destWidth = dest.right - dest.left;
        const LONG destHeight = dest.bottom - dest.top;
        const LONG srcWidth = src.right - src.left;
        const LONG srcHeight = src.bottom - src.top;
        for (LONG y = 0; y < destHeight; ++y) {
            const LONG sy = src.top + y * srcHeight / destHeight;
            for (LONG x = 0; x < destWidth; ++x) {
                const std::uint8_t pixel =
                    source[sy * from.pitch + src.left + x * srcWidth / destWidth];
                if (!key || pixel != *key)
                    record_->memory[(dest.top + y) * record_->pitch + dest.left + x] = pixel;
            }
        }
    }

    // The colours GDI maps onto the surface's bytes: the surface's palette, else the one on
    // show, else a grey ramp.
    PaletteTable Colors() const {
        if (palette_ != nullptr)
            return palette_->Record().entries;
        if (state_->displayPalette >= 0)
            return state_->palettes[state_->displayPalette].entries;
        return GrayRamp();
    }

    // A memory DC over an 8-bit DIB section holding a copy of the surface; FreeDC copies it
    // back, so GDI output lands in the surface's memory.
    bool MakeDC() {
        struct {
            BITMAPINFOHEADER header;
            RGBQUAD colors[256];
        } info{};
        info.header.biSize = sizeof info.header;
        info.header.biWidth = record_->width;
        info.header.biHeight = -record_->height; // top-down, like the surface
        info.header.biPlanes = 1;
        info.header.biBitCount = 8;
        info.header.biCompression = BI_RGB;
        info.header.biClrUsed = 256;
        const PaletteTable colors = Colors();
        for (std::size_t i = 0; i < colors.size(); ++i)
            info.colors[i] = {colors[i].peBlue, colors[i].peGreen, colors[i].peRed, 0};

        dc_ = CreateCompatibleDC(nullptr);
        void* bits = nullptr;
        dib_ = dc_ != nullptr ? CreateDIBSection(dc_, reinterpret_cast<BITMAPINFO*>(&info),
                                                 DIB_RGB_COLORS, &bits, nullptr, 0)
                              : nullptr;
        if (dib_ == nullptr) {
            if (dc_ != nullptr)
                DeleteDC(dc_);
            dc_ = nullptr;
            return false;
        }
        dibBits_ = static_cast<std::uint8_t*>(bits);
        oldBitmap_ = SelectObject(dc_, dib_);
        for (int y = 0; y < record_->height; ++y)
            std::copy_n(record_->memory.begin() + y * record_->pitch, record_->width,
                        dibBits_ + y * DibStride());
        return true;
    }
    void FreeDC() {
        GdiFlush();
        for (int y = 0; y < record_->height; ++y)
            std::copy_n(dibBits_ + y * DibStride(), record_->width,
                        record_->memory.begin() + y * record_->pitch);
        SelectObject(dc_, oldBitmap_);
        DeleteObject(dib_);
        DeleteDC(dc_);
        dc_ = nullptr;
        dib_ = nullptr;
        dibBits_ = nullptr;
    }
    int DibStride() const { return (record_->width + 3) / 4 * 4; }

    std::shared_ptr<FakeDirectDrawState> state_;
    FakeSurfaceCalls& calls_;
    FakeSurfaceRecord* record_;
    FakeSurface* root_;                       // a back buffer's primary
    std::unique_ptr<FakeSurface> backBuffer_; // a primary's
    ULONG attachedRefs_ = 1;
    FakePalette* palette_ = nullptr;
    std::optional<std::uint8_t> sourceKey_;
    HDC dc_ = nullptr;
    HBITMAP dib_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr;
    std::uint8_t* dibBits_ = nullptr;
};

class FakeDirectDraw final : public ComObject<IDirectDraw> {
public:
    explicit FakeDirectDraw(std::shared_ptr<FakeDirectDrawState> state)
        : ComObject(IID_IDirectDraw), state_(std::move(state)) {
        ++state_->live.directDraw;
    }
    ~FakeDirectDraw() override {
        --state_->live.directDraw;
        state_->log.push_back("Release(DirectDraw)");
    }

    HRESULT STDMETHODCALLTYPE Compact() override { return Unsupported("Compact"); }
    HRESULT STDMETHODCALLTYPE CreateClipper(DWORD, LPDIRECTDRAWCLIPPER*, IUnknown*) override {
        return Unsupported("CreateClipper");
    }
    HRESULT STDMETHODCALLTYPE CreatePalette(DWORD flags, LPPALETTEENTRY table,
                                            LPDIRECTDRAWPALETTE* out, IUnknown* outer) override {
        const HRESULT hr = state_->createPalette.Take();
        auto& request = state_->paletteRequests.emplace_back();
        request.flags = flags;
        if (table != nullptr)
            std::copy_n(table, request.entries.size(), request.entries.begin());
        state_->log.push_back("CreatePalette");
        if (out != nullptr)
            *out = nullptr;
        if (FAILED(hr))
            return hr;
        if (table == nullptr || out == nullptr)
            return DDERR_INVALIDPARAMS;
        if (outer != nullptr)
            return CLASS_E_NOAGGREGATION;
        *out = new FakePalette(state_, flags, request.entries);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* out,
                                            IUnknown* outer) override {
        SurfaceRequest request;
        if (desc != nullptr)
            request = {desc->dwSize,   desc->dwFlags,        desc->dwWidth,
                       desc->dwHeight, desc->ddsCaps.dwCaps, desc->dwBackBufferCount};
        state_->surfaceRequests.push_back(request);
        const bool primary = (request.caps & DDSCAPS_PRIMARYSURFACE) != 0;
        const HRESULT hr = (primary ? state_->createPrimary : state_->createOffScreen).Take();
        state_->log.push_back(primary ? "CreateSurface(primary)" : "CreateSurface(offscreen)");
        if (out != nullptr)
            *out = nullptr;
        if (FAILED(hr))
            return hr;
        if (desc == nullptr || out == nullptr || request.size != sizeof(DDSURFACEDESC))
            return DDERR_INVALIDPARAMS;
        if (outer != nullptr)
            return CLASS_E_NOAGGREGATION;
        if (primary)
            return MakePrimary(request, out, hr);
        if ((request.flags & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT) ||
            request.width == 0 || request.height == 0)
            return DDERR_INVALIDPARAMS;
        *out = new FakeSurface(state_, SurfaceKind::OffScreen, static_cast<int>(request.width),
                               static_cast<int>(request.height), request.caps);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE DuplicateSurface(LPDIRECTDRAWSURFACE, LPDIRECTDRAWSURFACE*) override {
        return Unsupported("DuplicateSurface");
    }
    HRESULT STDMETHODCALLTYPE EnumDisplayModes(DWORD, LPDDSURFACEDESC, LPVOID,
                                               LPDDENUMMODESCALLBACK) override {
        return Unsupported("EnumDisplayModes");
    }
    HRESULT STDMETHODCALLTYPE EnumSurfaces(DWORD, LPDDSURFACEDESC, LPVOID,
                                           LPDDENUMSURFACESCALLBACK) override {
        return Unsupported("EnumSurfaces");
    }
    HRESULT STDMETHODCALLTYPE FlipToGDISurface() override {
        return Simple(state_->flipToGDISurface, "FlipToGDISurface");
    }
    HRESULT STDMETHODCALLTYPE GetCaps(LPDDCAPS, LPDDCAPS) override {
        return Unsupported("GetCaps");
    }
    HRESULT STDMETHODCALLTYPE GetDisplayMode(LPDDSURFACEDESC desc) override {
        const HRESULT hr = Simple(state_->getDisplayMode, "GetDisplayMode");
        if (FAILED(hr))
            return hr;
        if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC))
            return DDERR_INVALIDPARAMS;
        const DisplayMode& mode = state_->mode;
        *desc = DDSURFACEDESC{};
        desc->dwSize = sizeof(DDSURFACEDESC);
        desc->dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
        desc->dwWidth = mode.width;
        desc->dwHeight = mode.height;
        desc->lPitch = PitchFor(static_cast<int>(mode.width));
        DescribePixels(desc->ddpfPixelFormat, mode.bpp);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetFourCCCodes(LPDWORD, LPDWORD) override {
        return Unsupported("GetFourCCCodes");
    }
    HRESULT STDMETHODCALLTYPE GetGDISurface(LPDIRECTDRAWSURFACE*) override {
        return Unsupported("GetGDISurface");
    }
    HRESULT STDMETHODCALLTYPE GetMonitorFrequency(LPDWORD) override {
        return Unsupported("GetMonitorFrequency");
    }
    HRESULT STDMETHODCALLTYPE GetScanLine(LPDWORD) override { return Unsupported("GetScanLine"); }
    HRESULT STDMETHODCALLTYPE GetVerticalBlankStatus(WINBOOL*) override {
        return Unsupported("GetVerticalBlankStatus");
    }
    HRESULT STDMETHODCALLTYPE Initialize(GUID*) override { return Unsupported("Initialize"); }
    HRESULT STDMETHODCALLTYPE RestoreDisplayMode() override {
        return Simple(state_->restoreDisplayMode, "RestoreDisplayMode");
    }
    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD flags) override {
        state_->cooperativeWindow = window;
        state_->cooperativeFlags = flags;
        return Simple(state_->setCooperativeLevel, "SetCooperativeLevel");
    }
    HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD width, DWORD height, DWORD bpp) override {
        state_->requestedMode = {width, height, bpp};
        const HRESULT hr = Simple(state_->setDisplayMode, "SetDisplayMode");
        if (FAILED(hr))
            return hr;
        if (width == 0 || height == 0 || bpp == 0)
            return DDERR_INVALIDPARAMS;
        state_->mode = state_->requestedMode;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE WaitForVerticalBlank(DWORD flags, HANDLE) override {
        state_->verticalBlankFlags = flags;
        return Simple(state_->waitForVerticalBlank, "WaitForVerticalBlank");
    }

private:
    HRESULT Simple(FakeCall& call, const char* method) {
        const HRESULT hr = call.Take();
        state_->log.push_back(method);
        return hr;
    }
    HRESULT Unsupported(const char* method) {
        state_->log.push_back(std::string(method) + ": unsupported");
        return DDERR_UNSUPPORTED;
    }

    HRESULT MakePrimary(const SurfaceRequest& request, LPDIRECTDRAWSURFACE* out, HRESULT hr) {
        for (const auto& surface : state_->surfaces) {
            if (surface.kind == SurfaceKind::Primary && surface.alive) {
                state_->misuse.push_back("a second primary surface while one lives");
                return DDERR_PRIMARYSURFACEALREADYEXISTS;
            }
        }
        const bool flipping = (request.caps & DDSCAPS_FLIP) != 0;
        if (flipping &&
            ((request.caps & DDSCAPS_COMPLEX) == 0 || (request.flags & DDSD_BACKBUFFERCOUNT) == 0 ||
             request.backBufferCount == 0))
            return DDERR_INVALIDPARAMS;
        if (flipping && request.backBufferCount > 1)
            return DDERR_UNSUPPORTED; // the fake models one back buffer
        auto* primary =
            new FakeSurface(state_, SurfaceKind::Primary, static_cast<int>(state_->mode.width),
                            static_cast<int>(state_->mode.height), request.caps);
        if (flipping)
            primary->AttachBackBuffer();
        *out = primary;
        return hr;
    }

    std::shared_ptr<FakeDirectDrawState> state_;
};

// ---- DirectSound ----

SoundBufferRequest Read(const DSBUFFERDESC& desc) {
    // Only the DirectX 3 description's fields, which both layouts begin with.
    DSBUFFERDESC1 head;
    std::memcpy(&head, &desc, sizeof head);
    SoundBufferRequest request;
    request.size = head.dwSize;
    request.flags = head.dwFlags;
    request.bufferBytes = head.dwBufferBytes;
    if (head.lpwfxFormat != nullptr) {
        request.hasFormat = true;
        std::memcpy(request.formatBytes.data(), head.lpwfxFormat, request.formatBytes.size());
        std::memcpy(&request.format, request.formatBytes.data(), sizeof request.format);
    }
    return request;
}

class FakeSoundBuffer final : public ComObject<IDirectSoundBuffer> {
public:
    FakeSoundBuffer(std::shared_ptr<FakeDirectSoundState> state, const SoundBufferRequest& request)
        : ComObject(IID_IDirectSoundBuffer), state_(std::move(state)) {
        auto& record = state_->buffers.emplace_back();
        record.index = static_cast<int>(state_->buffers.size()) - 1;
        record.description = request;
        record.data.assign(request.bufferBytes, 0);
        record_ = &record;
        ++state_->live.buffers;
    }
    ~FakeSoundBuffer() override {
        record_->alive = false;
        --state_->live.buffers;
        state_->log.push_back("Release(buffer)");
    }

    HRESULT STDMETHODCALLTYPE GetCaps(LPDSBCAPS) override { return Unsupported("GetCaps"); }
    HRESULT STDMETHODCALLTYPE GetCurrentPosition(LPDWORD, LPDWORD) override {
        return Unsupported("GetCurrentPosition");
    }
    HRESULT STDMETHODCALLTYPE GetFormat(LPWAVEFORMATEX, DWORD, LPDWORD) override {
        return Unsupported("GetFormat");
    }
    HRESULT STDMETHODCALLTYPE GetVolume(LPLONG volume) override {
        state_->log.push_back("GetVolume");
        if (volume == nullptr)
            return DSERR_INVALIDPARAM;
        *volume = record_->volume;
        return DS_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPan(LPLONG pan) override {
        state_->log.push_back("GetPan");
        if (pan == nullptr)
            return DSERR_INVALIDPARAM;
        *pan = record_->pan;
        return DS_OK;
    }
    HRESULT STDMETHODCALLTYPE GetFrequency(LPDWORD) override { return Unsupported("GetFrequency"); }
    HRESULT STDMETHODCALLTYPE GetStatus(LPDWORD status) override {
        state_->log.push_back("GetStatus");
        if (status == nullptr)
            return DSERR_INVALIDPARAM;
        *status = 0;
        if (record_->playing)
            *status = DSBSTATUS_PLAYING |
                      ((record_->plays.back() & DSBPLAY_LOOPING) != 0 ? DSBSTATUS_LOOPING : 0);
        return DS_OK;
    }
    HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTSOUND, LPCDSBUFFERDESC) override {
        return Unsupported("Initialize");
    }
    HRESULT STDMETHODCALLTYPE Lock(DWORD offset, DWORD bytes, LPVOID* block, LPDWORD blockBytes,
                                   LPVOID* second, LPDWORD secondBytes, DWORD flags) override {
        const HRESULT hr = state_->lock.Take();
        record_->locks.push_back({offset, bytes, flags});
        state_->log.push_back("Lock");
        if (block != nullptr)
            *block = nullptr;
        if (blockBytes != nullptr)
            *blockBytes = 0;
        if (second != nullptr)
            *second = nullptr;
        if (secondBytes != nullptr)
            *secondBytes = 0;
        if (FAILED(hr))
            return hr;
        if (block == nullptr || blockBytes == nullptr)
            return DSERR_INVALIDPARAM;
        const auto size = static_cast<DWORD>(record_->data.size());
        if ((flags & DSBLOCK_ENTIREBUFFER) != 0) {
            offset = 0;
            bytes = size;
        }
        if (bytes == 0 || offset >= size || bytes > size)
            return DSERR_INVALIDPARAM;
        if (bytes > size - offset) {
            Misuse("a lock that wraps round the end, which the fake does not model");
            return DSERR_INVALIDPARAM;
        }
        *block = record_->data.data() + offset;
        *blockBytes = bytes;
        record_->locked = true;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Play(DWORD, DWORD, DWORD flags) override {
        const HRESULT hr = state_->play.Take();
        record_->plays.push_back(flags);
        state_->log.push_back("Play");
        if (SUCCEEDED(hr))
            record_->playing = true;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE SetCurrentPosition(DWORD position) override {
        const HRESULT hr = state_->setCurrentPosition.Take();
        record_->positions.push_back(position);
        state_->log.push_back("SetCurrentPosition");
        if (SUCCEEDED(hr) && position >= record_->data.size())
            return DSERR_INVALIDPARAM;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE SetFormat(LPCWAVEFORMATEX) override {
        return Unsupported("SetFormat");
    }
    HRESULT STDMETHODCALLTYPE SetVolume(LONG volume) override {
        const HRESULT hr = state_->setVolume.Take();
        record_->volumes.push_back(volume);
        state_->log.push_back("SetVolume");
        if (FAILED(hr))
            return hr;
        if (state_->checkVolumeRange && (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX))
            return DSERR_INVALIDPARAM;
        record_->volume = volume;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE SetPan(LONG pan) override {
        const HRESULT hr = state_->setPan.Take();
        record_->pans.push_back(pan);
        state_->log.push_back("SetPan");
        if (FAILED(hr))
            return hr;
        if (state_->checkPanRange && (pan < DSBPAN_LEFT || pan > DSBPAN_RIGHT))
            return DSERR_INVALIDPARAM;
        record_->pan = pan;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE SetFrequency(DWORD) override { return Unsupported("SetFrequency"); }
    HRESULT STDMETHODCALLTYPE Stop() override {
        const HRESULT hr = state_->stop.Take();
        ++record_->stops;
        state_->log.push_back("Stop");
        if (SUCCEEDED(hr))
            record_->playing = false;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Unlock(LPVOID block, DWORD, LPVOID, DWORD) override {
        const HRESULT hr = state_->unlock.Take();
        ++record_->unlocks;
        state_->log.push_back("Unlock");
        if (FAILED(hr))
            return hr;
        const auto* bytes = static_cast<const std::uint8_t*>(block);
        const auto* data = record_->data.data();
        if (!record_->locked || bytes < data || bytes >= data + record_->data.size()) {
            Misuse("unlocked what it had not locked");
            return DSERR_INVALIDPARAM;
        }
        record_->locked = false;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Restore() override { return Unsupported("Restore"); }

private:
    void Misuse(const std::string& what) {
        state_->misuse.push_back("buffer " + std::to_string(record_->index) + ": " + what);
    }
    HRESULT Unsupported(const char* method) {
        state_->log.push_back(std::string(method) + "(buffer): unsupported");
        return DSERR_UNSUPPORTED;
    }

    std::shared_ptr<FakeDirectSoundState> state_;
    FakeSoundBufferRecord* record_;
};

class FakeDirectSound final : public ComObject<IDirectSound> {
public:
    explicit FakeDirectSound(std::shared_ptr<FakeDirectSoundState> state)
        : ComObject(IID_IDirectSound), state_(std::move(state)) {
        ++state_->live.directSound;
    }
    ~FakeDirectSound() override {
        --state_->live.directSound;
        state_->log.push_back("Release(DirectSound)");
    }

    HRESULT STDMETHODCALLTYPE CreateSoundBuffer(LPCDSBUFFERDESC desc, LPLPDIRECTSOUNDBUFFER out,
                                                IUnknown* outer) override {
        const HRESULT hr = state_->createSoundBuffer.Take();
        const SoundBufferRequest request = desc != nullptr ? Read(*desc) : SoundBufferRequest{};
        state_->bufferRequests.push_back(request);
        state_->log.push_back("CreateSoundBuffer");
        if (out != nullptr)
            *out = nullptr;
        if (FAILED(hr))
            return hr;
        if (desc == nullptr || out == nullptr ||
            (request.size != sizeof(DSBUFFERDESC1) && request.size != sizeof(DSBUFFERDESC)))
            return DSERR_INVALIDPARAM;
        if (outer != nullptr)
            return DSERR_NOAGGREGATION;
        if ((request.flags & DSBCAPS_PRIMARYBUFFER) != 0) {
            if (request.bufferBytes != 0 || request.hasFormat)
                return DSERR_INVALIDPARAM;
        } else if (request.bufferBytes < DSBSIZE_MIN || request.bufferBytes > DSBSIZE_MAX ||
                   !request.hasFormat) {
            return DSERR_INVALIDPARAM;
        }
        *out = new FakeSoundBuffer(state_, request);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetCaps(LPDSCAPS) override { return Unsupported("GetCaps"); }
    HRESULT STDMETHODCALLTYPE DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER,
                                                   LPLPDIRECTSOUNDBUFFER) override {
        return Unsupported("DuplicateSoundBuffer");
    }
    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD level) override {
        state_->cooperativeWindow = window;
        state_->cooperativeLevel = level;
        const HRESULT hr = state_->setCooperativeLevel.Take();
        state_->log.push_back("SetCooperativeLevel");
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Compact() override { return Unsupported("Compact"); }
    HRESULT STDMETHODCALLTYPE GetSpeakerConfig(LPDWORD) override {
        return Unsupported("GetSpeakerConfig");
    }
    HRESULT STDMETHODCALLTYPE SetSpeakerConfig(DWORD) override {
        return Unsupported("SetSpeakerConfig");
    }
    HRESULT STDMETHODCALLTYPE Initialize(LPCGUID) override { return Unsupported("Initialize"); }

private:
    HRESULT Unsupported(const char* method) {
        state_->log.push_back(std::string(method) + ": unsupported");
        return DSERR_UNSUPPORTED;
    }

    std::shared_ptr<FakeDirectSoundState> state_;
};

} // namespace

HRESULT FakeDirectDrawCreate::operator()(GUID*, IDirectDraw** out, IUnknown* outer) const {
    const HRESULT hr = state->create.Take();
    state->log.push_back("Create");
    if (out != nullptr)
        *out = nullptr;
    if (FAILED(hr))
        return hr;
    if (out == nullptr)
        return DDERR_INVALIDPARAMS;
    if (outer != nullptr)
        return CLASS_E_NOAGGREGATION;
    *out = new FakeDirectDraw(state);
    return hr;
}

HRESULT FakeDirectSoundCreate::operator()(GUID*, IDirectSound** out, IUnknown* outer) const {
    const HRESULT hr = state->create.Take();
    state->log.push_back("Create");
    if (out != nullptr)
        *out = nullptr;
    if (FAILED(hr))
        return hr;
    if (out == nullptr)
        return DSERR_INVALIDPARAM;
    if (outer != nullptr)
        return DSERR_NOAGGREGATION;
    *out = new FakeDirectSound(state);
    return hr;
}

} // namespace quillet::testing
