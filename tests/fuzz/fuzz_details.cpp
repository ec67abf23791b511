// Feeds arbitrary bytes to the image scanner, in chunks of a size the input picks, and to the
// DAT reader as a document.
#include "dat/DatFile.h"
#include "rom/ImageScanner.h"

#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

using namespace quillet;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    // The first byte picks the chunk size and whether a copier header comes first.
    const std::span<const std::uint8_t> file(data + 1, size - 1);
    const std::size_t chunk = 1 + data[0] % 64 * 97;
    const std::uint64_t headerSize = (data[0] & 0x80) != 0 ? 512 : 0;
    ImageScanner scanner(file.size(), headerSize);
    for (std::size_t at = 0; at < file.size(); at += chunk)
        scanner.Feed(file.subspan(at, std::min(chunk, file.size() - at)));
    const ImageDetails details = scanner.Finish({});
    if (details.data.offset + details.data.size != file.size() ||
        details.checksum.diagnosis.empty() || details.checksum.explanation.empty() ||
        details.file.digests.sha256.size() != 64)
        std::abort();
    for (const int score : details.opinion.scores) {
        if (score < 0 || score > kBestScore)
            std::abort();
    }

    DatCollection dats;
    try {
        dats.LoadDocument("fuzz.dat", std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const EDatError&) {
        return 0; // a clear error is the right answer to most of these
    }
    for (const DatRom& rom : dats.Roms()) {
        if ((!rom.sha1.empty() && rom.sha1.size() != 40) ||
            (!rom.crc32.empty() && rom.crc32.size() != 8))
            std::abort();
    }
    return 0;
}
