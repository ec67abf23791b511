// The real DirectDraw and DirectSound under the running system: run in a virtual desktop, which
// can change its display mode, and with an audio server (tools/with-audio).
#include "app/DirectX.h"
#include "gamelib/MxSnd.h"
#include "tests/support/LibraryBytes.h"
#include "tests/support/TempFolder.h"
#include "ui/Application.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

// Runs the program's message loop until `done` holds or about two seconds have passed.
template <typename Condition> bool RunUntil(Condition done) {
    const DWORD end = GetTickCount() + 2000;
    MSG message{};
    while (!done() && static_cast<int>(GetTickCount() - end) < 0) {
        if (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE))
            ui::Application().HandleMessage();
        else
            Sleep(5);
    }
    return done();
}

int ScreenBitsPerPixel() {
    HDC dc = GetDC(nullptr);
    const int bits = GetDeviceCaps(dc, BITSPIXEL);
    ReleaseDC(nullptr, dc);
    return bits;
}

TEST(RealScreen, PlaceholderEntersTheModeDrawsFadesAndLeaves) {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    ui::TForm mainForm; // made first, as the program's main window is
    mainForm.CreateForm("Quillet", 300, 200, ui::TBorderStyle::Single, {});
    app::TfrmDirectX placeholder;
    TMxScreen& screen = *placeholder.MxScreen1;
    placeholder.Show(); // activation starts the screen, which fades the placeholder in
    ASSERT_TRUE(RunUntil([&] { return screen.DirectDraw() != nullptr; }));
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 640);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 480);
    EXPECT_EQ(ScreenBitsPerPixel(), 8);
    EXPECT_TRUE(ui::Application().CursorHidden());

    // The texts are on show in the top left-hand corner, and nothing else is.
    TMxSurface& front = *screen.Front();
    std::uint8_t* pixels = front.Lock();
    ASSERT_NE(pixels, nullptr);
    int inked = 0;
    int stray = 0;
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            const bool lit = pixels[y * front.Pitch() + x] != 0;
            (x < 320 && y < 80 ? inked : stray) += lit;
        }
    }
    front.Unlock();
    EXPECT_GT(inked, 300);
    EXPECT_EQ(stray, 0);

    // At the end of the fade the palette is the screen's own.
    PALETTEENTRY shown[256] = {};
    IDirectDrawPalette* palette = nullptr;
    ASSERT_EQ(front.Surface()->GetPalette(&palette), DD_OK);
    palette->GetEntries(0, 0, 256, shown);
    palette->Release();
    EXPECT_EQ(shown[100].peRed, screen.Palette()[100].peRed);
    EXPECT_EQ(shown[200].peBlue, screen.Palette()[200].peBlue);

    // A letter does nothing; Escape fades out and gives the display back.
    SendMessageA(placeholder.Handle(), WM_CHAR, 'a', 0);
    EXPECT_NE(screen.DirectDraw(), nullptr);
    EXPECT_TRUE(IsWindowVisible(placeholder.Handle()));
    SendMessageA(placeholder.Handle(), WM_CHAR, VK_ESCAPE, 0);
    EXPECT_EQ(screen.DirectDraw(), nullptr);
    EXPECT_FALSE(IsWindowVisible(placeholder.Handle()));
    EXPECT_FALSE(ui::Application().CursorHidden());
    EXPECT_TRUE(RunUntil([&] { return GetSystemMetrics(SM_CXSCREEN) == width; }));
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), height);
}

TEST(RealAudio, ThreeSoundsBecomeThreeBuffersInOrder) {
    testing::TempFolder folder;
    TComponent owner;
    auto& library = owner.Create<TMxSoundLib>();
    library.LoadFromFile(folder.Write(
        "three.sdl",
        testing::SoundLibrary(
            "SL10", {{1000, 1000, -5000, -1000}, {2000, 2000, 0, -500}, {3000, 3000, 5000, 0}})));
    TMxAudio& audio = owner.Create<TMxAudio>();
    audio.SetSoundLibrary(&library);
    ASSERT_EQ(audio.BufferCount(), 3);
    const LONG pans[] = {-5000, 0, 5000};
    const LONG volumes[] = {-1000, -500, 0};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        IDirectSoundBuffer* buffer = audio.Buffers(i)->Buffer();
        LONG pan = 1;
        LONG volume = 1;
        DSBCAPS caps{};
        caps.dwSize = sizeof caps;
        ASSERT_EQ(buffer->GetPan(&pan), DS_OK);
        ASSERT_EQ(buffer->GetVolume(&volume), DS_OK);
        ASSERT_EQ(buffer->GetCaps(&caps), DS_OK);
        EXPECT_EQ(pan, pans[i]);
        EXPECT_EQ(volume, volumes[i]);
        EXPECT_EQ(caps.dwBufferBytes, static_cast<DWORD>(1000 * (i + 1)));
        EXPECT_EQ(audio.Buffers(i)->BitsPerSample(), 8);
    }

    // DirectSound refuses a pan beyond its range, after the buffer was made.
    library.LoadFromFile(
        folder.Write("wide.sdl", testing::SoundLibrary("SL10", {{500, 500, 20000, 0}})));
    try {
        audio.SetSoundLibrary(&library);
        ADD_FAILURE() << "the pan was taken";
    } catch (const Exception& error) {
        EXPECT_EQ(error.Message(), "SetPan Failed");
    }
    EXPECT_EQ(audio.BufferCount(), 1);
    EXPECT_NE(audio.Buffers(0), nullptr);
}

} // namespace
} // namespace quillet
