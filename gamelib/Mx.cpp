#include "gamelib/Mx.h"

#include "gamelib/MxSnd.h"
#include "ui/Application.h"

#include <algorithm>
#include <cstring>

namespace quillet {

namespace {

// Cooperative level of an exclusive full screen that may use Mode X and lets Ctrl+Alt+Del through.
constexpr DWORD kFullScreenLevel =
    DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_EXCLUSIVE | DDSCL_ALLOWMODEX;

const char* RestoreFailureText(HRESULT result) {
    switch (static_cast<std::uint32_t>(result)) {
    case 0x80000008u:
        return "Restore Failed: Generic";
    case static_cast<std::uint32_t>(DDERR_INVALIDOBJECT):
        return "Restore Failed: Invalid Object";
    case static_cast<std::uint32_t>(DDERR_NOEXCLUSIVEMODE):
        return "Restore Failed: No Exclusive";
    case static_cast<std::uint32_t>(DDERR_WRONGMODE):
        return "Restore Failed: Wrong Mode";
    default:
        return "Restore Failed: UnKnown";
    }
}

} // namespace

void Trace(const std::string& text) {
    HWND viewer = FindWindowA("TfrmMxTrace", "Mx Trace");
    if (viewer == nullptr)
        return;
    char buffer[256] = {};
    const std::size_t length = std::min<std::size_t>(text.size(), 255);
    std::memcpy(buffer, text.data(), length);
    COPYDATASTRUCT data{0, static_cast<DWORD>(length + 1), buffer};
    SendMessageA(viewer, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
}

SIZE DisplayModeSize(TDisplayMode mode) {
    switch (mode) {
    case TDisplayMode::dm320x200x8:
        return {320, 200};
    case TDisplayMode::dm320x240x8:
        return {320, 240};
    case TDisplayMode::dm800x600x8:
        return {800, 600};
    case TDisplayMode::dm1024x768x8:
        return {1024, 768};
    case TDisplayMode::dm640x480x8:
        break;
    }
    return {640, 480};
}

namespace {

ui::TForm& OwnerForm(TComponent* owner) {
    auto* form = dynamic_cast<ui::TForm*>(owner);
    if (form == nullptr)
        throw EMxScreen("A screen must be owned by a form");
    return *form;
}

} // namespace

TMxScreen::TMxScreen(TComponent* owner)
    : TComponent(owner), DirectDrawFactory([](GUID* driver, IDirectDraw** made, IUnknown* outer) {
          return ::DirectDrawCreate(driver, made, outer);
      }),
      FForm(OwnerForm(owner)),
      FOwnerActivation(FForm.OnActivate.Connect([this](TComponent*) { OwnerActivate(); })) {
    SetDebug(true);
}

TMxScreen::~TMxScreen() {
    CleanUp();
}

void TMxScreen::Loaded() {
    TComponent::Loaded();
    FForm.SetBorderStyle(ui::TBorderStyle::None, ui::TBorderIcons{false, false, false});
    FForm.SetStayOnTop(true);
    FForm.SetColor(RGB(0, 0, 0));
}

void TMxScreen::Notification(TComponent& component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation != TOperation::opRemove)
        return;
    if (&component == FImageLibrary)
        FImageLibrary = nullptr;
    // The screen asked to hear of the library it drew its images from; it keeps the surfaces.
    if (&component == FCurrentLibrary)
        FCurrentLibrary = nullptr;
}

void TMxScreen::OwnerActivate() {
    Initialize();
    for (int i = 0; i < FForm.ComponentCount(); ++i) {
        if (auto* audio = dynamic_cast<TMxAudio*>(&FForm.Components(i)))
            audio->Initialize();
    }
}

void TMxScreen::Initialize() {
    if (FDirectDraw)
        return;
    auto& application = ui::Application();
    application.Handle(); // made now, so that it hears the program lose and regain the user
    if (FAILED(DirectDrawFactory(nullptr, FDirectDraw.Receive(), nullptr)) || !FDirectDraw) {
        FDirectDraw.Reset();
        throw EMxScreen("Failed to create IDerectDraw object");
    }
    if (FAILED(FDirectDraw->SetCooperativeLevel(FForm.Handle(), kFullScreenLevel))) {
        CleanUp();
        throw EMxScreen("SetCooperativeLevel Failed");
    }
    // The screen's own handlers take over while it is up; the ones before come back after.
    FExceptionHook = application.InstallExceptionHook(
        [this](const std::exception& error) { AppException(error); });
    FMessageHook =
        application.InstallMessageHook([this](MSG& message) { return AppMessage(message); });
    const SIZE size = DisplayModeSize(FDisplayMode);
    if (FAILED(FDirectDraw->SetDisplayMode(static_cast<DWORD>(size.cx), static_cast<DWORD>(size.cy),
                                           8))) {
        CleanUp();
        throw EMxScreen("Set Display Mode Failed");
    }
    // Whatever fails from here on leaves the display mode too: the user must never be left
    // on a full screen that nothing draws.
    try {
        EnterDisplayMode();
    } catch (...) {
        CleanUp();
        throw;
    }
    FCleanedUp = false;
}

void TMxScreen::EnterDisplayMode() {
    FFront = TMxSurface::CreatePrimary(*this);
    FFront->OnSurfaceLost = [this](TMxSurface&) { SurfaceLost(); };
    FBack = TMxSurface::CreateBack(*FFront);
    FBack->OnSurfaceLost = [this](TMxSurface&) { SurfaceLost(); };
    InitPalette();
    // Both buffers start as palette index 0. FlipToGDISurface's result is not looked at: it
    // only fails when the GDI surface is already on show.
    FDirectDraw->FlipToGDISurface();
    FBack->Erase(0);
    Flip();
    FBack->Erase(0);
    FDirectDraw->FlipToGDISurface();
    ui::Application().SetCursorHidden(true);
    if (FImageLibrary != nullptr)
        LoadImages(FImageLibrary, true);
    if (OnInitialize)
        OnInitialize(this);
}

void TMxScreen::InitPalette() {
    TPaletteEntries entries{};
    std::uniform_int_distribution<int> level(0, 254);
    for (std::size_t i = 10; i <= 245; ++i) {
        entries[i].peRed = static_cast<BYTE>(level(FRandom));
        entries[i].peGreen = static_cast<BYTE>(level(FRandom));
        entries[i].peBlue = static_cast<BYTE>(level(FRandom));
        entries[i].peFlags = 0;
    }
    // The twenty colours Windows keeps for itself stay where they are.
    const ui::WindowDC dc(GetFocus());
    GetSystemPaletteEntries(dc.Get(), 0, 10, &entries[0]);
    GetSystemPaletteEntries(dc.Get(), 246, 10, &entries[246]);
    SetPalette(entries);
}

void TMxScreen::CleanUp() {
    if (!FDirectDraw)
        return;
    SetFlippingEnabled(false);
    if (OnCleanUp)
        OnCleanUp(this);
    FreeImages();
    FFront.reset();
    FBack.reset();
    FPaletteObject.Reset();
    // Its result is not looked at: whatever it says, the screen lets go of DirectDraw.
    FDirectDraw->RestoreDisplayMode();
    FDirectDraw.Reset();
    FExceptionHook.Release();
    FMessageHook.Release();
    ui::Application().SetCursorHidden(false);
    FCleanedUp = true;
}

void TMxScreen::ShutDown() {
    if (!FCleanedUp)
        CleanUp();
}

void TMxScreen::SetFlippingEnabled(bool enabled) {
    if (enabled == FFlippingEnabled)
        return;
    FFlippingEnabled = enabled;
    if (enabled)
        InstallIdle();
    else
        FIdleHook.Release();
}

void TMxScreen::InstallIdle() {
    FIdleHook = ui::Application().InstallIdleHook([this](bool& done) { AppIdle(done); });
}

void TMxScreen::AppIdle(bool& done) {
    done = false;
    if (!FDirectDraw)
        return;
    if (OnFlip)
        OnFlip(this);
    Flip();
}

void TMxScreen::Flip() {
    // Without a primary surface there is nothing to flip.
    if (FFront == nullptr)
        throw EMxScreen("Flip Failed");
    const HRESULT result = FFront->Surface()->Flip(nullptr, DDFLIP_WAIT);
    if (SUCCEEDED(result))
        return;
    if (result == DDERR_SURFACELOST) {
        RestoreSurfaces();
        return;
    }
    throw EMxScreen("Flip Failed");
}

void TMxScreen::WaitForVerticalBlank() {
    if (!FDirectDraw || FAILED(FDirectDraw->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr)))
        throw EMxScreen("WaitForVericalBlankError");
}

