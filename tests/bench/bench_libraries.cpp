// Times loading a 4 MiB image library and a 4 MiB sound library from memory against a plain
// copy of the same bytes into fresh memory, in the same run, and prints the ratios.
#include "gamelib/MxILib.h"
#include "gamelib/mxslib.h"
#include "tests/bench/Timing.h"
#include "tests/support/LibraryBytes.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using namespace quillet;

constexpr int kRepeats = 41;
constexpr int kItems = 64;
constexpr int kItemBytes = 65536; // 64 items of 64 KiB: 4 MiB of pixels or samples

template <typename Work> double MedianSeconds(Work work) {
    return bench::MedianSeconds(kRepeats, work);
}

double CopySeconds(const testing::Bytes& bytes) {
    volatile std::uint8_t sink = 0;
    return MedianSeconds([&] {
        auto copy = std::make_unique_for_overwrite<std::uint8_t[]>(bytes.size());
        std::memcpy(copy.get(), bytes.data(), bytes.size());
        sink = static_cast<std::uint8_t>(sink + copy[bytes.size() / 2]);
    });
}

template <typename List> double LoadSeconds(const testing::Bytes& bytes) {
    TMemoryStream stream(bytes);
    List list;
    return MedianSeconds([&] {
        stream.SetPosition(0);
        list.LoadFromStream(stream);
    });
}

void Report(const char* what, double load, double copy) {
    std::printf("%-14s load %.3f ms, plain copy %.3f ms, ratio %.2f (target at most 2)\n", what,
                load * 1000, copy * 1000, load / copy);
}

} // namespace

int main() {
    const testing::Bytes images = testing::ImageLibrary(
        "IL10", std::vector<testing::ImageSpec>(kItems, {256, 256, kItemBytes}));
    const testing::Bytes sounds = testing::SoundLibrary(
        "SL10", std::vector<testing::SoundSpec>(kItems, {kItemBytes, kItemBytes}));
    std::printf("image library %zu bytes, sound library %zu bytes, medians of %d runs\n",
                images.size(), sounds.size(), kRepeats);
    Report("image library", LoadSeconds<TMxImages>(images), CopySeconds(images));
    Report("sound library", LoadSeconds<TMxSounds>(sounds), CopySeconds(sounds));
    return 0;
}
