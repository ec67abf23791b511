// Repairs of arbitrary bytes, the first byte choosing which: each is refused with a reason or
// gives an image that reads back as repaired, and a second checksum repair changes nothing.
// De-interleaving, interleaving and trimming come in from the byte's upper bits.
#include "base/ByteSource.h"
#include "base/TextSink.h"
#include "rom/ImageRepair.h"
#include "rom/RomAnalysis.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>

using namespace quillet;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const RepairRequest request{.stripCopierHeader = (data[0] & 1) != 0,
                                .fillChecksum = (data[0] & 2) != 0,
                                .addSwcHeader = (data[0] & 4) != 0,
                                .deinterleave = (data[0] & 8) != 0,
                                .interleave = (data[0] & 16) != 0,
                                .trim = (data[0] & 32) != 0};
    const std::span<const std::uint8_t> image(data + 1, size - 1);
    RepairResult result;
    try {
        result = RepairImage(image, request);
    } catch (const ERepairRefused& refusal) {
        if (refusal.Message().empty())
            std::abort();
        return 0;
    }
    if (result.changed == std::ranges::equal(result.image, image))
        std::abort();
    if (request.stripCopierHeader && !request.addSwcHeader &&
        (!result.stripped || result.image.size() + result.stripped->size != image.size()))
        std::abort();
    if (request.addSwcHeader) {
        SNESImageInfo info;
        NullSink log;
        MemorySource source(result.image);
        AnalyseRomImage(source, info, log);
        if (info.FileFormat != kFormatSwc || info.SwcSramMode21 != info.HiRom)
            std::abort();
    }
    // Reordering keeps every byte, a trim keeps fewer.
    const bool headers = request.stripCopierHeader || request.addSwcHeader;
    if (!headers && !request.trim && result.image.size() != image.size())
        std::abort();
    if (!headers && request.trim && result.image.size() >= image.size())
        std::abort();
    // Interleaved data refuses a checksum of its own.
    if (request.fillChecksum && !request.interleave &&
        RepairImage(result.image, {.fillChecksum = true}).changed)
        std::abort();
    return 0;
}
