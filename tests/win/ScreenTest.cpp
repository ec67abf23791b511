// The full-screen display over the DirectDraw stand-in: its failures, lost surfaces, the
// application's hooks, images, and the trace line.
#include "tests/support/LibraryBytes.h"
#include "tests/support/MessageOf.h"
#include "tests/support/TempFolder.h"
#include "tests/win/FakeDirectX.h"
#include "tests/win/MessageBoxes.h"
#include "tests/win/TraceViewer.h"
#include "ui/Application.h"

#include <gtest/gtest.h>

namespace quillet::testing {

using Strings = std::vector<std::string>;

class ScreenTest : public ::testing::Test {
protected:
    ScreenTest() {
        form.CreateForm("Screen", 200, 100, ui::TBorderStyle::Single, {});
        screen->DirectDrawFactory = FakeDirectDraw(dx);
        library.LoadFromFile(folder.Write("two.iml", ImageLibrary("IL10", {{3, 2, 8}, {5, 1, 8}})));
        screen->SetImageLibrary(&library);
    }

    std::shared_ptr<FakeDirectX> dx = std::make_shared<FakeDirectX>();
    TempFolder folder;
    ui::TForm form;
    TMxScreen* screen = &form.Create<TMxScreen>();
    TMxImageLib& library = form.Create<TMxImageLib>();
};

TEST_F(ScreenTest, FailuresSayWhatFailedAndLeaveNothingBehind) {
    EXPECT_EQ(MessageOf([&] { screen->FadeIn(1); }), "No palette set"); // nothing started yet
    EXPECT_EQ(MessageOf([] { TMxCanvas(nullptr); }), "Cannot create canvas for NIL surface");

    const auto restore = [&] { screen->RestoreSurfaces(); };
    const char* restoreFailed = "RestoreSurfaces Failed (Front)";
    const struct {
        const char* call;
        const char* message;
        std::function<void()> act; // after the start
        HRESULT result = DDERR_GENERIC;
        std::string trace;
    } cases[] = {
        {"DirectDrawCreate", "Failed to create IDerectDraw object"},
        {"SetCooperativeLevel", "SetCooperativeLevel Failed"},
        {"SetDisplayMode", "Set Display Mode Failed"},
        {"CreateSurface(primary)", "CreateSurface failed"},
        {"GetDisplayMode", "Get DisplayMode Failed"},
        {"GetAttachedSurface", "Failed to get background surface"},
        {"CreatePalette", "CreatePalette Failed"},
        {"SetPalette", "SetPalette Failed"},
        {"Blt", "Erase (Blt) Failed"},
        {"Flip", "Flip Failed"},
        {"SetEntries", "SetEntries Failed"}, // the images' palette
        {"CreateSurface(offscreen)", "Could not create memory srface (3, 2)"},
        {"Lock", "Lock Failed"},
        {"SetColorKey", "SetColorKey failed"},
        {"", "Division by zero", [&] { screen->FadeIn(0); }},
        {"WaitForVerticalBlank", "WaitForVericalBlankError", [&] { screen->FadeOut(5); }},
        {"GetDC", "Canvas does not allow drawing",
         [&] { screen->Back()->Canvas().TextOut(0, 0, "x"); }},
        {"Restore", restoreFailed, restore, HRESULT(0x80000008), "Restore Failed: Generic"},
        {"Restore", restoreFailed, restore, DDERR_INVALIDOBJECT, "Restore Failed: Invalid Object"},
        {"Restore", restoreFailed, restore, DDERR_NOEXCLUSIVEMODE, "Restore Failed: No Exclusive"},
        {"Restore", restoreFailed, restore, DDERR_WRONGMODE, "Restore Failed: Wrong Mode"},
        {"Restore", restoreFailed, restore, DDERR_GENERIC, "Restore Failed: UnKnown"},
    };
    TraceViewer viewer;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        dx = std::make_shared<FakeDirectX>();
        dx->failures[c.call] = c.result;
        screen->DirectDrawFactory = FakeDirectDraw(dx);
        library.Reload();
        EXPECT_EQ(MessageOf([&] {
                      screen->Initialize();
                      c.act();
                  }),
                  c.message);
        EXPECT_EQ(std::exchange(viewer.lines, {}), c.trace.empty() ? Strings{} : Strings{c.trace});
        if (c.act)
            screen->CleanUp(); // a failure after the start leaves it running
        EXPECT_EQ(dx->live, 0);
        // Once there was a DirectDraw, the display mode was given back.
        EXPECT_EQ(dx->calls["RestoreDisplayMode"], dx->calls["SetCooperativeLevel"]);
        auto& application = ui::Application();
        EXPECT_FALSE(application.HasExceptionHook() || application.HasMessageHook() ||
                     application.HasIdleHook() || application.CursorHidden());
    }
}

