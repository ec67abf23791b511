// Sound buffers made from a sound library, over the DirectSound stand-in.
#include "tests/support/LibraryBytes.h"
#include "tests/support/MessageOf.h"
#include "tests/support/TempFolder.h"
#include "tests/win/FakeDirectX.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace quillet::testing {

using Buffer = FakeSoundBufferRecord;

TEST(Audio, SoundsBecomeBuffersInOrderAndFailuresKeepOnlyTheBuffersMadeBefore) {
    TempFolder folder;
    TMxSoundLib library;
    library.LoadFromFile(folder.Write(
        "three.sdl",
        SoundLibrary("SL10", {{3, 3, -2000, -100}, {1, 1, 0, 0}, {2, 2, 3000, -2500}})));
    auto dx = std::make_shared<FakeDirectX>();
    TMxAudio audio(nullptr, FakeDirectSound(dx));
    audio.SetSoundLibrary(&library);
    EXPECT_EQ(dx->buffers,
              (std::deque<Buffer>{{{1, 2, 3}, -2000, -100}, {{4}, 0, 0}, {{5, 6}, 3000, -2500}}));

    const struct {
        const char* call;
        const char* message;
        int buffersLeft;
    } cases[] = {
        {"DirectSoundCreate", "Failed to Create DirectSound", 0},
        {"SetCooperativeLevel", "Failed to set directsound copoperative level", 0},
        {"CreateSoundBuffer", "CreateSoundBuffer Failed", 0},
        {"Lock", "DirectSoundSurface Lock Failed", 0},
        {"SetPan", "SetPan Failed", 1},
        {"SetVolume", "SetVolume Failed", 1},
        {"Stop", "Stop Failed", 3},
    };
    const auto alive = [&] { return std::ranges::count(dx->buffers, true, &Buffer::alive); };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.call);
        dx = std::make_shared<FakeDirectX>();
        dx->failures[c.call] = DSERR_GENERIC;
        library.Reload();
        std::unique_ptr<TMxAudio> failing;
        EXPECT_EQ(MessageOf([&] {
                      failing = std::make_unique<TMxAudio>(nullptr, FakeDirectSound(dx));
                      failing->SetSoundLibrary(&library);
                      failing->Buffers(0)->Stop();
                  }),
                  c.message);
        EXPECT_EQ(alive(), c.buffersLeft);
        failing.reset(); // even a buffer that will not stop
        EXPECT_EQ(alive(), 0);
    }
}

} // namespace quillet::testing