void TMxScreen::SetPalette(const TPaletteEntries& entries) {
    FPalette = entries;
    if (FPaletteObject) {
        if (FAILED(FPaletteObject->SetEntries(0, 0, 256, FPalette.data())))
            throw EMxScreen("SetEntries Failed");
        return;
    }
    ui::ComPtr<IDirectDrawPalette> made;
    if (!FDirectDraw ||
        FAILED(FDirectDraw->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, FPalette.data(),
                                          made.Receive(), nullptr)) ||
        !made)
        throw EMxScreen("CreatePalette Failed");
    FPaletteObject = std::move(made);
    if (FFront == nullptr || FAILED(FFront->Surface()->SetPalette(FPaletteObject.Get())))
        throw EMxScreen("SetPalette Failed");
}

void TMxScreen::ShowFadeStep(TPaletteEntries& work, std::int64_t step, std::int32_t steps) {
    if (steps == 0)
        throw EDivByZero();
    for (std::size_t i = 0; i < work.size(); ++i) {
        work[i].peRed = static_cast<BYTE>(FPalette[i].peRed * step / steps);
        work[i].peGreen = static_cast<BYTE>(FPalette[i].peGreen * step / steps);
        work[i].peBlue = static_cast<BYTE>(FPalette[i].peBlue * step / steps);
    }
    WaitForVerticalBlank();
    // A step that does not take is not looked at: the next one, or the last, sets the colours.
    FPaletteObject->SetEntries(0, 0, 256, work.data());
}

