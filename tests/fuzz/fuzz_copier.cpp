// Copier headers and interleaved data in arbitrary bytes: what the details find agrees with
// itself and with the steps that undo it, and interleaving is undone exactly.
#include "rom/CopierFormats.h"
#include "rom/Digests.h"
#include "rom/ImageScanner.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>

using namespace quillet;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    // The first byte picks the analysis' header size and the chunk size.
    const std::span<const std::uint8_t> file(data + 1, size - 1);
    const std::uint64_t analysisHeader = (data[0] & 1) != 0 ? 512 : 0;
    const std::size_t chunk = 1 + std::size_t{data[0]} / 2 * 257;
    ImageScanner scanner(file.size(), analysisHeader);
    for (std::size_t at = 0; at < file.size(); at += chunk)
        scanner.Feed(file.subspan(at, std::min(chunk, file.size() - at)));
    const ImageDetails details = scanner.Finish({});

    const std::uint64_t offset = details.data.offset;
    if (offset + details.data.size != file.size() || details.copier.has_value() != (offset > 0))
        std::abort();
    if (offset != std::min<std::uint64_t>(analysisHeader, file.size()) &&
        offset != file.size() % 32768)
        std::abort();
    const auto stored = file.subspan(static_cast<std::size_t>(offset));
    if (details.copier &&
        (details.copier->size != offset ||
         details.copier->format != IdentifyCopierHeader(file.first(stored.data() - file.data()))))
        std::abort();

    if (details.interleaved != details.deinterleaved.has_value())
        std::abort();
    if (details.interleaved) {
        if (!CanInterleave(stored.size()) || details.opinion.place != HeaderPlace::HiRom ||
            !details.cartridge)
            std::abort();
        DigestSet inOrder;
        inOrder.Update(Deinterleave(stored));
        if (inOrder.Finish() != *details.deinterleaved)
            std::abort();
    }

    // Whole banks of the bytes, interleaved and back, byte for byte where the offsets say.
    const std::size_t banks = file.size() / kInterleaveBank * kInterleaveBank;
    if (banks > 0) {
        const auto whole = file.first(banks);
        const std::vector<std::uint8_t> interleaved = Interleave(whole);
        if (!std::ranges::equal(Deinterleave(interleaved), whole))
            std::abort();
        for (std::size_t at = data[0]; at < banks; at += 4093) {
            if (interleaved[InterleavedOffset(at, banks)] != whole[at])
                std::abort();
        }
    }
    return 0;
}
