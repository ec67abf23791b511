// Sound libraries: sampled sounds, each with its wave format, pan and volume, in SDL files
// ("SL10") or stored in a form description.
#pragma once

#include "base/Component.h"
#include "base/Persistent.h"
#include "base/Streams.h"
#include "gamelib/LibraryComponent.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quillet {

struct TMxSoundLibHeader {
    std::array<std::uint8_t, 4> Signature{};
    std::int32_t Count = 0;
    bool operator==(const TMxSoundLibHeader&) const = default;
};

struct TMxSoundHeader {
    // A WAVEFORMATEX in its first 18 bytes (tag, channels, samples per second, average bytes
    // per second, block alignment, bits per sample, extra size), then 2 bytes kept as they are.
    std::array<std::uint8_t, 20> Format{};
    std::array<std::uint8_t, 12> Reserved{};
    std::int32_t Pan = 0;
    std::int32_t Volume = 0;
    std::int32_t Size = 0;
    std::unique_ptr<std::uint8_t[]> Data; // Size bytes of samples
};

class TMxSounds : public TPersistent {
public:
    static constexpr std::size_t kHeaderSize = 8;
    static constexpr std::size_t kSoundHeaderSize = 44;

    TMxSounds() = default;
    ~TMxSounds() override { Clear(); }
    TMxSounds(const TMxSounds&) = delete;
    TMxSounds& operator=(const TMxSounds&) = delete;

    std::string ClassName() const override { return "TMxSounds"; }

    // Frees every sound; the signature stays.
    void Clear();
    // Replaces the list with the library in `stream`. A load that fails part way keeps the
    // sounds read before the failure, and Count says how many.
    void LoadFromStream(TStream& stream);
    void SaveToStream(TStream& stream) const;
    void LoadFromFile(const std::string& fileName);

    std::int32_t Count() const { return header_.Count; }
    const TMxSoundLibHeader& Header() const { return header_; }
    const TMxSoundHeader& Sound(int index) const {
        return sounds_.at(static_cast<std::size_t>(index));
    }

    void DefineProperties(TFiler& filer) override;

protected:
    void AssignTo(TPersistent& dest) const override;

private:
    TMxSoundLibHeader header_;
    std::vector<TMxSoundHeader> sounds_;
};

class TMxSoundLib : public gamelib::TMxLibraryComponent<TMxSounds> {
public:
    explicit TMxSoundLib(TComponent* owner = nullptr) : TMxLibraryComponent(owner) {}
    std::string ClassName() const override { return "TMxSoundLib"; }

    TMxSounds& Sounds() { return OwnedList(); }
    const TMxSounds& Sounds() const { return OwnedList(); }
    // Copies `sounds` into the owned list.
    void SetSounds(const TMxSounds& sounds) { OwnedList().Assign(sounds); }

    void DefineProperties(TFiler& filer) override { DefineListProperties(filer, "Sounds"); }
};

} // namespace quillet
