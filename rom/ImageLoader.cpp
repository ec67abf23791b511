#include "rom/ImageLoader.h"

#include "base/Checked.h"
#include "rom/ImageScanner.h"

#include <algorithm>

namespace quillet {

namespace {

constexpr std::size_t kBlockSize = 512;
// How much the details take at a time: small enough that a stop is heard at once.
constexpr std::size_t kScanPiece = 1 << 16;

std::uint64_t HeaderBytes(const SNESImageInfo& info, std::uint64_t fileSize) {
    return std::min<std::uint64_t>(static_cast<std::uint64_t>(std::max(info.HeaderSize, 0)),
                                   fileSize);
}

} // namespace

LoadedImage LoadImageData(ByteSource& source, const SNESImageInfo& info,
                          std::span<std::uint8_t> buffer, const LoadProgress& progress) {
    LoadedImage image;
    image.fileSize = source.Size();
    const auto fileSize = RangeChecked<std::int64_t>(image.fileSize);
    image.dataSize = CheckedSub<std::int64_t>(fileSize, info.HeaderSize);

    // The copier header, which the analysis looked at but did not keep: the file's hashes
    // need it. These bytes are the only ones read twice.
    image.copierHeader.resize(static_cast<std::size_t>(
        std::min<std::uint64_t>(HeaderBytes(info, image.fileSize), kBlockSize)));
    ReadExactly(source, 0, image.copierHeader);
    if (image.dataSize <= 0)
        return image;

    // The buffer holds what fits; a longer image is read on to its end only for the details,
    // and the bar then counts all of its data, in 64 bits.
    image.loaded =
        RangeChecked<std::int32_t>(std::min<std::int64_t>(image.dataSize, buffer.size()));
    const bool longer = image.Longer();
    const auto start = static_cast<std::uint64_t>(info.HeaderSize);
    const std::int32_t blocks = image.loaded / static_cast<std::int32_t>(kBlockSize) + 1;
    for (std::int32_t i = 0; i < blocks; ++i) {
        const std::size_t offset = static_cast<std::size_t>(i) * kBlockSize;
        const std::size_t length = std::min(kBlockSize, buffer.size() - offset);
        // The last block is partial or empty: only the bytes the file still holds are due.
        const auto due = static_cast<std::size_t>(
            std::min<std::int64_t>(length, image.dataSize - static_cast<std::int64_t>(offset)));
        ReadExactly(source, start + offset, buffer.subspan(offset, due));
        const std::int64_t percent = longer ? std::int64_t{i} * 51200 / image.dataSize
                                            : CheckedMul(i, std::int32_t{51200}) / image.loaded;
        if (progress)
            progress(RangeChecked<std::int32_t>(RangeChecked<std::int32_t>(percent), 0, 65535));
    }
    return image;
}

std::optional<ImageDetails> ScanLoadedImage(ByteSource& source, const SNESImageInfo& info,
                                            const LoadedImage& image,
                                            std::span<const std::uint8_t> buffer,
                                            std::stop_token stop) {
    const std::uint64_t headerBytes = HeaderBytes(info, image.fileSize);
    ImageScanner scanner(image.fileSize, headerBytes);
    scanner.Feed(image.copierHeader);
    if (headerBytes > image.copierHeader.size()) {
        // A header longer than a block, which no copier makes: read the rest of it.
        std::vector<std::uint8_t> rest(
            static_cast<std::size_t>(headerBytes - image.copierHeader.size()));
        ReadExactly(source, image.copierHeader.size(), rest);
        scanner.Feed(rest);
    }
    std::span<const std::uint8_t> loaded = buffer.first(static_cast<std::size_t>(image.loaded));
    while (!loaded.empty()) {
        if (stop.stop_requested())
            return std::nullopt;
        const std::size_t piece = std::min(loaded.size(), kScanPiece);
        scanner.Feed(loaded.first(piece));
        loaded = loaded.subspan(piece);
    }
    if (image.Longer()) {
        std::vector<std::uint8_t> chunk(kScanPiece);
        std::uint64_t position = headerBytes + static_cast<std::uint64_t>(image.loaded);
        while (position < image.fileSize) {
            if (stop.stop_requested())
                return std::nullopt;
            const auto piece = std::span(chunk).first(static_cast<std::size_t>(
                std::min<std::uint64_t>(chunk.size(), image.fileSize - position)));
            ReadExactly(source, position, piece);
            scanner.Feed(piece);
            position += piece.size();
        }
    }
    return scanner.Finish(info);
}

ImageDetails ReadImageDetails(ByteSource& source, const SNESImageInfo& info) {
    std::vector<std::uint8_t> buffer(
        static_cast<std::size_t>(std::min<std::uint64_t>(source.Size(), kRomBufferSize)));
    const LoadedImage image = LoadImageData(source, info, buffer);
    return *ScanLoadedImage(source, info, image, buffer);
}

DetailsComputation::DetailsComputation(std::unique_ptr<ByteSource> source,
                                       const SNESImageInfo& info, LoadedImage image,
                                       std::span<const std::uint8_t> buffer, Done done)
    : source_(std::move(source)), info_(info), image_(std::move(image)), buffer_(buffer),
      done_(std::move(done)), thread_([this](std::stop_token stop) { Run(stop); }) {
}

void DetailsComputation::Run(std::stop_token stop) {
    Outcome outcome;
    try {
        outcome.details = ScanLoadedImage(*source_, info_, image_, buffer_, stop);
    } catch (const Exception& failure) {
        outcome.problem = failure.Message();
    } catch (const std::exception& failure) { // out of memory, say
        outcome.problem = failure.what();
    }
    source_.reset(); // the file is not kept open while the answer waits to be taken
    if (stop.stop_requested())
        return; // nobody waits for it any more
    try {
        done_(std::move(outcome));
    } catch (...) { // nowhere to go from a thread of its own; the front end stays waiting
    }
}

} // namespace quillet
