#include "rom/RomChecksum.h"

#include <algorithm>
#include <array>
#include <bit>

namespace quillet {

std::vector<MirroredRun> MirroredRuns(std::uint64_t length) {
    std::vector<MirroredRun> runs;
    std::uint64_t start = 0;
    std::uint64_t repeat = 1;
    while (length > 0) {
        const std::uint64_t filled = std::bit_ceil(length);
        if (filled == length) {
            runs.push_back({start, length, repeat});
            break;
        }
        // The largest power of two below the length stands once; the rest is mirrored.
        const std::uint64_t whole = filled / 2;
        runs.push_back({start, whole, repeat});
        const std::uint64_t rest = length - whole;
        repeat *= whole / std::bit_ceil(rest);
        start += whole;
        length = rest;
    }
    return runs;
}

std::uint64_t SumOfBytes(std::span<const std::uint8_t> bytes) {
    // Blocks of a fixed length, which compilers add up in vector registers: a block's sum
    // fits its 32 bits.
    constexpr std::size_t kBlock = 64;
    std::uint64_t sum = 0;
    std::size_t at = 0;
    for (; at + kBlock <= bytes.size(); at += kBlock) {
        std::uint32_t block = 0;
        for (std::size_t i = 0; i < kBlock; ++i)
            block += bytes[at + i];
        sum += block;
    }
    for (; at < bytes.size(); ++at)
        sum += bytes[at];
    return sum;
}

std::uint16_t ComputeRomChecksum(ByteSource& source, std::uint64_t dataStart) {
    const std::uint64_t size = source.Size();
    const std::uint64_t dataLength = size > dataStart ? size - dataStart : 0;

    std::array<std::uint8_t, 65536> chunk{};
    std::uint64_t total = 0;
    for (const MirroredRun& run : MirroredRuns(dataLength)) {
        std::uint64_t runSum = 0;
        std::uint64_t done = 0;
        while (done < run.length) {
            const auto wanted =
                static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), run.length - done));
            const std::size_t got =
                source.ReadAt(dataStart + run.start + done, std::span(chunk.data(), wanted));
            runSum += SumOfBytes(std::span(chunk.data(), got));
            if (got < wanted)
                break; // the file shrank while we read it; count what was there
            done += got;
        }
        total += (runSum & 0xFFFF) * (run.repeat & 0xFFFF);
    }
    return static_cast<std::uint16_t>(total);
}

} // namespace quillet
