// Feeds arbitrary bytes to the image analysis and the checksum, as files and as huge sparse
// sources whose three blocks come from the input.
#include "base/ByteSource.h"
#include "base/TextSink.h"
#include "rom/RomAnalysis.h"
#include "rom/RomChecksum.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

namespace {

using namespace quillet;

// Hands out consecutive 512-byte slices of the input, one per read, within a declared size.
class SlicedSource final : public ByteSource {
public:
    SlicedSource(std::uint64_t size, std::span<const std::uint8_t> slices)
        : size_(size), slices_(slices) {}
    std::uint64_t Size() const override { return size_; }
    std::size_t ReadAt(std::uint64_t position, std::span<std::uint8_t> buffer) override {
        if (position >= size_)
            return 0;
        std::size_t count = buffer.size();
        if (size_ - position < count)
            count = static_cast<std::size_t>(size_ - position);
        const std::size_t from = (reads_++ * 512) % (slices_.size() + 1);
        const std::size_t available = slices_.size() - std::min(from, slices_.size());
        const std::size_t copied = std::min(count, available);
        if (copied > 0)
            std::memcpy(buffer.data(), slices_.data() + from, copied);
        std::memset(buffer.data() + copied, 0, count - copied);
        return count;
    }

private:
    std::uint64_t size_;
    std::span<const std::uint8_t> slices_;
    std::size_t reads_ = 0;
};

void CheckRecord(const SNESImageInfo& info) {
    if (info.Status < 1 || info.Status > 3 || (info.HeaderSize != 0 && info.HeaderSize != 512) ||
        info.Name.size() != 21 || info.Complement < 0 || info.Complement > 0xFFFF ||
        info.Checksum < 0 || info.Checksum > 0xFFFF || info.CountryCode < 0 ||
        info.CountryCode > 255 || info.LicenseeCode < 0 || info.LicenseeCode > 255)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> input(data, size);
    NullSink log;

    // The input as a whole file.
    {
        MemorySource file(input);
        SNESImageInfo info;
        if (AnalyseRomImage(file, info, log))
            CheckRecord(info);
        MemorySource again(input);
        (void)ComputeRomChecksum(again, static_cast<std::uint64_t>(info.HeaderSize));
    }

    // The first four bytes declare a size of up to 4 GiB; the rest are the blocks read.
    if (size >= 4) {
        std::uint32_t declared = 0;
        std::memcpy(&declared, data, 4);
        SlicedSource sparse(declared, input.subspan(4));
        SNESImageInfo info;
        try {
            if (AnalyseRomImage(sparse, info, log))
                CheckRecord(info);
        } catch (const EIntOverflow&) {
            // Files of 256 MiB and more may end the analysis this way, and no other error.
            if (declared < 268435456u)
                std::abort();
        }
    }
    return 0;
}
