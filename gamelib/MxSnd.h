// Sound output: every sound of a sound library as a DirectSound buffer holding its samples.
#pragma once

#include "base/Component.h"
#include "base/Exceptions.h"
#include "gamelib/mxslib.h"
#include "ui/Handles.h"

#include <windows.h>

#include <mmsystem.h> // WAVEFORMATEX, which dsound.h takes as known

#include <dsound.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace quillet {

// Makes the DirectSound object; tests hand in their own.
using TDirectSoundCreate = std::function<HRESULT(GUID*, IDirectSound**, IUnknown*)>;

// One static DirectSound buffer filled with a sound's samples. The sound's 20-byte format block
// is handed to DirectSound as its format: it must hold all of it, so a format other than PCM
// whose extra bytes (cbSize) reach past the block is refused.
class TMxSoundBuffer {
public:
    TMxSoundBuffer(IDirectSound* directSound, const std::array<std::uint8_t, 20>& format,
                   std::int32_t size, const std::uint8_t* data);
    ~TMxSoundBuffer();
    TMxSoundBuffer(const TMxSoundBuffer&) = delete;
    TMxSoundBuffer& operator=(const TMxSoundBuffer&) = delete;

    void Stop();
    void SetVolume(std::int32_t value);
    void SetPan(std::int32_t value);

    IDirectSoundBuffer* Buffer() const { return FBuffer.Get(); }
    std::int32_t Size() const { return FSize; }
    std::int32_t Channels() const { return FChannels; }
    std::int32_t BitsPerSample() const { return FBitsPerSample; }

    // Whoever finds the buffer lost raises this; the audio component then rebuilds its buffers.
    std::function<void(TMxSoundBuffer& sender)> OnRestore;

private:
    ui::ComPtr<IDirectSoundBuffer> FBuffer;
    std::array<std::uint8_t, 20> FFormat{};
    std::int32_t FSize = 0;
    std::int32_t FChannels = 0;
    std::int32_t FBitsPerSample = 0;
};

class TMxAudio : public TComponent {
public:
    // Starts at once, unless the owner has a screen, which starts it when the form is activated.
    // `factory` makes the DirectSound object: DirectSoundCreate unless tests hand in their own.
    explicit TMxAudio(TComponent* owner, TDirectSoundCreate factory = DefaultFactory());
    ~TMxAudio() override;
    std::string ClassName() const override { return "TMxAudio"; }

    static TDirectSoundCreate DefaultFactory();

    void Initialize();
    void CreateBuffers();
    void FreeBuffers();
    void ReloadBuffers();

    TMxSoundLib* SoundLibrary() const { return FSoundLibrary; }
    void SetSoundLibrary(TMxSoundLib* library);

    IDirectSound* DirectSound() const { return FDirectSound.Get(); }
    // Null for a buffer that a failed build did not make.
    TMxSoundBuffer* Buffers(int index) const {
        return FBuffers.at(static_cast<std::size_t>(index)).get();
    }
    std::int32_t BufferCount() const { return static_cast<std::int32_t>(FBuffers.size()); }

protected:
    void Notification(TComponent& component, TOperation operation) override;

private:
    TDirectSoundCreate FDirectSoundFactory;
    ui::ComPtr<IDirectSound> FDirectSound;
    TMxSoundLib* FSoundLibrary = nullptr;
    std::vector<std::unique_ptr<TMxSoundBuffer>> FBuffers;
};

} // namespace quillet
