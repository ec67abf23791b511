// The real DirectDraw and DirectSound under the running system: run in a virtual desktop, which
// can change its display mode, and with an audio server (tools/with-audio).
#include "app/DirectX.h"
#include "gamelib/MxSnd.h"
#include "tests/support/LibraryBytes.h"
#include "tests/support/MessageOf.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <tuple>

namespace quillet::testing {

std::tuple<int, int, int> DisplayMode() {
    HDC dc = GetDC(nullptr);
    const std::tuple mode{GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES),
                          GetDeviceCaps(dc, BITSPIXEL)};
    ReleaseDC(nullptr, dc);
    return mode;
}

TEST(RealScreen, PlaceholderEntersTheModeDrawsAndLeavesOnEscape) {
    const auto desktop = DisplayMode();
    ui::TForm mainForm; // made first, as the program's main window is
    mainForm.CreateForm("Quillet", 300, 200, ui::TBorderStyle::Single, {});
    app::TfrmDirectX placeholder;
    placeholder.Show(); // activation starts the screen, which fades the placeholder in
    ASSERT_NE(placeholder.MxScreen1->DirectDraw(), nullptr);
    EXPECT_EQ(DisplayMode(), std::tuple(640, 480, 8));

    // The texts are on show in the top left-hand corner, and nothing else is.
    TMxSurface& front = *placeholder.MxScreen1->Front();
    const std::uint8_t* pixels = front.Lock();
    ASSERT_NE(pixels, nullptr);
    int inked = 0, stray = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            (x < 320 && y < 80 ? inked : stray) += pixels[y * front.Pitch() + x] != 0;
    front.Unlock();
    EXPECT_GT(inked, 300);
    EXPECT_EQ(stray, 0);

    SendMessageA(placeholder.Handle(), WM_CHAR, VK_ESCAPE, 0);
    EXPECT_EQ(DisplayMode(), desktop);
}

TEST(RealAudio, ThreeSoundsBecomeThreeBuffersInOrderAndATooWidePanIsRefused) {
    TempFolder folder;
    TMxSoundLib library;
    library.LoadFromFile(folder.Write("three.sdl", SoundLibrary("SL10", {{1000, 1000, -5000, -1000},
                                                                         {2000, 2000, 0, -500},
                                                                         {3000, 3000, 5000, 0}})));
    TMxAudio audio(nullptr);
    audio.SetSoundLibrary(&library);
    std::vector<std::pair<LONG, LONG>> panVolumes;
    for (int i = 0; i < audio.BufferCount(); ++i) {
        LONG pan = 1, volume = 1;
        audio.Buffers(i)->Buffer()->GetPan(&pan);
        audio.Buffers(i)->Buffer()->GetVolume(&volume);
        panVolumes.emplace_back(pan, volume);
    }
    EXPECT_EQ(panVolumes, (decltype(panVolumes){{-5000, -1000}, {0, -500}, {5000, 0}}));

    // DirectSound refuses a pan beyond its range, after the buffer was made.
    library.LoadFromFile(folder.Write("wide.sdl", SoundLibrary("SL10", {{500, 500, 20000, 0}})));
    EXPECT_EQ(MessageOf([&] { audio.SetSoundLibrary(&library); }), "SetPan Failed");
}

} // namespace quillet::testing
