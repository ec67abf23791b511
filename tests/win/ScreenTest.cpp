// The full-screen display over a DirectDraw that fails when told to: start-up and its failures,
// palette and fades, flips and restores, the application's hooks, images and clean-up.
#include "gamelib/Mx.h"
#include "gamelib/MxSnd.h"
#include "tests/support/LibraryBytes.h"
#include "tests/support/MessageOf.h"
#include "tests/support/TempFolder.h"
#include "tests/win/FakeDirectX.h"
#include "tests/win/MessageBoxes.h"
#include "tests/win/TraceViewer.h"
#include "ui/Application.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace quillet {
namespace {

using testing::FakeDirectDrawCreate;
using testing::FakeDirectDrawState;
using testing::SurfaceKind;

// Handles what waits in the queue the way the program's message loop does, hooks included.
void RunQueue() {
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE))
        ui::Application().HandleMessage();
}

bool SameColours(const PALETTEENTRY& a, const PALETTEENTRY& b) {
    return a.peRed == b.peRed && a.peGreen == b.peGreen && a.peBlue == b.peBlue;
}

class ScreenTest : public ::testing::Test {
protected:
    ScreenTest() {
        form.CreateForm("Screen", 200, 100, ui::TBorderStyle::Single, {});
        screen = &form.Create<TMxScreen>();
        screen->DirectDrawFactory = FakeDirectDrawCreate{state};
    }

    // Everything made was released and the application has its own hooks again.
    void ExpectLeftAlone() {
        EXPECT_TRUE(state->AllReleased());
        EXPECT_EQ(screen->DirectDraw(), nullptr);
        EXPECT_FALSE(ui::Application().OnException);
        EXPECT_FALSE(ui::Application().OnMessage);
        EXPECT_FALSE(ui::Application().OnIdle);
        EXPECT_FALSE(ui::Application().CursorHidden());
    }

    std::shared_ptr<FakeDirectDrawState> state = std::make_shared<FakeDirectDrawState>();
    ui::TForm form;
    TMxScreen* screen = nullptr;
};

TEST_F(ScreenTest, StartsInOrderAndCleansUpEverything) {
    int initialized = 0;
    screen->OnInitialize = [&](TComponent* sender) {
        EXPECT_EQ(sender, screen);
        ++initialized;
    };
    screen->Initialize();
    screen->Initialize(); // already running: nothing more
    EXPECT_EQ(state->create.calls, 1);
    EXPECT_EQ(initialized, 1);
    EXPECT_EQ(state->cooperativeWindow, form.Handle());
    EXPECT_EQ(state->cooperativeFlags, 0x53u);
    EXPECT_EQ(state->requestedMode.width, 640u);
    EXPECT_EQ(state->requestedMode.height, 480u);
    EXPECT_EQ(state->requestedMode.bpp, 8u);

    const auto& primary = state->surfaceRequests.at(0);
    EXPECT_EQ(primary.size, 108u);
    EXPECT_EQ(primary.flags, 0x21u);
    EXPECT_EQ(primary.caps, 0x218u);
    EXPECT_EQ(primary.backBufferCount, 1u);
    EXPECT_EQ(state->paletteRequests.at(0).flags, 0x44u);
    EXPECT_EQ(state->displayPalette, 0);

    // Both buffers end up holding index 0, with the GDI surface in front.
    const std::vector<std::string> start(state->log.begin(), state->log.end());
    const auto at = [&](const std::string& call) {
        return std::find(start.begin(), start.end(), call) - start.begin();
    };
    EXPECT_LT(at("SetCooperativeLevel"), at("SetDisplayMode"));
    EXPECT_LT(at("SetDisplayMode"), at("CreateSurface(primary)"));
    EXPECT_LT(at("CreatePalette"), at("FlipToGDISurface"));
    EXPECT_EQ(std::count(start.begin(), start.end(), "FlipToGDISurface"), 2);
    EXPECT_EQ(std::count(start.begin(), start.end(), "Blt(backbuffer)"), 2);
    EXPECT_EQ(std::count(start.begin(), start.end(), "Flip(primary)"), 1);

    EXPECT_EQ(screen->Front()->Width(), 640);
    EXPECT_EQ(screen->Back()->Height(), 480);
    EXPECT_EQ(screen->Back()->Pitch(), screen->Front()->Pitch());
    EXPECT_TRUE(screen->Back()->Attached());

    // Windows' twenty colours stay; the rest are random, below 255.
    PALETTEENTRY system[256] = {};
    HDC dc = GetDC(nullptr);
    GetSystemPaletteEntries(dc, 0, 256, system);
    ReleaseDC(nullptr, dc);
    const auto& palette = screen->Palette();
    for (int i : {0, 9, 246, 255})
        EXPECT_TRUE(SameColours(palette[i], system[i])) << i;
    EXPECT_TRUE(std::all_of(palette.begin() + 10, palette.begin() + 246, [](const PALETTEENTRY& e) {
        return e.peRed < 255 && e.peGreen < 255 && e.peBlue < 255;
    }));
    EXPECT_TRUE(ui::Application().OnException);
    EXPECT_TRUE(ui::Application().OnMessage);
    EXPECT_TRUE(ui::Application().CursorHidden());
    EXPECT_FALSE(screen->CleanedUp());

    int cleanedUp = 0;
    screen->OnCleanUp = [&](TComponent*) { ++cleanedUp; };
    screen->ShutDown();
    screen->ShutDown();
    screen->CleanUp();
    EXPECT_EQ(cleanedUp, 1);
    EXPECT_EQ(state->restoreDisplayMode.calls, 1);
    EXPECT_TRUE(screen->CleanedUp());
    ExpectLeftAlone();
    EXPECT_TRUE(state->misuse.empty()) << state->misuse.front();

    // The next activation enters the mode again.
    screen->Initialize();
    EXPECT_EQ(state->create.calls, 2);
    EXPECT_EQ(initialized, 2);
}

