// Off-screen surfaces and their canvas over a DirectDraw that fails when told to.
#include "gamelib/Mx.h"
#include "tests/support/MessageOf.h"
#include "tests/win/FakeDirectX.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

using testing::FakeDirectDrawCreate;
using testing::FakeDirectDrawState;
using testing::SurfaceKind;

class SurfaceTest : public ::testing::Test {
protected:
    SurfaceTest() { FakeDirectDrawCreate{state}(nullptr, &directDraw, nullptr); }
    ~SurfaceTest() override { directDraw->Release(); }

    std::shared_ptr<FakeDirectDrawState> state = std::make_shared<FakeDirectDrawState>();
    IDirectDraw* directDraw = nullptr;
};

TEST_F(SurfaceTest, MemorySurfaceIsDescribedAndFreed) {
    {
        auto surface = TMxSurface::CreateMemory(directDraw, 13, 5);
        const auto& request = state->surfaceRequests.at(0);
        EXPECT_EQ(request.size, 108u);
        EXPECT_EQ(request.flags, 7u); // caps, height, width
        EXPECT_EQ(request.caps, DWORD{DDSCAPS_OFFSCREENPLAIN});
        EXPECT_EQ(request.width, 13u);
        EXPECT_EQ(request.height, 5u);
        EXPECT_EQ(surface->Width(), 13);
        EXPECT_EQ(surface->Height(), 5);
        EXPECT_EQ(surface->Pitch(), state->surfaces.at(0).pitch);
        EXPECT_EQ(surface->ClientRect().right, 13);
        EXPECT_EQ(surface->ClientRect().bottom, 5);
        EXPECT_FALSE(surface->Attached());
    }
    EXPECT_EQ(state->live.surfaces, 0);

    state->offScreenCalls.getSurfaceDesc.result = DDERR_GENERIC;
    EXPECT_EQ(TMxSurface::CreateMemory(directDraw, 4, 4)->Pitch(), 0);

    state->createOffScreen.result = DDERR_OUTOFVIDEOMEMORY;
    EXPECT_EQ(testing::MessageOf([&] { TMxSurface::CreateMemory(directDraw, 100, 50); }),
              "Could not create memory srface (100, 50)");
    EXPECT_EQ(state->live.surfaces, 0);
    EXPECT_TRUE(state->misuse.empty());
}

TEST_F(SurfaceTest, LockEraseAndColourKey) {
    auto surface = TMxSurface::CreateMemory(directDraw, 10, 3);
    auto& record = state->surfaces.at(0);

    surface->Unlock(); // nothing locked: nothing to give back
    EXPECT_EQ(record.unlocks, 0);
    std::uint8_t* pixels = surface->Lock();
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(record.locks.at(0).flags, DWORD{DDLOCK_WAIT});
    pixels[surface->Pitch() + 2] = 7;
    surface->Unlock();
    surface->Unlock();
    EXPECT_EQ(record.unlocks, 1);
    EXPECT_EQ(record.At(2, 1), 7);

    state->offScreenCalls.lock.ReturnNext(1, DDERR_SURFACEBUSY);
    EXPECT_EQ(surface->Lock(), nullptr);
    surface->Unlock();
    EXPECT_EQ(record.unlocks, 1);

    surface->Erase(9);
    EXPECT_EQ(record.blts.at(0).flags, DWORD{DDBLT_WAIT | DDBLT_COLORFILL});
    EXPECT_EQ(record.At(9, 2), 9);
    EXPECT_TRUE(record.PaddingIntact());

    // A lost surface goes to the handler once, and nothing is raised or retried.
    int lost = 0;
    surface->OnSurfaceLost = [&](TMxSurface& sender) {
        EXPECT_EQ(&sender, surface.get());
        ++lost;
    };
    state->offScreenCalls.blt.ReturnNext(1, DDERR_SURFACELOST);
    surface->Erase(1);
    EXPECT_EQ(lost, 1);
    EXPECT_EQ(record.blts.size(), 2u);
    state->offScreenCalls.blt.ReturnNext(1, DDERR_GENERIC);
    EXPECT_EQ(testing::MessageOf([&] { surface->Erase(1); }), "Erase (Blt) Failed");
    surface->OnSurfaceLost = nullptr;
    state->offScreenCalls.blt.ReturnNext(1, DDERR_SURFACELOST);
    EXPECT_EQ(testing::MessageOf([&] { surface->Erase(1); }), "Erase (Blt) Failed");

    surface->SetTransparentColor(5);
    EXPECT_EQ(surface->TransparentColor(), 5);
    EXPECT_EQ(record.colorKeys.at(0).flags, DWORD{DDCKEY_SRCBLT});
    EXPECT_EQ(record.colorKeys.at(0).key->dwColorSpaceLowValue, 5u);
    EXPECT_EQ(record.colorKeys.at(0).key->dwColorSpaceHighValue, 5u);
    state->offScreenCalls.setColorKey.result = DDERR_NOCOLORKEYHW;
    EXPECT_EQ(testing::MessageOf([&] { surface->SetTransparentColor(0); }), "SetColorKey failed");
}

TEST_F(SurfaceTest, CanvasBorrowsTheDeviceContextUntilRelease) {
    EXPECT_EQ(testing::MessageOf([] { TMxCanvas canvas(nullptr); }),
              "Cannot create canvas for NIL surface");

    auto surface = TMxSurface::CreateMemory(directDraw, 120, 40);
    auto& record = state->surfaces.at(0);
    surface->Canvas().Release(); // never drew: nothing to give back
    EXPECT_EQ(record.releasedDCs.size(), 0u);

    ui::TCanvas& canvas = surface->Canvas();
    canvas.Brush().Style = ui::TBrushStyle::Clear;
    canvas.Font().SetColor(RGB(255, 255, 255));
    canvas.TextOut(2, 2, "Mx");
    canvas.TextOut(40, 2, "Mx");
    EXPECT_EQ(record.getDCs, 1); // borrowed once, kept for the next text
    surface->Canvas().Release();
    surface->Canvas().Release();
    EXPECT_EQ(record.releasedDCs.size(), 1u);
    int inked = 0;
    for (int y = 0; y < 40; ++y) {
        for (std::uint8_t pixel : record.Row(y))
            inked += pixel != 0;
    }
    EXPECT_GT(inked, 10);

    // A refused device context leaves the canvas unable to draw.
    state->offScreenCalls.getDC.result = DDERR_CANTCREATEDC;
    EXPECT_EQ(testing::MessageOf([&] { canvas.TextOut(0, 0, "x"); }),
              "Canvas does not allow drawing");
    surface.reset();
    EXPECT_EQ(state->live.surfaces, 0);
    EXPECT_TRUE(state->misuse.empty()) << state->misuse.front();
}

} // namespace
} // namespace quillet
