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

TEST(Audio, AFormatBlockIsHandedOnOnlyWhenItHoldsTheWholeFormat) {
    auto dx = std::make_shared<FakeDirectX>();
    ui::ComPtr<IDirectSound> directSound;
    ASSERT_EQ(FakeDirectSound(dx)(nullptr, directSound.Receive(), nullptr), S_OK);
    // Tag, channels, rate, bytes a second, block, bits, then the count of extra bytes.
    const auto format = [](std::uint8_t tag, std::uint16_t extra) {
        std::array<std::uint8_t, 20> block = {tag,  0,    1, 0, 0x22, 0x56, 0, 0,
                                              0x22, 0x56, 0, 0, 1,    0,    8, 0};
        block[16] = static_cast<std::uint8_t>(extra);
        block[17] = static_cast<std::uint8_t>(extra >> 8);
        return block;
    };
    const std::uint8_t samples[4] = {1, 2, 3, 4};
    const struct {
        std::uint8_t tag;
        std::uint16_t extra;
        const char* message;
    } cases[] = {
        {1, 0, "(nothing raised)"},
        {1, 0xFFFF, "(nothing raised)"}, // PCM: the count is not read
        {2, 2, "(nothing raised)"},      // fits the block's last two bytes
        {2, 3, "CreateSoundBuffer Failed: format 2 needs 3 extra bytes, but its block holds 2"},
        {0x11, 0xFFFF,
         "CreateSoundBuffer Failed: format 17 needs 65535 extra bytes, but its block holds 2"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MessageOf([&] {
                      TMxSoundBuffer(directSound.Get(), format(c.tag, c.extra), 4, samples);
                  }),
                  c.message)
            << int(c.tag) << " " << c.extra;
    }
}

} // namespace quillet::testing
