#include "rom/ImageLoader.h"
#include "rom/ImageScanner.h"

#include "tests/support/FakeSources.h"
#include "tests/support/MessageOf.h"
#include "tools/RomImageBuilder.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

namespace quillet {
namespace {

using namespace samples;
using namespace testing;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kUntouched = 0xAA;

// The file's details found independently: every byte fed at once.
ImageDetails WholeScan(const Bytes& file, std::int32_t headerSize) {
    ImageScanner scanner(file.size(), static_cast<std::uint64_t>(headerSize));
    scanner.Feed(file);
    return scanner.Finish({.HeaderSize = headerSize});
}

struct Loaded {
    LoadedImage image;
    Bytes buffer;
    std::vector<std::int32_t> bar;
};

Loaded Load(ByteSource& source, std::int32_t headerSize) {
    Loaded loaded{{}, Bytes(kRomBufferSize, kUntouched), {}};
    loaded.image = LoadImageData(source, {.HeaderSize = headerSize}, loaded.buffer,
                                 [&](std::int32_t percent) { loaded.bar.push_back(percent); });
    return loaded;
}

TEST(Loader, ReadsTheDataAfterTheCopierHeaderBlockByBlockAndCountsThemOnTheBar) {
    const struct {
        std::size_t dataSize;
        std::vector<std::int32_t> bar;
    } cases[] = {
        {1300, {0, 39, 78}},  // the last block partial
        {1024, {0, 50, 100}}, // the last block empty
        {0, {}},              // a copier header and nothing after it
    };
    for (const auto& c : cases) {
        const Bytes file = Concatenate(SuperWildCardHeader(0, 0), MakeRomData(c.dataSize, 3));
        MemorySource source(file);
        const Loaded loaded = Load(source, 512);
        EXPECT_EQ(loaded.image.dataSize, static_cast<std::int64_t>(c.dataSize));
        EXPECT_EQ(loaded.image.loaded, static_cast<std::int32_t>(c.dataSize));
        EXPECT_FALSE(loaded.image.Longer());
        EXPECT_EQ(loaded.bar, c.bar) << c.dataSize;
        EXPECT_TRUE(std::equal(file.begin() + 512, file.end(), loaded.buffer.begin()));
        EXPECT_EQ(loaded.buffer[c.dataSize], kUntouched); // nothing written past the data

        const auto details =
            ScanLoadedImage(source, {.HeaderSize = 512}, loaded.image, loaded.buffer);
        ASSERT_TRUE(details);
        EXPECT_EQ(details->file.digests.sha1, WholeScan(file, 512).file.digests.sha1);
        EXPECT_EQ(details->data.size, c.dataSize);
    }
}

// A source whose file lost its tail after it was opened.
class ShrunkSource : public ByteSource {
public:
    ShrunkSource(const Bytes& bytes, std::size_t kept) : bytes_(bytes), kept_(kept) {}
    std::uint64_t Size() const override { return bytes_.size(); }
    std::size_t ReadAt(std::uint64_t position, std::span<std::uint8_t> buffer) override {
        return MemorySource(std::span(bytes_).first(kept_)).ReadAt(position, buffer);
    }
    std::string Name() const override { return "shrunk.sfc"; }

private:
    const Bytes& bytes_;
    std::size_t kept_;
};

TEST(Loader, AnImagePastTheBufferIsReadOnForTheDetailsAndAFailedReadEndsTheLoad) {
    const Bytes file = MakeRomData(5 * 1048576 + 3, 8);
    MemorySource source(file);
    const Loaded loaded = Load(source, 0);
    EXPECT_EQ(loaded.image.loaded, static_cast<std::int32_t>(kRomBufferSize));
    EXPECT_TRUE(loaded.image.Longer());
    EXPECT_TRUE(std::equal(loaded.buffer.begin(), loaded.buffer.end(), file.begin()));
    // The bar counts all of the data: it stops short of the end, where the buffer does.
    ASSERT_EQ(loaded.bar.size(), kRomBufferSize / 512 + 1);
    EXPECT_EQ(loaded.bar.back(), 8192 * 51200 / static_cast<std::int64_t>(file.size()));
    EXPECT_TRUE(std::is_sorted(loaded.bar.begin(), loaded.bar.end()));

    const auto details = ScanLoadedImage(source, {}, loaded.image, loaded.buffer);
    ASSERT_TRUE(details);
    const ImageDetails whole = WholeScan(file, 0);
    EXPECT_EQ(details->file.digests.sha256, whole.file.digests.sha256);
    EXPECT_EQ(details->checksum.computed, whole.checksum.computed);
    // A file that shrank past the buffer fails the details as it would fail the load, which
    // says so; a read that fails ends the load with the system's reason.
    ShrunkSource shrunk(file, 5000000);
    EXPECT_THROW(ScanLoadedImage(shrunk, {}, loaded.image, loaded.buffer), EReadFailure);
    ShrunkSource cut(file, 300000);
    EXPECT_EQ(MessageOf([&] { Load(cut, 0); }),
              "Cannot read file shrunk.sfc: it ended after 300000 of its 5242883 bytes, so it "
              "changed while it was read");
    FailingSource failing(source, 1000);
    EXPECT_THROW(Load(failing, 0), EReadFailure);

    // Past the 2 GiB that the bar's 32-bit arithmetic could count, in 64 bits.
    SparseSource huge(std::uint64_t{3} << 30);
    EXPECT_EQ(Load(huge, 0).bar.back(), 8192 * 51200 / (std::int64_t{3} << 30));
}

TEST(Loader, DetailsComputeOnAThreadOfTheirOwnAndAStopMeansNoAnswer) {
    const Bytes file = Concatenate(SuperWildCardHeader(0, 0), MakeRomData(6 * 1048576, 4));
    MemorySource whole(file);
    const Loaded loaded = Load(whole, 512);

    std::stop_source stop;
    stop.request_stop();
    EXPECT_FALSE(
        ScanLoadedImage(whole, {.HeaderSize = 512}, loaded.image, loaded.buffer, stop.get_token()));

    std::promise<std::pair<DetailsComputation::Outcome, std::thread::id>> arrived;
    DetailsComputation computation(
        std::make_unique<MemorySource>(file), {.HeaderSize = 512}, loaded.image, loaded.buffer,
        [&](DetailsComputation::Outcome outcome) {
            arrived.set_value({std::move(outcome), std::this_thread::get_id()});
        });
    const auto [outcome, thread] = arrived.get_future().get();
    ASSERT_TRUE(outcome.details) << outcome.problem;
    EXPECT_EQ(outcome.details->data.digests.md5, WholeScan(file, 512).data.digests.md5);
    EXPECT_NE(thread, std::this_thread::get_id());
}

} // namespace
} // namespace quillet
