#include "gamelib/mxslib.h"

#include "base/LittleEndian.h"
#include "base/NumberFormat.h"
#include "gamelib/LibraryFormat.h"

#include <algorithm>

namespace quillet {

namespace {

constexpr const char* kSignature = "SL10";
constexpr std::size_t kReservedAt = 20;
constexpr std::size_t kPanAt = 32;
constexpr std::size_t kVolumeAt = 36;
constexpr std::size_t kSizeAt = 40;

using SoundHeaderBytes = std::array<std::uint8_t, TMxSounds::kSoundHeaderSize>;

TMxSoundHeader ParseSoundHeader(const SoundHeaderBytes& bytes) {
    TMxSoundHeader sound;
    std::copy_n(bytes.begin(), sound.Format.size(), sound.Format.begin());
    std::copy_n(bytes.begin() + kReservedAt, sound.Reserved.size(), sound.Reserved.begin());
    sound.Pan = GetInt32(bytes, kPanAt);
    sound.Volume = GetInt32(bytes, kVolumeAt);
    sound.Size = GetInt32(bytes, kSizeAt);
    return sound;
}

SoundHeaderBytes FormatSoundHeader(const TMxSoundHeader& sound) {
    SoundHeaderBytes bytes{};
    std::copy(sound.Format.begin(), sound.Format.end(), bytes.begin());
    std::copy(sound.Reserved.begin(), sound.Reserved.end(), bytes.begin() + kReservedAt);
    PutInt32(bytes, kPanAt, sound.Pan);
    PutInt32(bytes, kVolumeAt, sound.Volume);
    PutInt32(bytes, kSizeAt, sound.Size);
    return bytes;
}

} // namespace

void TMxSounds::Clear() {
    sounds_.clear();
    sounds_.shrink_to_fit();
    header_.Count = 0;
}

void TMxSounds::LoadFromStream(TStream& stream) {
    Clear();
    std::array<std::uint8_t, kHeaderSize> bytes{};
    stream.ReadBuffer(bytes);
    const std::int32_t count = GetInt32(bytes, 4);
    // The count is kept back until the sounds it announces have been read.
    std::copy_n(bytes.begin(), 4, header_.Signature.begin());
    if (!gamelib::SignatureMatches(bytes, kSignature))
        throw Exception("Not a valid Sound Library File");
    if (count < 0)
        throw Exception("Sound Library File has a bad sound count (" + FormatDecimal(count) + ")");
    gamelib::RequireAvailable(stream, std::int64_t{count} * kSoundHeaderSize);
    gamelib::ReserveEntries(sounds_, static_cast<std::size_t>(count),
                            "TMxSounds: GemMem Failed for FSounds");

    for (std::int32_t index = 0; index < count; ++index) {
        SoundHeaderBytes soundBytes{};
        stream.ReadBuffer(soundBytes);
        TMxSoundHeader sound = ParseSoundHeader(soundBytes);
        if (sound.Size < 0) {
            throw Exception("Sound " + FormatDecimal(index) +
                            " of the Sound Library File has a bad size (" +
                            FormatDecimal(sound.Size) + ")");
        }
        gamelib::RequireAvailable(stream, sound.Size);
        sound.Data = gamelib::AllocateBlock(sound.Size, "TMxSounds: GemMem Failed for Sound.Data");
        stream.ReadBuffer(sound.Data.get(), static_cast<std::size_t>(sound.Size));
        sounds_.push_back(std::move(sound));
        header_.Count = index + 1;
    }
}

void TMxSounds::SaveToStream(TStream& stream) const {
    std::array<std::uint8_t, kHeaderSize> bytes{};
    std::copy(header_.Signature.begin(), header_.Signature.end(), bytes.begin());
    PutInt32(bytes, 4, header_.Count);
    stream.WriteBuffer(bytes);
    for (const TMxSoundHeader& sound : sounds_) {
        stream.WriteBuffer(FormatSoundHeader(sound));
        stream.WriteBuffer(sound.Data.get(), static_cast<std::size_t>(sound.Size));
    }
}

void TMxSounds::LoadFromFile(const std::string& fileName) {
    TFileStream file(fileName, FileMode::OpenRead);
    LoadFromStream(file);
}

void TMxSounds::AssignTo(TPersistent& dest) const {
    auto* target = dynamic_cast<TMxSounds*>(&dest);
    if (target == nullptr) {
        TPersistent::AssignTo(dest);
        return;
    }
    if (target == this)
        return;
    target->Clear();
    if (sounds_.empty())
        return;
    target->header_.Signature = header_.Signature;
    gamelib::CopyEntries(sounds_, target->sounds_, target->header_.Count, "TMxSounds",
                         [](const TMxSoundHeader& sound, const std::string& failure) {
                             TMxSoundHeader copy;
                             copy.Format = sound.Format;
                             copy.Reserved = sound.Reserved;
                             copy.Pan = sound.Pan;
                             copy.Volume = sound.Volume;
                             copy.Size = sound.Size;
                             copy.Data = gamelib::CopyBlock(sound.Data.get(), sound.Size, failure);
                             return copy;
                         });
}

void TMxSounds::DefineProperties(TFiler& filer) {
    filer.DefineBinaryProperty(
        "Sounds", [this](TStream& stream) { LoadFromStream(stream); },
        [this](TStream& stream) { SaveToStream(stream); }, !sounds_.empty());
}

} // namespace quillet
