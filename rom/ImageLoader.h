// Reads an image from a byte source once, for both front ends. The load step fills the
// program's buffer in 512-byte blocks while a progress callback follows; the details (hashes,
// header, opinion, checksum) then come from the same bytes, on any thread, and only what did
// not fit in the buffer is read for them.
#pragma once

#include "base/ByteSource.h"
#include "rom/ImageDetails.h"
#include "rom/SnesImageInfo.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

namespace quillet {

// Room for a 32-megabit image, and the byte after it.
inline constexpr std::size_t kRomBufferSize = 4194305;

// What the load step read.
struct LoadedImage {
    std::uint64_t fileSize = 0;
    std::int64_t dataSize = 0;              // the bytes after the copier header
    std::int32_t loaded = 0;                // how many of them the buffer holds, from its start
    std::vector<std::uint8_t> copierHeader; // for the file's hashes
    bool Longer() const { return dataSize > loaded; }
};

// The loading window's bar, set after each block: the share of the data read before it, in
// percent.
using LoadProgress = std::function<void(std::int32_t percent)>;

// Reads the data after info.HeaderSize into `buffer`: as much as fits, in 512-byte blocks,
// each at its own place. Throws EReadFailure when a read fails or the file ends before the
// size it had when opened: data is never shifted or left out. EIntOverflow and ERangeError
// come from the bar's arithmetic, as in the 32-bit original.
LoadedImage LoadImageData(ByteSource& source, const SNESImageInfo& info,
                          std::span<std::uint8_t> buffer, const LoadProgress& progress = {});

// The details of what LoadImageData read: the copier header and the buffer, then the data past
// the buffer, read from `source` here. Nothing when `stop` was requested first. Throws
// Exception when a read fails or the file changed size meanwhile.
std::optional<ImageDetails> ScanLoadedImage(ByteSource& source, const SNESImageInfo& info,
                                            const LoadedImage& image,
                                            std::span<const std::uint8_t> buffer,
                                            std::stop_token stop = {});

// Both steps at once, into a buffer of its own as large as the data that fits: the details of an
// image for a front end that keeps no buffer.
ImageDetails ReadImageDetails(ByteSource& source, const SNESImageInfo& info);

// The details computed on a thread of their own. Destroying the computation stops it and waits
// for its thread; `done` is then not called, or has returned. The buffer must stay unchanged
// until then.
class DetailsComputation {
public:
    struct Outcome {
        std::optional<ImageDetails> details;
        std::string problem; // why there are none
    };
    // Called on the computation's thread.
    using Done = std::function<void(Outcome)>;

    DetailsComputation(std::unique_ptr<ByteSource> source, const SNESImageInfo& info,
                       LoadedImage image, std::span<const std::uint8_t> buffer, Done done);
    DetailsComputation(const DetailsComputation&) = delete;
    DetailsComputation& operator=(const DetailsComputation&) = delete;

private:
    void Run(std::stop_token stop);

    std::unique_ptr<ByteSource> source_;
    SNESImageInfo info_;
    LoadedImage image_;
    std::span<const std::uint8_t> buffer_;
    Done done_;
    std::jthread thread_; // last: stopped and joined before the rest goes
};

} // namespace quillet
