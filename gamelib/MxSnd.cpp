#include "gamelib/MxSnd.h"

#include "gamelib/Mx.h"
#include "ui/Application.h"

#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

namespace quillet {

namespace {

// The buffer description as DirectSound first knew it: size, flags, bytes, reserved, format.
constexpr DWORD kOldBufferDescriptionSize = 20;
constexpr DWORD kStaticBufferCaps =
    DSBCAPS_STATIC | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME;

std::int32_t FormatWord(const std::array<std::uint8_t, 20>& format, std::size_t offset) {
    return static_cast<std::int32_t>(format[offset] | format[offset + 1] << 8);
}

// Where the format's tag and its count of extra bytes lie in the block.
constexpr std::size_t kFormatTag = 0;
constexpr std::size_t kFormatExtraBytes = 16;
// The extra bytes that fit in the block after the 18 bytes of the format itself.
constexpr std::int32_t kRoomForExtraBytes = 20 - 18;

void CheckFormatFitsBlock(const std::array<std::uint8_t, 20>& format) {
    // DirectSound reads a PCM format's 16 bytes and ignores its extra-byte count; any other
    // format it reads with its extra bytes, which must then lie inside the block.
    const std::int32_t tag = FormatWord(format, kFormatTag);
    const std::int32_t extra = FormatWord(format, kFormatExtraBytes);
    if (tag == WAVE_FORMAT_PCM || extra <= kRoomForExtraBytes)
        return;
    throw Exception("CreateSoundBuffer Failed: format " + std::to_string(tag) + " needs " +
                    std::to_string(extra) + " extra bytes, but its block holds " +
                    std::to_string(kRoomForExtraBytes));
}

} // namespace

TMxSoundBuffer::TMxSoundBuffer(IDirectSound* directSound,
                               const std::array<std::uint8_t, 20>& format, std::int32_t size,
                               const std::uint8_t* data)
    : FFormat(format) {
    CheckFormatFitsBlock(FFormat);
    DSBUFFERDESC description{};
    description.dwSize = kOldBufferDescriptionSize;
    description.dwFlags = kStaticBufferCaps;
    description.dwBufferBytes = static_cast<DWORD>(size);
    description.lpwfxFormat = reinterpret_cast<WAVEFORMATEX*>(FFormat.data());
    ui::ComPtr<IDirectSoundBuffer> made;
    if (directSound == nullptr ||
        FAILED(directSound->CreateSoundBuffer(&description, made.Receive(), nullptr)) || !made)
        throw Exception("CreateSoundBuffer Failed");
    void* first = nullptr;
    void* second = nullptr;
    DWORD firstLength = 0;
    DWORD secondLength = 0;
    if (FAILED(made->Lock(0, static_cast<DWORD>(size), &first, &firstLength, &second, &secondLength,
                          0)))
        throw Exception("DirectSoundSurface Lock Failed");
    // The buffer was made for exactly `size` bytes, so the first part holds them all.
    if (first != nullptr && data != nullptr)
        std::memcpy(first, data,
                    std::min<std::size_t>(firstLength, static_cast<std::size_t>(size)));
    made->Unlock(first, firstLength, second, secondLength);
    FBuffer = std::move(made);
    FSize = size;
    FChannels = FormatWord(FFormat, 2);
    FBitsPerSample = FormatWord(FFormat, 14);
}

TMxSoundBuffer::~TMxSoundBuffer() {
    // A buffer that will not stop is released all the same: it goes away either way.
    if (FBuffer)
        FBuffer->Stop();
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
    // The buffers go before the object that made them.
    FreeBuffers();
}

void TMxAudio::Initialize() {
    // Started again, as the screen does at every activation: let go of the old object first.
    FreeBuffers();
    FDirectSound.Reset();
    // Held by a local until it is ready: a constructor that fails here runs no destructor.
    ui::ComPtr<IDirectSound> made;
    if (FAILED(FDirectSoundFactory(nullptr, made.Receive(), nullptr)) || !made)
        throw Exception("Failed to Create DirectSound");
    if (FAILED(made->SetCooperativeLevel(ui::Application().Handle(), DSSCL_NORMAL)))
        throw Exception("Failed to set directsound copoperative level");
    FDirectSound = std::move(made);
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
        buffer = std::make_unique<TMxSoundBuffer>(FDirectSound.Get(), sound.Format, sound.Size,
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
    if (FDirectSound)
        CreateBuffers();
}

void TMxAudio::Notification(TComponent& component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove && &component == FSoundLibrary)
        FSoundLibrary = nullptr;
}

} // namespace quillet
