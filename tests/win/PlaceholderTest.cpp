// The full-screen placeholder over the DirectDraw stand-in: the whole cycle from activation to
// Escape, and a screen that cannot start.
#include "app/DirectX.h"
#include "tests/win/FakeDirectX.h"
#include "tests/win/MessageBoxes.h"

#include <gtest/gtest.h>

namespace quillet::testing {

class PlaceholderTest : public ::testing::Test {
protected:
    PlaceholderTest() {
        mainForm.CreateForm("Quillet", 300, 200, ui::TBorderStyle::Single, {});
        placeholder = std::make_unique<app::TfrmDirectX>();
        placeholder->MxScreen1->DirectDrawFactory = FakeDirectDraw(dx);
    }

    std::shared_ptr<FakeDirectX> dx = std::make_shared<FakeDirectX>();
    ui::TForm mainForm; // made first, as the program's main window is
    std::unique_ptr<app::TfrmDirectX> placeholder;
};

TEST_F(PlaceholderTest, FadesInTheTextsAndLeavesOnEscape) {
    PostMessageA(placeholder->Handle(), WM_CHAR, VK_ESCAPE, 0);
    EXPECT_EQ(placeholder->ShowModal(), ui::mrCancel);
    EXPECT_EQ(dx->live, 0);
    // Black in two steps, the texts flipped to the front, 101 steps up, 101 down.
    ASSERT_EQ(dx->paletteSets.size(), 2u + 101u + 101u);
    EXPECT_EQ(dx->paletteSets[1], TPaletteEntries{});
    EXPECT_EQ(dx->paletteSets[102], placeholder->MxScreen1->Palette());
    EXPECT_EQ(dx->paletteSets[203], TPaletteEntries{});
    // The texts on the front: over 300 of its pixels are not black.
    const auto& front = dx->surfaces.at(0).memory;
    EXPECT_LT(std::count(front.begin(), front.end(), 0), 640 * 480 - 300);
}

TEST_F(PlaceholderTest, AScreenThatCannotStartClosesThePlaceholderThenSaysWhy) {
    dx->failures["SetDisplayMode"] = DDERR_INVALIDMODE;
    MessageBoxAnswerer answerer(IDOK);
    EXPECT_EQ(placeholder->ShowModal(), ui::mrCancel);
    EXPECT_TRUE(answerer.Seen().empty()); // not over the placeholder
    PumpMessages();
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].text, "Set Display Mode Failed.");
}

} // namespace quillet::testing
