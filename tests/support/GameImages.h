// What several tests build and run the same way: a game whose header the analysis scores in
// full, a file's digests, a DAT's line for a game, the scanner fed in chunks, and quillet-fix on
// one image in a fresh folder.
#pragma once

#include "rom/Digests.h"
#include "rom/ImageScanner.h"
#include "tests/support/TempFolder.h"
#include "tests/support/ToolRuns.h"
#include "tools/RomImageBuilder.h"

#include <algorithm>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quillet::testing {

// A LoROM or HiROM game of `size` bytes with `header` at `area`, a reset vector pointing at SEI
// and a right checksum.
inline std::vector<std::uint8_t> ScoredGame(std::size_t size, std::size_t area,
                                            const samples::InternalHeader& header,
                                            std::uint32_t seed) {
    std::vector<std::uint8_t> rom = samples::MakeRomData(size, seed);
    samples::WriteInternalHeader(rom, area, header);
    samples::WriteResetVector(rom, area, 0x8000, area == samples::kLoRomArea ? 0 : 0x8000, 0x78);
    samples::FixChecksum(rom, area);
    return rom;
}

inline Digests DigestsOf(std::span<const std::uint8_t> bytes) {
    DigestSet set;
    set.Update(bytes);
    return set.Finish();
}

// A 1 Mbit LoROM game titled "GAME <seed>".
inline std::vector<std::uint8_t> GameImage(std::uint32_t seed) {
    return ScoredGame(131072, samples::kLoRomArea, {.title = "GAME " + std::to_string(seed)}, seed);
}

// A game of one ROM in clrmamepro text. `game` and `rom` go in quotes as they are, escapes and
// all; `more` are further fields of the ROM.
inline std::string DatGame(const std::string& game, const std::string& rom,
                           std::span<const std::uint8_t> data, const std::string& more = "") {
    return "game ( name \"" + game + "\" rom ( name \"" + rom + "\" size " +
           std::to_string(data.size()) + " sha1 " + DigestsOf(data).sha1 + more + " ) )\n";
}

// The scanner's details of `file`, fed `chunk` bytes at a time.
inline ImageDetails ScanInChunks(std::span<const std::uint8_t> file, std::size_t dataOffset = 0,
                                 std::size_t chunk = 1 << 20, const SNESImageInfo& info = {}) {
    ImageScanner scanner(file.size(), dataOffset);
    for (std::size_t at = 0; at < file.size(); at += chunk)
        scanner.Feed(file.subspan(at, std::min(chunk, file.size() - at)));
    return scanner.Finish(info);
}

// quillet-fix with `options` on `image` saved as in.sfc, then either --in-place or -o out.sfc.
struct FixedFile {
    std::string in; // the input's path, which the tool's lines start with
    ToolRun run;
    std::optional<std::vector<std::uint8_t>> written; // out.sfc, if the tool wrote it
    std::vector<std::uint8_t> left;                   // in.sfc after the run
};

inline FixedFile FixOneFile(const std::vector<std::uint8_t>& image,
                            std::vector<std::string> options, bool inPlace = false) {
    TempFolder folder;
    FixedFile fixed{folder.Write("in.sfc", image), {}, std::nullopt, {}};
    const std::filesystem::path out = folder.Path() / "out.sfc";
    if (inPlace)
        options.insert(options.end(), {"--in-place", fixed.in});
    else
        options.insert(options.end(), {fixed.in, "-o", out.string()});
    fixed.run = Fix(options);
    if (std::filesystem::exists(out))
        fixed.written = ReadAll(out);
    fixed.left = ReadAll(fixed.in);
    return fixed;
}

} // namespace quillet::testing