void TMxScreen::FadeOut(std::int32_t steps) {
    if (!FPaletteObject)
        throw EMxScreen("No palette set");
    TPaletteEntries work{};
    // Not looked at: the table gives only its entries' flags, which stay 0 if it cannot be read.
    FPaletteObject->GetEntries(0, 0, 256, work.data());
    for (std::int64_t step = steps; step >= 0; --step)
        ShowFadeStep(work, step, steps);
}

void TMxScreen::FadeIn(std::int32_t steps) {
    if (!FPaletteObject)
        throw EMxScreen("No palette set");
    TPaletteEntries work{};
    for (std::int64_t step = 0; step <= steps; ++step)
        ShowFadeStep(work, step, steps);
}

void TMxScreen::LoadImages(TMxImageLib* library, bool usePalette) {
    FreeImages();
    if (library == nullptr || library->Count() == 0)
        return;
    if (FCurrentLibrary != library) {
        if (FCurrentLibrary != nullptr)
            RemoveFreeNotification(*FCurrentLibrary);
        FCurrentLibrary = library;
        FreeNotification(*library);
    }
    const TMxImages& images = library->Images();
    if (usePalette) {
        TPaletteEntries entries{};
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const TPaletteEntry& source = images.Palette()[i];
            entries[i] = PALETTEENTRY{source.peRed, source.peGreen, source.peBlue, 0};
        }
        SetPalette(entries);
    }
    FImageSurfaces.reserve(static_cast<std::size_t>(images.Count()));
    for (int index = 0; index < images.Count(); ++index) {
        const TMxImageHeader& image = images.Image(index);
        auto surface = TMxSurface::CreateMemory(FDirectDraw.Get(), image.Width, image.Height);
        surface->OnSurfaceLost = [this](TMxSurface&) { SurfaceLost(); };
        std::uint8_t* pixels = surface->Lock();
        // A surface whose memory cannot be reached would show whatever it held: refuse it.
        if (pixels == nullptr)
            throw EMxSurface("Lock Failed");
        const auto sourceRow = static_cast<std::size_t>(RowBytes(image.Width));
        const auto width = static_cast<std::size_t>(image.Width);
        for (std::int32_t y = 0; width > 0 && y < image.Height; ++y)
            std::memcpy(pixels + static_cast<std::ptrdiff_t>(y) * surface->Pitch(),
                        image.Bits.get() + static_cast<std::size_t>(y) * sourceRow, width);
        surface->Unlock();
        surface->SetTransparentColor(0);
        FImageSurfaces.push_back(std::move(surface));
    }
    // Pixels loaded from a file now live in the surfaces; a restore reads the file again.
    if (!library->FileName().empty())
        library->Images().Clear();
}

void TMxScreen::FreeImages() {
    FImageSurfaces.clear();
}

void TMxScreen::RestoreSurfaces() {
    if (FFront == nullptr)
        throw EMxScreen("RestoreSurfaces Failed (Front)");
    const HRESULT result = FFront->Surface()->Restore();
    if (FAILED(result)) {
        Trace(RestoreFailureText(result));
        throw EMxScreen("RestoreSurfaces Failed (Front)");
    }
    if (FCurrentLibrary == nullptr)
        return;
    if (!FCurrentLibrary->FileName().empty())
        FCurrentLibrary->Reload();
    LoadImages(FCurrentLibrary, true);
}

void TMxScreen::SurfaceLost() {
    RestoreSurfaces();
}

void TMxScreen::AppException(const std::exception& error) {
    if (FBeepOnException)
        MessageBeep(0);
    if (FDebug)
        Trace(error.what());
}

bool TMxScreen::AppMessage(MSG& message) {
    if (message.message == WM_ACTIVATEAPP) {
        if ((message.wParam & 0xFF) != 0)
            PostMessageA(ui::Application().Handle(), WM_SCREENRESTORE, 0, 0);
        else
            FIdleHook.Release();
    } else if (message.message == WM_SCREENRESTORE) {
        RestoreSurfaces();
        if (FFlippingEnabled)
            InstallIdle();
        if (OnPaint)
            OnPaint(this);
    }
    return false;
}

} // namespace quillet