TEST_F(ScreenTest, EveryStartFailureLeavesTheDisplayAsItWas) {
    EXPECT_EQ(testing::MessageOf([&] { screen->CleanUp(); }), "(nothing raised)"); // never started

    struct Case {
        const char* message;
        std::function<void(FakeDirectDrawState&)> fail;
    };
    const Case cases[] = {
        {"Failed to create IDerectDraw object", [](auto& s) { s.create.result = E_FAIL; }},
        {"SetCooperativeLevel Failed",
         [](auto& s) { s.setCooperativeLevel.result = DDERR_EXCLUSIVEMODEALREADYSET; }},
        {"Set Display Mode Failed", [](auto& s) { s.setDisplayMode.result = E_NOTIMPL; }},
        {"CreateSurface failed", [](auto& s) { s.createPrimary.result = DDERR_OUTOFMEMORY; }},
        {"Get DisplayMode Failed", [](auto& s) { s.getDisplayMode.result = DDERR_GENERIC; }},
        {"Failed to get background surface",
         [](auto& s) { s.primaryCalls.getAttachedSurface.result = DDERR_NOTFOUND; }},
        {"CreatePalette Failed", [](auto& s) { s.createPalette.result = DDERR_OUTOFMEMORY; }},
        {"SetPalette Failed", [](auto& s) { s.primaryCalls.setPalette.result = DDERR_GENERIC; }},
        {"Erase (Blt) Failed", [](auto& s) { s.backBufferCalls.blt.result = DDERR_GENERIC; }},
        {"Flip Failed", [](auto& s) { s.primaryCalls.flip.result = DDERR_GENERIC; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        state = std::make_shared<FakeDirectDrawState>();
        screen->DirectDrawFactory = FakeDirectDrawCreate{state};
        c.fail(*state);
        EXPECT_EQ(testing::MessageOf([&] { screen->Initialize(); }), c.message);
        ExpectLeftAlone();
        EXPECT_EQ(screen->Front(), nullptr);
        EXPECT_EQ(screen->Back(), nullptr);
        // Once DirectDraw was there, the display mode is always given back.
        EXPECT_EQ(state->restoreDisplayMode.calls, state->create.result == S_OK ? 1 : 0);
    }

    // A failing start handler also leaves the mode.
    state = std::make_shared<FakeDirectDrawState>();
    screen->DirectDrawFactory = FakeDirectDrawCreate{state};
    screen->OnInitialize = [](TComponent*) { throw Exception("handler failed"); };
    EXPECT_EQ(testing::MessageOf([&] { screen->Initialize(); }), "handler failed");
    ExpectLeftAlone();
}

TEST_F(ScreenTest, FadesStepOncePerVerticalBlank) {
    EXPECT_EQ(testing::MessageOf([&] { screen->FadeIn(1); }), "No palette set");
    EXPECT_EQ(testing::MessageOf([&] { screen->WaitForVerticalBlank(); }),
              "WaitForVericalBlankError");
    screen->Initialize();
    TPaletteEntries colours{};
    for (int i = 0; i < 256; ++i)
        colours[i] = PALETTEENTRY{BYTE(i), BYTE(255 - i), 200, 0};
    screen->SetPalette(colours);
    auto& palette = state->palettes.at(0);
    palette.setEntriesHistory.clear();
    const int blanks = state->waitForVerticalBlank.calls;

    screen->FadeOut(1);
    ASSERT_EQ(palette.setEntriesHistory.size(), 2u);
    EXPECT_TRUE(SameColours(palette.setEntriesHistory[0][77], colours[77]));
    EXPECT_TRUE(SameColours(palette.setEntriesHistory[1][77], PALETTEENTRY{}));
    EXPECT_EQ(state->waitForVerticalBlank.calls - blanks, 2);
    EXPECT_EQ(state->verticalBlankFlags, DWORD{DDWAITVB_BLOCKBEGIN});

    palette.setEntriesHistory.clear();
    screen->FadeIn(100);
    ASSERT_EQ(palette.setEntriesHistory.size(), 101u);
    EXPECT_TRUE(SameColours(palette.setEntriesHistory.front()[200], PALETTEENTRY{}));
    EXPECT_EQ(palette.setEntriesHistory[50][200].peRed, 100);  // 200 * 50 / 100
    EXPECT_EQ(palette.setEntriesHistory[50][201].peGreen, 27); // 54 * 50 / 100
    EXPECT_TRUE(SameColours(palette.setEntriesHistory.back()[200], colours[200]));

    palette.setEntriesHistory.clear();
    screen->FadeIn(-3);
    screen->FadeOut(-3);
    EXPECT_TRUE(palette.setEntriesHistory.empty());
    EXPECT_EQ(testing::MessageOf([&] { screen->FadeIn(0); }), "Division by zero");

    state->waitForVerticalBlank.result = DDERR_GENERIC;
    EXPECT_EQ(testing::MessageOf([&] { screen->FadeOut(5); }), "WaitForVericalBlankError");
    state->setEntries.result = DDERR_GENERIC;
    EXPECT_EQ(testing::MessageOf([&] { screen->SetPalette(colours); }), "SetEntries Failed");
}

TEST_F(ScreenTest, LostSurfacesAreRestoredAndFailuresTraced) {
    screen->Initialize();
    auto& primary = *state->SurfacesOf(SurfaceKind::Primary).at(0);
    const std::size_t flips = primary.flips.size();

    state->primaryCalls.flip.ReturnNext(1, DDERR_SURFACELOST);
    screen->Flip(); // restores instead, and does not flip again
    EXPECT_EQ(primary.restores, 1);
    EXPECT_EQ(primary.flips.size(), flips + 1);
    EXPECT_EQ(primary.flips.back(), DWORD{DDFLIP_WAIT});
    state->primaryCalls.flip.ReturnNext(1, DDERR_WASSTILLDRAWING);
    EXPECT_EQ(testing::MessageOf([&] { screen->Flip(); }), "Flip Failed");

    // A back buffer lost while it is erased is restored through the primary.
    state->backBufferCalls.blt.ReturnNext(1, DDERR_SURFACELOST);
    screen->Back()->Erase(3);
    EXPECT_EQ(primary.restores, 2);

    const struct {
        HRESULT result;
        const char* trace;
    } failures[] = {{static_cast<HRESULT>(0x80000008), "Restore Failed: Generic"},
                    {DDERR_INVALIDOBJECT, "Restore Failed: Invalid Object"},
                    {DDERR_NOEXCLUSIVEMODE, "Restore Failed: No Exclusive"},
                    {DDERR_WRONGMODE, "Restore Failed: Wrong Mode"},
                    {DDERR_GENERIC, "Restore Failed: UnKnown"}};
    testing::TraceViewer viewer;
    for (const auto& failure : failures) {
        state->primaryCalls.restore.ReturnNext(1, failure.result);
        EXPECT_EQ(testing::MessageOf([&] { screen->RestoreSurfaces(); }),
                  "RestoreSurfaces Failed (Front)");
        ASSERT_FALSE(viewer.Lines().empty());
        EXPECT_EQ(viewer.Lines().back().text, failure.trace);
    }
    EXPECT_EQ(viewer.Lines().size(), 5u);
}

TEST(Trace, SendsAtMost255CharactersAndOnlyToAViewer) {
    Trace("nobody listens"); // no viewer window: nothing happens
    testing::TraceViewer viewer;
    Trace("hello");
    Trace(std::string(300, 'x'));
    ASSERT_EQ(viewer.Lines().size(), 2u);
    EXPECT_EQ(viewer.Lines()[0].text, "hello");
    EXPECT_EQ(viewer.Lines()[0].bytes, 6u);
    EXPECT_EQ(viewer.Lines()[1].text, std::string(255, 'x'));
    EXPECT_EQ(viewer.Lines()[1].bytes, 256u);
}

TEST_F(ScreenTest, TakesOverTheApplicationWhileActive) {
    screen->SetDebug(true);
    screen->SetBeepOnException(false);
    screen->Initialize();
    testing::TraceViewer viewer;
    {
        // An error that reaches the loop is traced, not shown.
        testing::MessageBoxAnswerer answerer(IDOK);
        ui::Application().HandleException(Exception("Flip Failed"));
        EXPECT_TRUE(answerer.Seen().empty());
        ASSERT_EQ(viewer.Lines().size(), 1u);
        EXPECT_EQ(viewer.Lines()[0].text, "Flip Failed");
        screen->SetDebug(false);
        ui::Application().HandleException(Exception("again"));
        EXPECT_TRUE(answerer.Seen().empty());
        EXPECT_EQ(viewer.Lines().size(), 1u);
    }

    // The pointer is hidden over the program's windows.
    SendMessageA(form.Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(form.Handle()),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor(), nullptr);

    // Leaving the program stops the flip loop; coming back restores and repaints, and starts
    // the loop again because flipping is on.
    int painted = 0;
    int flipped = 0;
    screen->OnPaint = [&](TComponent*) { ++painted; };
    screen->OnFlip = [&](TComponent*) { ++flipped; };
    screen->SetFlippingEnabled(true);
    ASSERT_TRUE(ui::Application().OnIdle);
    bool done = true;
    ui::Application().OnIdle(done);
    EXPECT_FALSE(done);
    EXPECT_EQ(flipped, 1);

    SendMessageA(ui::Application().Handle(), WM_ACTIVATEAPP, FALSE, 0);
    EXPECT_FALSE(ui::Application().OnIdle);
    EXPECT_TRUE(screen->FlippingEnabled());
    auto& primary = *state->SurfacesOf(SurfaceKind::Primary).at(0);
    const int restores = primary.restores;
    SendMessageA(ui::Application().Handle(), WM_ACTIVATEAPP, TRUE, 0);
    RunQueue();
    EXPECT_EQ(primary.restores, restores + 1);
    EXPECT_EQ(painted, 1);
    EXPECT_TRUE(ui::Application().OnIdle);

    // Without flipping, coming back repaints but leaves the loop off.
    SendMessageA(ui::Application().Handle(), WM_ACTIVATEAPP, FALSE, 0);
    screen->SetFlippingEnabled(false);
    SendMessageA(ui::Application().Handle(), WM_ACTIVATEAPP, TRUE, 0);
    RunQueue();
    EXPECT_EQ(painted, 2);
    EXPECT_FALSE(ui::Application().OnIdle);

    screen->SetFlippingEnabled(true);
    screen->CleanUp();
    EXPECT_FALSE(screen->FlippingEnabled());
    ExpectLeftAlone();
    screen->Initialize();
    EXPECT_FALSE(ui::Application().OnIdle);
}

TEST_F(ScreenTest, ActivationStartsTheScreenAndTheAudioOnTheSameForm) {
    int previous = 0;
    ui::TForm owner;
    owner.CreateForm("Owner", 100, 50, ui::TBorderStyle::Single, {});
    owner.OnActivate = [&](TComponent* sender) {
        EXPECT_EQ(sender, &owner);
        ++previous;
    };
    auto& ownScreen = owner.Create<TMxScreen>();
    ownScreen.DirectDrawFactory = FakeDirectDrawCreate{state};
    auto sound = std::make_shared<testing::FakeDirectSoundState>();
    owner.Create<TMxAudio>(testing::FakeDirectSoundCreate{sound});
    EXPECT_EQ(sound->create.calls, 0); // waits for the screen

    ownScreen.Loaded();
    EXPECT_EQ(GetWindowLongA(owner.Handle(), GWL_STYLE) & WS_CAPTION, 0);
    EXPECT_NE(GetWindowLongA(owner.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);

    owner.OnActivate(&owner);
    owner.OnActivate(&owner);
    EXPECT_EQ(previous, 2);
    EXPECT_EQ(state->create.calls, 1); // the mode is entered once
    EXPECT_EQ(sound->create.calls, 2); // the audio starts at every activation
    EXPECT_EQ(sound->live.directSound, 1);
    ownScreen.CleanUp();
}

TEST_F(ScreenTest, ImagesBecomeSurfacesRowByRow) {
    testing::TempFolder folder;
    const std::string file =
        folder.Write("two.iml", testing::ImageLibrary("IL10", {{3, 2, 8}, {5, 1, 8}}));
    TMxImageLib& library = form.Create<TMxImageLib>();
    library.LoadFromFile(file);
    screen->SetImageLibrary(&library);
    screen->Initialize();

    ASSERT_EQ(screen->ImageCount(), 2);
    const auto images = state->SurfacesOf(SurfaceKind::OffScreen);
    ASSERT_EQ(images.size(), 2u);
    // Rows of 3 pixels are stored 4 bytes apart in the file.
    EXPECT_EQ(images[0]->Row(0), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(images[0]->Row(1), (std::vector<std::uint8_t>{5, 6, 7}));
    EXPECT_EQ(images[1]->Row(0), (std::vector<std::uint8_t>{9, 10, 11, 12, 13}));
    EXPECT_TRUE(images[0]->PaddingIntact());
    EXPECT_EQ(images[1]->colorKeys.at(0).key->dwColorSpaceLowValue, 0u);
    // The library's palette: entry i holds i, 2i, 3i.
    EXPECT_EQ(screen->Palette()[10].peGreen, 20);
    // Loaded from a file, the pixels now live only in the surfaces.
    EXPECT_EQ(library.Images().Count(), 0);

    // A restore reads the file again and makes the surfaces anew.
    screen->RestoreSurfaces();
    EXPECT_EQ(screen->ImageCount(), 2);
    EXPECT_EQ(state->SurfacesOf(SurfaceKind::OffScreen).size(), 4u);
    EXPECT_EQ(state->live.surfaces, 2 + 2); // the flipping chain and the new images

    // A library with no images leaves no surfaces and the palette alone.
    const TPaletteEntries before = screen->Palette();
    TMxImageLib& empty = form.Create<TMxImageLib>();
    screen->LoadImages(&empty, true);
    EXPECT_EQ(screen->ImageCount(), 0);
    EXPECT_TRUE(SameColours(screen->Palette()[10], before[10]));

    // Freeing the library forgets it: a later restore has nothing to reload.
    form.FreeComponent(library);
    EXPECT_EQ(screen->ImageLibrary(), nullptr);
    screen->RestoreSurfaces();
    EXPECT_EQ(screen->ImageCount(), 0);
}

} // namespace
} // namespace quillet
