// Image libraries: 8-bit palette images sharing one 256-colour palette, in IML files ("IL10")
// or stored in a form description.
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

struct TPaletteEntry {
    std::uint8_t peRed = 0;
    std::uint8_t peGreen = 0;
    std::uint8_t peBlue = 0;
    std::uint8_t peFlags = 0; // not used by the format
    bool operator==(const TPaletteEntry&) const = default;
};

using TMxPalette = std::array<TPaletteEntry, 256>;

struct TMxImageLibHeader {
    std::array<std::uint8_t, 4> Signature{};
    std::int32_t Count = 0;
    std::uint32_t Reserved = 0;
    TMxPalette Palette{};
    bool operator==(const TMxImageLibHeader&) const = default;
};

struct TMxImageHeader {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::array<std::uint8_t, 12> Reserved{};
    std::unique_ptr<std::uint8_t[]> Bits; // Height rows of RowBytes(Width) bytes, top row first

    std::size_t BitsSize() const;
};

// Bytes in one pixel row: the width rounded up to a multiple of 4.
std::int64_t RowBytes(std::int64_t width);

class TMxImages : public TPersistent {
public:
    static constexpr std::size_t kHeaderSize = 1036;
    static constexpr std::size_t kImageHeaderSize = 20;

    TMxImages() = default;
    ~TMxImages() override { Clear(); }
    TMxImages(const TMxImages&) = delete;
    TMxImages& operator=(const TMxImages&) = delete;

    std::string ClassName() const override { return "TMxImages"; }

    // Frees every image; the signature, reserved word and palette stay.
    void Clear();
    // Replaces the list with the library in `stream`. A load that fails part way keeps the
    // images read before the failure, and Count says how many.
    void LoadFromStream(TStream& stream);
    void SaveToStream(TStream& stream) const;
    void LoadFromFile(const std::string& fileName);

    std::int32_t Count() const { return header_.Count; }
    const TMxImageLibHeader& Header() const { return header_; }
    const TMxPalette& Palette() const { return header_.Palette; }
    const TMxImageHeader& Image(int index) const {
        return images_.at(static_cast<std::size_t>(index));
    }

    void DefineProperties(TFiler& filer) override;

protected:
    void AssignTo(TPersistent& dest) const override;

private:
    TMxImageLibHeader header_;
    std::vector<TMxImageHeader> images_;
};

class TMxImageLib : public gamelib::TMxLibraryComponent<TMxImages> {
public:
    explicit TMxImageLib(TComponent* owner = nullptr) : TMxLibraryComponent(owner) {}
    std::string ClassName() const override { return "TMxImageLib"; }

    TMxImages& Images() { return OwnedList(); }
    const TMxImages& Images() const { return OwnedList(); }
    // Copies `images` into the owned list.
    void SetImages(const TMxImages& images) { OwnedList().Assign(images); }

    void DefineProperties(TFiler& filer) override { DefineListProperties(filer, "Images"); }
};

} // namespace quillet
