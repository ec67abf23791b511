// Sound buffers made from a sound library, over a DirectSound that fails when told to.
#include "gamelib/MxSnd.h"
#include "tests/support/LibraryBytes.h"
#include "tests/support/MessageOf.h"
#include "tests/support/TempFolder.h"
#include "tests/win/FakeDirectX.h"
#include "ui/Application.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

using testing::FakeDirectSoundCreate;
using testing::FakeDirectSoundState;

class AudioTest : public ::testing::Test {
protected:
    AudioTest() {
        library = &owner.Create<TMxSoundLib>();
        library->LoadFromFile(folder.Write(
            "three.sdl", testing::SoundLibrary(
                             "SL10", {{16, 16, -2000, -100}, {4, 4, 0, 0}, {9, 9, 3000, -2500}})));
    }

    std::shared_ptr<FakeDirectSoundState> state = std::make_shared<FakeDirectSoundState>();
    testing::TempFolder folder;
    TComponent owner;
    TMxSoundLib* library = nullptr;
};

TEST_F(AudioTest, EverySoundBecomesABufferWithItsPanAndVolume) {
    TMxAudio& audio = owner.Create<TMxAudio>(FakeDirectSoundCreate{state});
    // Without a screen on its form it opens DirectSound at once.
    EXPECT_EQ(state->create.calls, 1);
    EXPECT_EQ(state->cooperativeWindow, ui::Application().Handle());
    EXPECT_EQ(state->cooperativeLevel, DWORD{DSSCL_NORMAL});
    EXPECT_EQ(audio.BufferCount(), 0);

    audio.SetSoundLibrary(library);
    ASSERT_EQ(audio.BufferCount(), 3);
    const auto buffers = state->LiveBuffers();
    ASSERT_EQ(buffers.size(), 3u);
    const LONG pans[] = {-2000, 0, 3000};
    const LONG volumes[] = {-100, 0, -2500};
    std::uint8_t next = 1;
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const auto& request = buffers[i]->description;
        EXPECT_EQ(request.size, 20u);
        EXPECT_EQ(request.flags, 0xE2u);
        EXPECT_EQ(request.format.nSamplesPerSec, 22050u);
        EXPECT_EQ(buffers[i]->pan, pans[i]);
        EXPECT_EQ(buffers[i]->volume, volumes[i]);
        for (std::uint8_t byte : buffers[i]->data)
            EXPECT_EQ(byte, next++);
        EXPECT_EQ(audio.Buffers(i)->Size(), static_cast<std::int32_t>(request.bufferBytes));
        EXPECT_EQ(audio.Buffers(i)->Channels(), 1);
        EXPECT_EQ(audio.Buffers(i)->BitsPerSample(), 8);
    }
    // The samples of a library read from a file now live in the buffers only.
    EXPECT_EQ(library->Sounds().Count(), 0);

    // Rebuilding reads the file again; an empty library frees everything.
    audio.ReloadBuffers();
    EXPECT_EQ(state->live.buffers, 3);
    audio.SetSoundLibrary(nullptr);
    EXPECT_EQ(audio.BufferCount(), 0);
    EXPECT_EQ(state->live.buffers, 0);

    // Its samples went into the buffers made before.
    audio.SetSoundLibrary(library);
    EXPECT_EQ(audio.BufferCount(), 0);
    // Started again, it lets go of the old DirectSound first and reads the file again.
    audio.Initialize();
    EXPECT_EQ(state->live.directSound, 1);
    EXPECT_EQ(state->live.buffers, 3);
    owner.FreeComponent(audio);
    EXPECT_TRUE(state->AllReleased());
}

TEST_F(AudioTest, FailuresSayWhatFailed) {
    struct Case {
        const char* message;
        std::function<void(FakeDirectSoundState&)> fail;
        int buffersLeft; // made before the failure, still held
    };
    const Case cases[] = {
        {"CreateSoundBuffer Failed",
         [](auto& s) { s.createSoundBuffer.ReturnNext(2, DSERR_OUTOFMEMORY); }, 0},
        {"DirectSoundSurface Lock Failed", [](auto& s) { s.lock.result = DSERR_INVALIDCALL; }, 0},
        {"SetVolume Failed", [](auto& s) { s.setVolume.result = DSERR_CONTROLUNAVAIL; }, 1},
        // A pan beyond DirectSound's range is refused after the buffer was made.
        {"SetPan Failed", [](auto& s) { s.setPan.ReturnNext(1, DSERR_INVALIDPARAM); }, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        state = std::make_shared<FakeDirectSoundState>();
        library->Reload();
        c.fail(*state);
        TMxAudio audio(nullptr, FakeDirectSoundCreate{state});
        EXPECT_EQ(testing::MessageOf([&] { audio.SetSoundLibrary(library); }), c.message);
        EXPECT_EQ(state->live.buffers, c.buffersLeft);
    }
    EXPECT_EQ(testing::MessageOf([&] { TMxAudio audio(nullptr, FakeDirectSoundCreate{state}); }),
              "(nothing raised)");
    state->create.result = DSERR_NODRIVER;
    EXPECT_EQ(testing::MessageOf([&] { TMxAudio audio(nullptr, FakeDirectSoundCreate{state}); }),
              "Failed to Create DirectSound");
    state->create.result = S_OK;
    state->setCooperativeLevel.result = DSERR_INVALIDPARAM;
    EXPECT_EQ(testing::MessageOf([&] { TMxAudio audio(nullptr, FakeDirectSoundCreate{state}); }),
              "Failed to set directsound copoperative level");
}

TEST_F(AudioTest, ABufferThatWillNotStopSaysSoButIsStillReleased) {
    library->Reload();
    {
        TMxAudio audio(nullptr, FakeDirectSoundCreate{state});
        audio.SetSoundLibrary(library);
        state->stop.result = DSERR_INVALIDCALL;
        EXPECT_EQ(testing::MessageOf([&] { audio.Buffers(0)->Stop(); }), "Stop Failed");
    }
    EXPECT_TRUE(state->AllReleased());
}

} // namespace
} // namespace quillet
