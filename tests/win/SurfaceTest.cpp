// A surface made on its own, over the DirectDraw stand-in.
#include "tests/support/MessageOf.h"
#include "tests/win/FakeDirectX.h"

#include <gtest/gtest.h>

namespace quillet::testing {

TEST(Surface, ALostSurfaceWithNobodyToRestoreItFailsToErase) {
    auto dx = std::make_shared<FakeDirectX>();
    IDirectDraw* directDraw = nullptr;
    FakeDirectDraw(dx)(nullptr, &directDraw, nullptr);
    dx->failures["Blt"] = DDERR_SURFACELOST;
    EXPECT_EQ(MessageOf([&] { TMxSurface::CreateMemory(directDraw, 8, 8)->Erase(1); }),
              "Erase (Blt) Failed");
    directDraw->Release();
}

} // namespace quillet::testing