TEST_F(ScreenTest, GivesBackTheHooksItFoundAndLeavesNoneWhenFreedUnstarted) {
    auto& application = ui::Application();
    int earlier = 0;
    const ui::THookToken exception =
        application.InstallExceptionHook([&](const std::exception&) { ++earlier; });
    const ui::THookToken idle = application.InstallIdleHook([&](bool& done) {
        ++earlier;
        done = false; // no waiting for a message afterwards
    });

    screen->Initialize();
    screen->SetFlippingEnabled(true);
    application.HandleException(Exception("taken by the screen"));
    EXPECT_EQ(earlier, 0);
    screen->CleanUp();
    application.HandleException(Exception("back with the earlier hook"));
    EXPECT_EQ(earlier, 1);
    EXPECT_FALSE(application.HasMessageHook());

    // A screen that never started, but was asked to flip, leaves the earlier idle hook.
    {
        ui::TForm other;
        other.CreateForm("Other", 100, 100, ui::TBorderStyle::Single, {});
        other.Create<TMxScreen>().SetFlippingEnabled(true);
    }
    ASSERT_TRUE(application.HasIdleHook());
    for (MSG message{}; PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);)
        application.HandleMessage();
    earlier = 0;
    application.HandleMessage(); // the queue is empty: the idle hook
    EXPECT_EQ(earlier, 1);
}

// A form told it became active without a window message, which would move the activation.
struct ActivatedForm : ui::TForm {
    using TForm::Activate;
};

TEST_F(ScreenTest, StartsWhenItsFormIsActivatedAfterTheFormsOtherListeners) {
    ActivatedForm owner;
    owner.CreateForm("Owner", 200, 100, ui::TBorderStyle::Single, {});
    TMxScreen* started = nullptr;
    std::vector<std::string> heard;
    const auto listen = [&](const char* who) {
        return owner.OnActivate.Connect([&, who](TComponent* sender) {
            EXPECT_EQ(sender, &owner);
            const bool running = started != nullptr && started->DirectDraw() != nullptr;
            heard.push_back(std::string(who) + (running ? " after the start" : " before"));
        });
    };
    const TConnection earlier = listen("earlier");
    TMxScreen& own = owner.Create<TMxScreen>();
    own.DirectDrawFactory = FakeDirectDraw(dx);
    started = &own;
    const TConnection later = listen("later");

    owner.Activate();
    EXPECT_EQ(heard, (Strings{"earlier before", "later after the start"}));
    own.CleanUp();

    // A freed screen leaves the form's other listeners as they were.
    owner.FreeComponent(own);
    started = nullptr;
    heard.clear();
    owner.Activate();
    EXPECT_EQ(heard, (Strings{"earlier before", "later before"}));
    EXPECT_EQ(dx->live, 0);
}

TEST(Trace, SendsAtMost255CharactersToTheViewer) {
    TraceViewer viewer;
    Trace(std::string(300, 'x'));
    EXPECT_EQ(viewer.lines, Strings{std::string(255, 'x')});
    EXPECT_EQ(viewer.sizes, std::vector<DWORD>{256});
}

TEST_F(ScreenTest, TakesOverTheApplicationAndRestoresWhatWasLost) {
    screen->Initialize();
    TraceViewer viewer;
    MessageBoxAnswerer answerer(IDOK);
    // An error that reaches the loop is traced in debug mode, and never shown.
    ui::Application().HandleException(Exception("Flip Failed"));
    screen->SetDebug(false);
    ui::Application().HandleException(Exception("again"));
    EXPECT_TRUE(answerer.Seen().empty());
    EXPECT_EQ(viewer.lines, Strings{"Flip Failed"});

    // Leaving the program stops the flip loop; coming back restores, repaints, and starts the
    // loop again when flipping is on.
    int painted = 0;
    screen->OnPaint = [&](TComponent*) { ++painted; };
    for (bool flipping : {true, false}) {
        screen->SetFlippingEnabled(flipping);
        SendMessageA(ui::Application().Handle(), WM_ACTIVATEAPP, FALSE, 0);
        EXPECT_FALSE(ui::Application().HasIdleHook());
        SendMessageA(ui::Application().Handle(), WM_ACTIVATEAPP, TRUE, 0);
        for (MSG message{}; PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);)
            ui::Application().HandleMessage(); // as the program's loop does, hooks included
        EXPECT_EQ(ui::Application().HasIdleHook(), flipping);
    }
    EXPECT_EQ(painted, 2);

    // Surfaces lost on a flip or an erase are restored too; every restore makes the images anew.
    dx->failures["Flip"] = dx->failures["Blt"] = DDERR_SURFACELOST;
    screen->Flip();
    screen->Back()->Erase(3);
    EXPECT_EQ(dx->calls["Restore"], 2 + 2);
    EXPECT_EQ(dx->calls["CreateSurface(offscreen)"], 2 + 4 * 2);
}

TEST_F(ScreenTest, ImagesAreCopiedRowByRowHonouringThePitch) {
    screen->Initialize();
    const auto& image = dx->surfaces.at(2); // after the primary and its back buffer
    // Rows of 3 pixels are stored 4 bytes apart in the file.
    EXPECT_EQ(image.Row(0), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(image.Row(1), (std::vector<std::uint8_t>{5, 6, 7}));
    EXPECT_EQ(std::count(image.memory.begin(), image.memory.end(), FakeSurfaceRecord::kPadding),
              (image.pitch - 3) * 2); // nothing written past the rows
}

} // namespace quillet::testing
