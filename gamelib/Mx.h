// The full-screen display: an exclusive 8-bit DirectDraw screen on a form, its surfaces and the
// canvas that draws on them, and the trace line to an outside viewer.
#pragma once

#include "base/Component.h"
#include "base/Exceptions.h"
#include "gamelib/MxILib.h"
#include "ui/Canvas.h"
#include "ui/Forms.h"
#include "ui/Handles.h"

#include <ddraw.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace quillet {

class EMxScreen : public Exception {
public:
    using Exception::Exception;
};

class EMxSurface : public Exception {
public:
    using Exception::Exception;
};

class EMxCanvas : public Exception {
public:
    using Exception::Exception;
};

// Posted to the application's window when the user comes back to the program.
inline constexpr UINT WM_SCREENRESTORE = WM_USER + 200;

// Sends one line to the trace viewer window ("Mx Trace"), if one is running.
void Trace(const std::string& text);

enum class TDisplayMode : std::uint8_t {
    dm640x480x8,
    dm320x200x8,
    dm320x240x8,
    dm800x600x8,
    dm1024x768x8
};

// Width and height of a display mode, in pixels.
SIZE DisplayModeSize(TDisplayMode mode);

using TPaletteEntries = std::array<PALETTEENTRY, 256>;

// Makes the DirectDraw object; tests hand in their own.
using TDirectDrawCreate = std::function<HRESULT(GUID*, IDirectDraw**, IUnknown*)>;

// Draws on a surface through the device context that the surface lends it; the first drawing
// borrows it, Release gives it back.
class TMxCanvas : public ui::TCanvas {
public:
    explicit TMxCanvas(IDirectDrawSurface* surface);
    ~TMxCanvas() override;
    void Release();

protected:
    void CreateHandle() override;

private:
    IDirectDrawSurface* FSurface;
    HDC FDC = nullptr;
};

class TMxScreen;

// One 8-bit DirectDraw surface: the primary, its back buffer, or an off-screen plain surface.
class TMxSurface {
    struct Key {};

public:
    // Made only through the three factories below.
    TMxSurface(Key, bool attached) : FAttached(attached) {}
    static std::unique_ptr<TMxSurface> CreateMemory(IDirectDraw* directDraw, std::int32_t width,
                                                    std::int32_t height);
    static std::unique_ptr<TMxSurface> CreatePrimary(const TMxScreen& screen);
    static std::unique_ptr<TMxSurface> CreateBack(const TMxSurface& front);
    ~TMxSurface();
    TMxSurface(const TMxSurface&) = delete;
    TMxSurface& operator=(const TMxSurface&) = delete;

    // The surface memory, or null when it cannot be locked.
    std::uint8_t* Lock();
    void Unlock();
    void Erase(std::uint8_t color);
    void SetTransparentColor(std::uint8_t color);

    IDirectDrawSurface* Surface() const { return FSurface; }
    TMxCanvas& Canvas() { return *FCanvas; }
    std::uint8_t TransparentColor() const { return FTransparentColor; }
    std::int32_t Width() const { return FWidth; }
    std::int32_t Height() const { return FHeight; }
    std::int32_t Pitch() const { return FPitch; }
    const RECT& ClientRect() const { return FClientRect; }
    bool Attached() const { return FAttached; }

    // Raised by Erase when the surface memory was lost.
    std::function<void(TMxSurface& sender)> OnSurfaceLost;

private:
    void SetSize(std::int32_t width, std::int32_t height);

    IDirectDrawSurface* FSurface = nullptr;
    std::unique_ptr<TMxCanvas> FCanvas;
    std::uint8_t FTransparentColor = 0;
    std::int32_t FWidth = 0;
    std::int32_t FHeight = 0;
    std::int32_t FPitch = 0;
    RECT FClientRect{};
    bool FAttached;
    void* FLockedAddress = nullptr;
};

