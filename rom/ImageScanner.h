// Computes an image's details from its bytes fed in file order, in chunks of any size, so that
// a reader that goes through the file once (the command-line tool, the program's load step)
// gets them on the way. Memory stays bounded whatever the file's size: at most the last 8 MiB
// of data are kept, for the header decode and to tell an overdump from padding, and the first
// 96 KiB while the copier header's size is open. Interleaved data, at most 8 MiB, is copied
// once more into the cartridge's order.
#pragma once

#include "rom/ImageDetails.h"
#include "rom/RomChecksum.h"
#include "rom/SnesImageInfo.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace quillet {

// Whether the details include the hashes of the file and the data. Without them, where only
// the header and the checksum's diagnosis are wanted, a scan costs a fraction of the time.
enum class ScanHashes { Computed, LeftOut };

class ImageScanner {
public:
    // `dataOffset` is the size of the copier header the analysis found (info.HeaderSize). A file
    // whose size is some other number of bytes over whole 32 KiB may have a copier header of
    // that size: the bytes up to 64 KiB past it are held until the internal header's place
    // tells which of the two it is. With ScanHashes::LeftOut the details' digests are empty.
    ImageScanner(std::uint64_t fileSize, std::uint64_t dataOffset,
                 ScanHashes hashes = ScanHashes::Computed);

    // The file's next bytes. Throws Exception when they go past the file size given.
    void Feed(std::span<const std::uint8_t> bytes);

    // The details once the whole file has been fed; `info` is the analysis of the same file,
    // for the second opinion to compare with. Throws Exception when bytes are missing.
    ImageDetails Finish(const SNESImageInfo& info);

private:
    struct Repeat {
        std::uint64_t period;
        bool holds;
    };

    ImageScanner(std::uint64_t fileSize, std::uint64_t dataOffset, ScanHashes hashes,
                 bool lookForInterleaving);
    void Start(std::uint64_t dataOffset);
    void ChooseCopierHeader();
    void FeedFile(std::span<const std::uint8_t> bytes);
    void AddData(std::span<const std::uint8_t> piece);
    void Decide();
    void CheckRepeats(std::uint64_t from, std::span<const std::uint8_t> bytes);
    bool RingEquals(std::uint64_t at, std::span<const std::uint8_t> bytes) const;
    void StoreInRing(std::uint64_t at, std::span<const std::uint8_t> bytes);
    std::uint64_t DataFed() const { return position_ - dataOffset_; }

    std::uint64_t fileSize_;
    std::uint64_t received_ = 0; // bytes fed
    ScanHashes hashes_;
    bool lookForInterleaving_;

    // Until the copier header's size is known: the analysis' size, the other one possible,
    // and the file's first bytes.
    std::uint64_t analysisOffset_;
    std::uint64_t otherOffset_ = 0;
    std::uint64_t holdUntil_ = 0;
    std::vector<std::uint8_t> held_;
    bool started_ = false;

    std::uint64_t dataOffset_ = 0;
    std::uint64_t dataSize_ = 0;
    std::uint64_t decisionPoint_ = 0;
    std::uint64_t position_ = 0; // bytes of the file handled, copier header included
    std::vector<std::uint8_t> copierHeader_;

    std::optional<DigestSet> fileDigests_; // only when the hashes are computed
    std::optional<DigestSet> dataDigests_; // and a copier header comes first

    // The checksum: a sum per mirrored run, and plain sums of each power-of-two prefix.
    std::vector<MirroredRun> runs_;
    std::size_t run_ = 0;
    std::uint64_t runSum_ = 0;
    std::uint64_t mirroredSum_ = 0;
    std::uint64_t sum_ = 0;
    std::vector<std::optional<std::uint64_t>> prefixSums_ =
        std::vector<std::optional<std::uint64_t>>(64);

    // The last bytes of data: all of them up to the header decision, then what the overdump
    // check must look back to.
    std::vector<std::uint8_t> ring_;

    // The run of equal bytes at the end of the data so far.
    std::uint8_t tailByte_ = 0;
    std::uint64_t tailStart_ = 0;

    bool decided_ = false;
    std::array<std::optional<CartridgeHeader>, 3> headers_;
    HeaderOpinion opinion_;
    std::optional<std::uint64_t> declared_;
    std::vector<Repeat> repeats_;
    bool interleaved_ = false;
};

} // namespace quillet
