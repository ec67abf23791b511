#include "gamelib/Mx.h"

#include <cstdio>

namespace quillet {

namespace {

// The DirectDraw of the time knew a 108-byte surface description and a 100-byte blit record.
static_assert(sizeof(DDSURFACEDESC) == 108);
static_assert(sizeof(DDBLTFX) == 100);

DDSURFACEDESC EmptyDescription() {
    DDSURFACEDESC description{};
    description.dwSize = sizeof description;
    return description;
}

} // namespace

TMxCanvas::TMxCanvas(IDirectDrawSurface* surface) : FSurface(surface) {
    if (surface == nullptr)
        throw EMxCanvas("Cannot create canvas for NIL surface");
}

TMxCanvas::~TMxCanvas() {
    Release();
}

void TMxCanvas::CreateHandle() {
    if (FDC == nullptr) {
        HDC dc = nullptr;
        // A refused device context leaves the canvas without one; the drawing then fails.
        if (SUCCEEDED(FSurface->GetDC(&dc)))
            FDC = dc;
    }
    SetHandle(FDC);
}

void TMxCanvas::Release() {
    if (FDC == nullptr)
        return;
    SetHandle(nullptr);
    FSurface->ReleaseDC(FDC);
    FDC = nullptr;
}

std::unique_ptr<TMxSurface> TMxSurface::CreateMemory(IDirectDraw* directDraw, std::int32_t width,
                                                     std::int32_t height) {
    auto surface = std::make_unique<TMxSurface>(Key{}, false);
    DDSURFACEDESC description = EmptyDescription();
    description.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    description.dwWidth = static_cast<DWORD>(width);
    description.dwHeight = static_cast<DWORD>(height);
    description.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    if (directDraw == nullptr ||
        FAILED(directDraw->CreateSurface(&description, &surface->FSurface, nullptr))) {
        surface->FSurface = nullptr;
        char message[80];
        std::snprintf(message, sizeof message, "Could not create memory srface (%ld, %ld)",
                      static_cast<long>(width), static_cast<long>(height));
        throw EMxSurface(message);
    }
    surface->SetSize(width, height);
    surface->FCanvas = std::make_unique<TMxCanvas>(surface->FSurface);
    DDSURFACEDESC made = EmptyDescription();
    surface->FPitch = SUCCEEDED(surface->FSurface->GetSurfaceDesc(&made))
                          ? static_cast<std::int32_t>(made.lPitch)
                          : 0;
    return surface;
}

std::unique_ptr<TMxSurface> TMxSurface::CreatePrimary(const TMxScreen& screen) {
    auto surface = std::make_unique<TMxSurface>(Key{}, false);
    DDSURFACEDESC description = EmptyDescription();
    description.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    description.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    description.dwBackBufferCount = 1;
    IDirectDraw* directDraw = screen.DirectDraw();
    if (directDraw == nullptr ||
        FAILED(directDraw->CreateSurface(&description, &surface->FSurface, nullptr))) {
        surface->FSurface = nullptr;
        throw EMxSurface("CreateSurface failed");
    }
    surface->FCanvas = std::make_unique<TMxCanvas>(surface->FSurface);
    DDSURFACEDESC mode = EmptyDescription();
    if (FAILED(directDraw->GetDisplayMode(&mode)))
        throw EMxSurface("Get DisplayMode Failed");
    surface->SetSize(static_cast<std::int32_t>(mode.dwWidth),
                     static_cast<std::int32_t>(mode.dwHeight));
    surface->FPitch = static_cast<std::int32_t>(mode.lPitch);
    return surface;
}

std::unique_ptr<TMxSurface> TMxSurface::CreateBack(const TMxSurface& front) {
    auto surface = std::make_unique<TMxSurface>(Key{}, true);
    DDSCAPS caps{DDSCAPS_BACKBUFFER};
    if (front.FSurface == nullptr ||
        FAILED(front.FSurface->GetAttachedSurface(&caps, &surface->FSurface))) {
        surface->FSurface = nullptr;
        throw EMxSurface("Failed to get background surface");
    }
    surface->FCanvas = std::make_unique<TMxCanvas>(surface->FSurface);
    surface->SetSize(front.FWidth, front.FHeight);
    surface->FPitch = front.FPitch;
    return surface;
}

TMxSurface::~TMxSurface() {
    FCanvas.reset();
    // A back buffer belongs to its primary and goes with it.
    if (FSurface != nullptr && !FAttached)
        FSurface->Release();
}

void TMxSurface::SetSize(std::int32_t width, std::int32_t height) {
    FWidth = width;
    FHeight = height;
    FClientRect = RECT{0, 0, width, height};
}

std::uint8_t* TMxSurface::Lock() {
    DDSURFACEDESC description = EmptyDescription();
    if (FAILED(FSurface->Lock(&FClientRect, &description, DDLOCK_WAIT, nullptr)))
        FLockedAddress = nullptr;
    else
        FLockedAddress = description.lpSurface;
    return static_cast<std::uint8_t*>(FLockedAddress);
}

void TMxSurface::Unlock() {
    if (FLockedAddress == nullptr)
        return;
    FSurface->Unlock(FLockedAddress);
    FLockedAddress = nullptr;
}

void TMxSurface::Erase(std::uint8_t color) {
    DDBLTFX effects{};
    effects.dwSize = sizeof effects;
    effects.dwFillColor = color;
    const HRESULT result =
        FSurface->Blt(&FClientRect, nullptr, &FClientRect, DDBLT_WAIT | DDBLT_COLORFILL, &effects);
    if (SUCCEEDED(result))
        return;
    if (result == DDERR_SURFACELOST && OnSurfaceLost) {
        OnSurfaceLost(*this);
        return;
    }
    throw EMxSurface("Erase (Blt) Failed");
}

void TMxSurface::SetTransparentColor(std::uint8_t color) {
    FTransparentColor = color;
    DDCOLORKEY key{color, color};
    if (FAILED(FSurface->SetColorKey(DDCKEY_SRCBLT, &key)))
        throw EMxSurface("SetColorKey failed");
}

} // namespace quillet
