#include "gamelib/MxSnd.h"

#include "gamelib/Mx.h"
#include "ui/Application.h"

#include <cstring>
#include <new>
#include <stdexcept>

namespace quillet {

namespace {

// The buffer description as DirectSound first knew it: size, flags, bytes, reserved, format.
constexpr DWORD kOldBufferDescriptionSize = 20;
constexpr DWORD kStaticBufferCaps =
    DSBCAPS_STATIC | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME;

std::int32_t FormatWord(const std::array<std::uint8_t, 20>& format, std::size_t offset) {
    return static_cast<std::int32_t>(format[offset] | format[offset + 1] << 8);
}

} // namespace

TMxSoundBuffer::TMxSoundBuffer(IDirectSound* directSound,
                               const std::array<std::uint8_t, 20>& format, std::int32_t size,
                               const std::uint8_t* data)
    : FFormat(format) {
    DSBUFFERDESC description{};
    description.dwSize = kOldBufferDescriptionSize;
    description.dwFlags = kStaticBufferCaps;
    description.dwBufferBytes = static_cast<DWORD>(size);
    description.lpwfxFormat = reinterpret_cast<WAVEFORMATEX*>(FFormat.data());
    IDirectSoundBuffer* made = nullptr;
    if (directSound == nullptr ||
        FAILED(directSound->CreateSoundBuffer(&description, &made, nullptr)) || made == nullptr)
        throw Exception("CreateSoundBuffer Failed");
    void* first = nullptr;
    void* second = nullptr;
    DWORD firstLength = 0;
    DWORD secondLength = 0;
    if (FAILED(made->Lock(0, static_cast<DWORD>(size), &first, &firstLength, &second, &secondLength,
                          0))) {
        made->Release();
        throw Exception("DirectSoundSurface Lock Failed");
    }
    // The buffer was made for exactly `size` bytes, so the first part holds them all.
    if (first != nullptr && data != nullptr)
        std::memcpy(first, data,
                    std::min<std::size_t>(firstLength, static_cast<std::size_t>(size)));
    made->Unlock(first, firstLength, second, secondLength);
    FBuffer = made;
    FSize = size;
    FChannels = FormatWord(FFormat, 2);
    FBitsPerSample = FormatWord(FFormat, 14);
}

TMxSoundBuffer::~TMxSoundBuffer() {
    if (FBuffer == nullptr)
        return;
    // A buffer that will not stop is released all the same: it goes away either way.
    FBuffer->Stop();
    FBuffer->Release();
}

void TMxSoundBuffer::Stop() {
    if (FAILED(FBuffer->Stop()))
        throw Exception("Stop Failed");
}

void TMxSoundBuffer::SetVolume(std::int32_t value) {
    if (FAILED(FBuffer->SetVolume(value)))
        throw Exception("SetVolume Failed");
}

void TMxSoundBuffer::SetPan(std::int32_t value) {
    if (FAILED(FBuffer->SetPan(value)))
        throw Exception("SetPan Failed");
}

TDirectSoundCreate TMxAudio::DefaultFactory() {
    return [](GUID* device, IDirectSound** made, IUnknown* outer) {
        return ::DirectSoundCreate(device, made, outer);
    };
}

TMxAudio::TMxAudio(TComponent* owner, TDirectSoundCreate factory)
    : TComponent(owner), FDirectSoundFactory(std::move(factory)) {
    if (owner != nullptr) {
        for (int i = 0; i < owner->ComponentCount(); ++i) {
            if (dynamic_cast<TMxScreen*>(&owner->Components(i)) != nullptr)
                return;
        }
    }
    Initialize();
}

TMxAudio::~TMxAudio() {
    FreeBuffers();
    ReleaseDirectSound();
}

void TMxAudio::ReleaseDirectSound() {
    if (FDirectSound != nullptr) {
        FDirectSound->Release();
        FDirectSound = nullptr;
    }
}

void TMxAudio::Initialize() {
    // Started again, as the screen does at every activation: let go of the old object first.
    FreeBuffers();
    ReleaseDirectSound();
    IDirectSound* made = nullptr;
    if (FAILED(FDirectSoundFactory(nullptr, &made, nullptr)) || made == nullptr)
        throw Exception("Failed to Create DirectSound");
    if (FAILED(made->SetCooperativeLevel(ui::Application().Handle(), DSSCL_NORMAL))) {
        // Not kept: a constructor that fails here has no destructor to release it.
        made->Release();
        throw Exception("Failed to set directsound copoperative level");
    }
    FDirectSound = made;
    if (FSoundLibrary == nullptr)
        return;
    // A library read from a file gave its samples to the buffers just freed: read it again.
    if (!FSoundLibrary->FileName().empty() && FSoundLibrary->Count() == 0)
        FSoundLibrary->Reload();
    CreateBuffers();
}

void TMxAudio::CreateBuffers() {
    if (FSoundLibrary == nullptr || FSoundLibrary->Count() == 0)
        return;
    const TMxSounds& sounds = FSoundLibrary->Sounds();
    try {
        FBuffers.resize(static_cast<std::size_t>(sounds.Count()));
    } catch (const std::bad_alloc&) {
        throw Exception("Failed to allocate memory for Sound Buffers");
    } catch (const std::length_error&) {
        throw Exception("Failed to allocate memory for Sound Buffers");
    }
    for (int i = 0; i < sounds.Count(); ++i) {
        const TMxSoundHeader& sound = sounds.Sound(i);
        auto& buffer = FBuffers[static_cast<std::size_t>(i)];
        buffer = std::make_unique<TMxSoundBuffer>(FDirectSound, sound.Format, sound.Size,
                                                  sound.Data.get());
        buffer->SetPan(sound.Pan);
        buffer->SetVolume(sound.Volume);
        buffer->OnRestore = [this](TMxSoundBuffer&) { ReloadBuffers(); };
    }
    // The samples now live in the buffers; a rebuild reads the file again.
    if (!FSoundLibrary->FileName().empty())
        FSoundLibrary->Sounds().Clear();
}

void TMxAudio::FreeBuffers() {
    FBuffers.clear();
}

void TMxAudio::ReloadBuffers() {
    FreeBuffers();
    if (FSoundLibrary != nullptr && !FSoundLibrary->FileName().empty())
        FSoundLibrary->Reload();
    CreateBuffers();
}

void TMxAudio::SetSoundLibrary(TMxSoundLib* library) {
    FreeBuffers();
    FSoundLibrary = library;
    if (FDirectSound != nullptr)
        CreateBuffers();
}

void TMxAudio::Notification(TComponent& component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove && &component == FSoundLibrary)
        FSoundLibrary = nullptr;
}

} // namespace quillet