// Turns its owner form into an exclusive full-screen display while the form is active.
class TMxScreen : public TComponent {
public:
    // `owner` must be a form: the screen takes its activation event and window.
    explicit TMxScreen(TComponent* owner);
    ~TMxScreen() override;
    std::string ClassName() const override { return "TMxScreen"; }

    TDisplayMode DisplayMode() const { return FDisplayMode; }
    void SetDisplayMode(TDisplayMode mode) { FDisplayMode = mode; }
    bool FlippingEnabled() const { return FFlippingEnabled; }
    void SetFlippingEnabled(bool enabled);
    bool Debug() const { return FDebug; }
    void SetDebug(bool debug) { FDebug = debug; }
    TMxImageLib* ImageLibrary() const { return FImageLibrary; }
    void SetImageLibrary(TMxImageLib* library) { FImageLibrary = library; }
    bool BeepOnException() const { return FBeepOnException; }
    void SetBeepOnException(bool beep) { FBeepOnException = beep; }

    ui::TNotifyEvent OnPaint;
    ui::TNotifyEvent OnFlip;
    ui::TNotifyEvent OnInitialize;
    ui::TNotifyEvent OnCleanUp;

    // Where the DirectDraw object comes from; DirectDrawCreate unless replaced.
    TDirectDrawCreate DirectDrawFactory;

    void Initialize();
    void CleanUp();
    void ShutDown();
    void Flip();
    void WaitForVerticalBlank();
    void SetPalette(const TPaletteEntries& entries);
    void FadeOut(std::int32_t steps);
    void FadeIn(std::int32_t steps);
    void LoadImages(TMxImageLib* library, bool usePalette);
    void FreeImages();
    void RestoreSurfaces();

    IDirectDraw* DirectDraw() const { return FDirectDraw.Get(); }
    TMxSurface* Front() const { return FFront.get(); }
    TMxSurface* Back() const { return FBack.get(); }
    TMxSurface& ImageSurfaces(int index) const {
        return *FImageSurfaces.at(static_cast<std::size_t>(index));
    }
    int ImageCount() const { return static_cast<int>(FImageSurfaces.size()); }
    const TPaletteEntries& Palette() const { return FPalette; }
    bool CleanedUp() const { return FCleanedUp; }

    void Loaded() override;

protected:
    void Notification(TComponent& component, TOperation operation) override;

private:
    void OwnerActivate();
    void AppException(const std::exception& error);
    bool AppMessage(MSG& message);
    void AppIdle(bool& done);
    void InstallIdle();
    void SurfaceLost();
    void InitPalette();
    void EnterDisplayMode();
    // Sets the palette to `work` after the next vertical blank.
    void ShowFadeStep(TPaletteEntries& work, std::int64_t step, std::int32_t steps);

    ui::TForm& FForm;
    TDisplayMode FDisplayMode = TDisplayMode::dm640x480x8;
    bool FFlippingEnabled = false;
    bool FDebug = true;
    TMxImageLib* FImageLibrary = nullptr;
    bool FBeepOnException = true;

    ui::ComPtr<IDirectDraw> FDirectDraw;
    ui::ComPtr<IDirectDrawPalette> FPaletteObject;
    TPaletteEntries FPalette{};
    TMxImageLib* FCurrentLibrary = nullptr;
    std::vector<std::unique_ptr<TMxSurface>> FImageSurfaces;
    std::unique_ptr<TMxSurface> FFront;
    std::unique_ptr<TMxSurface> FBack;
    bool FCleanedUp = false;
    // The screen starts when its form becomes active, after the form's earlier listeners.
    TConnection FOwnerActivation;
    std::minstd_rand FRandom{std::random_device{}()};
    // The application's hooks while the screen holds them; each gives back, when released,
    // the one that was there before.
    ui::THookToken FExceptionHook;
    ui::THookToken FMessageHook;
    ui::THookToken FIdleHook;
};

} // namespace quillet
