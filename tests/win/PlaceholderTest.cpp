// The full-screen placeholder over a DirectDraw stand-in: the whole cycle from activation to
// Escape, and a screen that cannot start.
#include "app/DirectX.h"
#include "tests/win/FakeDirectX.h"
#include "tests/win/MessageBoxes.h"
#include "ui/Application.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

using testing::FakeDirectDrawCreate;
using testing::FakeDirectDrawState;
using testing::SurfaceKind;

class PlaceholderTest : public ::testing::Test {
protected:
    PlaceholderTest() {
        mainForm.CreateForm("Quillet", 300, 200, ui::TBorderStyle::Single, {});
        placeholder = std::make_unique<app::TfrmDirectX>();
        placeholder->MxScreen1->DirectDrawFactory = FakeDirectDrawCreate{state};
    }

    std::shared_ptr<FakeDirectDrawState> state = std::make_shared<FakeDirectDrawState>();
    ui::TForm mainForm;
    std::unique_ptr<app::TfrmDirectX> placeholder;
};

TEST_F(PlaceholderTest, FadesInDrawsAndLeavesOnEscapeOnly) {
    EXPECT_EQ(GetWindowLongA(placeholder->Handle(), GWL_STYLE) & WS_CAPTION, 0);
    // Keys waiting for the window: a letter, then Escape.
    PostMessageA(placeholder->Handle(), WM_CHAR, 'q', 0);
    PostMessageA(placeholder->Handle(), WM_CHAR, VK_ESCAPE, 0);
    EXPECT_EQ(placeholder->ShowModal(), ui::mrCancel);

    // Black within two steps, the drawing flipped to the front, 101 steps up, 101 down.
    const auto& fades = state->palettes.at(0).setEntriesHistory;
    ASSERT_EQ(fades.size(), 2u + 101u + 101u);
    const PALETTEENTRY white = placeholder->MxScreen1->Palette()[255];
    EXPECT_EQ(fades[1][255].peRed, 0);
    EXPECT_EQ(fades[102][255].peRed, white.peRed);
    EXPECT_EQ(fades.back()[255].peRed, 0);

    // The texts were drawn on the back buffer and the device context given back before the
    // flip; the flip brought them to the front.
    const auto& back = *state->SurfacesOf(SurfaceKind::BackBuffer).at(0);
    EXPECT_EQ(back.getDCs, 1);
    EXPECT_EQ(back.releasedDCs.size(), 1u);
    const auto& front = *state->SurfacesOf(SurfaceKind::Primary).at(0);
    int inked = 0;
    for (int y = 0; y < 80; ++y) {
        for (std::uint8_t pixel : front.Row(y))
            inked += pixel != 0;
    }
    EXPECT_GT(inked, 300);

    EXPECT_EQ(state->restoreDisplayMode.calls, 1);
    EXPECT_TRUE(state->AllReleased());
    EXPECT_FALSE(IsWindowVisible(placeholder->Handle()));
    EXPECT_FALSE(ui::Application().CursorHidden());
    EXPECT_TRUE(state->misuse.empty()) << state->misuse.front();

    // The next showing starts the screen again.
    PostMessageA(placeholder->Handle(), WM_CHAR, VK_ESCAPE, 0);
    placeholder->ShowModal();
    EXPECT_EQ(state->create.calls, 2);
    EXPECT_TRUE(state->AllReleased());
}

TEST_F(PlaceholderTest, AScreenThatCannotStartClosesThePlaceholderAndSaysWhy) {
    state->setDisplayMode.result = DDERR_INVALIDMODE;
    testing::MessageBoxAnswerer answerer(IDOK);
    EXPECT_EQ(placeholder->ShowModal(), ui::mrCancel);
    EXPECT_TRUE(answerer.Seen().empty()); // not over the placeholder
    testing::PumpMessages();
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].text, "Set Display Mode Failed.");
    EXPECT_EQ(state->create.calls, 1);
    EXPECT_FALSE(IsWindowVisible(placeholder->Handle()));
    EXPECT_TRUE(state->AllReleased());
}

} // namespace
} // namespace quillet
