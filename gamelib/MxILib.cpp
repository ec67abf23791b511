#include "gamelib/MxILib.h"

#include "base/LittleEndian.h"
#include "base/NumberFormat.h"
#include "gamelib/LibraryFormat.h"

#include <algorithm>

namespace quillet {

namespace {

constexpr const char* kSignature = "IL10";
constexpr std::size_t kPaletteAt = 12;

using HeaderBytes = std::array<std::uint8_t, TMxImages::kHeaderSize>;
using ImageHeaderBytes = std::array<std::uint8_t, TMxImages::kImageHeaderSize>;

TMxImageLibHeader ParseHeader(const HeaderBytes& bytes) {
    TMxImageLibHeader header;
    std::copy_n(bytes.begin(), 4, header.Signature.begin());
    header.Count = GetInt32(bytes, 4);
    header.Reserved = GetUInt32(bytes, 8);
    for (std::size_t i = 0; i < header.Palette.size(); ++i) {
        const std::size_t at = kPaletteAt + 4 * i;
        header.Palette[i] = {bytes[at], bytes[at + 1], bytes[at + 2], bytes[at + 3]};
    }
    return header;
}

HeaderBytes FormatHeader(const TMxImageLibHeader& header) {
    HeaderBytes bytes{};
    std::copy(header.Signature.begin(), header.Signature.end(), bytes.begin());
    PutInt32(bytes, 4, header.Count);
    PutUInt32(bytes, 8, header.Reserved);
    for (std::size_t i = 0; i < header.Palette.size(); ++i) {
        const std::size_t at = kPaletteAt + 4 * i;
        const TPaletteEntry& entry = header.Palette[i];
        bytes[at] = entry.peRed;
        bytes[at + 1] = entry.peGreen;
        bytes[at + 2] = entry.peBlue;
        bytes[at + 3] = entry.peFlags;
    }
    return bytes;
}

// Width, height and pixel-block size of one image; negative dimensions are refused here so no
// size is ever computed from them.
std::int64_t CheckedBitsSize(std::int32_t width, std::int32_t height, std::int32_t index) {
    if (width < 0 || height < 0) {
        throw Exception("Image " + FormatDecimal(index) +
                        " of the Image Library File has a bad size (" + FormatDecimal(width) +
                        " x " + FormatDecimal(height) + ")");
    }
    return RowBytes(width) * height;
}

} // namespace

std::int64_t RowBytes(std::int64_t width) {
    return (width * 8 + 31) / 32 * 4;
}

std::size_t TMxImageHeader::BitsSize() const {
    return static_cast<std::size_t>(RowBytes(Width) * Height);
}

void TMxImages::Clear() {
    images_.clear();
    images_.shrink_to_fit();
    header_.Count = 0;
}

void TMxImages::LoadFromStream(TStream& stream) {
    Clear();
    HeaderBytes bytes{};
    stream.ReadBuffer(bytes);
    const TMxImageLibHeader read = ParseHeader(bytes);
    // The count is kept back until the images it announces have been read.
    header_ = read;
    header_.Count = 0;
    if (!gamelib::SignatureMatches(read.Signature, kSignature))
        throw Exception("Not a valid Image Library File");
    if (read.Count < 0)
        throw Exception("Image Library File has a bad image count (" + FormatDecimal(read.Count) +
                        ")");
    gamelib::RequireAvailable(stream, std::int64_t{read.Count} * kImageHeaderSize);
    gamelib::ReserveEntries(images_, static_cast<std::size_t>(read.Count),
                            "TMxImage: GemMem Failed for FImages");

    for (std::int32_t index = 0; index < read.Count; ++index) {
        ImageHeaderBytes imageBytes{};
        stream.ReadBuffer(imageBytes);
        TMxImageHeader image;
        image.Width = GetInt32(imageBytes, 0);
        image.Height = GetInt32(imageBytes, 4);
        std::copy_n(imageBytes.begin() + 8, image.Reserved.size(), image.Reserved.begin());
        const std::int64_t size = CheckedBitsSize(image.Width, image.Height, index);
        gamelib::RequireAvailable(stream, size);
        image.Bits = gamelib::AllocateBlock(size, "TMxImage: GemMem Failed for ImgHdr.Bits");
        stream.ReadBuffer(image.Bits.get(), static_cast<std::size_t>(size));
        images_.push_back(std::move(image));
        header_.Count = index + 1;
    }
}

void TMxImages::SaveToStream(TStream& stream) const {
    stream.WriteBuffer(FormatHeader(header_));
    for (const TMxImageHeader& image : images_) {
        ImageHeaderBytes bytes{};
        PutInt32(bytes, 0, image.Width);
        PutInt32(bytes, 4, image.Height);
        std::copy(image.Reserved.begin(), image.Reserved.end(), bytes.begin() + 8);
        stream.WriteBuffer(bytes);
        stream.WriteBuffer(image.Bits.get(), image.BitsSize());
    }
}

void TMxImages::LoadFromFile(const std::string& fileName) {
    TFileStream file(fileName, FileMode::OpenRead);
    LoadFromStream(file);
}

void TMxImages::AssignTo(TPersistent& dest) const {
    auto* target = dynamic_cast<TMxImages*>(&dest);
    if (target == nullptr) {
        TPersistent::AssignTo(dest);
        return;
    }
    if (target == this)
        return;
    target->Clear();
    if (images_.empty())
        return;
    target->header_ = header_;
    target->header_.Count = 0;
    gamelib::CopyEntries(images_, target->images_, target->header_.Count, "TMxImages",
                         [](const TMxImageHeader& image, const std::string& failure) {
                             TMxImageHeader copy;
                             copy.Width = image.Width;
                             copy.Height = image.Height;
                             copy.Reserved = image.Reserved;
                             copy.Bits = gamelib::CopyBlock(
                                 image.Bits.get(), static_cast<std::int64_t>(image.BitsSize()),
                                 failure);
                             return copy;
                         });
}

void TMxImages::DefineProperties(TFiler& filer) {
    filer.DefineBinaryProperty(
        "Images", [this](TStream& stream) { LoadFromStream(stream); },
        [this](TStream& stream) { SaveToStream(stream); }, !images_.empty());
}

} // namespace quillet
