// Games for tests of DAT matching: images that analyse cleanly, and clrmamepro text that lists
// them by size and SHA-1.
#pragma once

#include "rom/Digests.h"
#include "tools/RomImageBuilder.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quillet::testing {

// A LoROM image titled "GAME <seed>", with a checksum that adds up.
inline std::vector<std::uint8_t> GameImage(std::uint32_t seed, std::size_t size = 131072) {
    std::vector<std::uint8_t> rom = samples::MakeRomData(size, seed);
    samples::WriteInternalHeader(rom, samples::kLoRomArea,
                                 {.title = "GAME " + std::to_string(seed)});
    samples::FixChecksum(rom, samples::kLoRomArea);
    return rom;
}

inline std::string DataSha1(std::span<const std::uint8_t> data) {
    DigestSet digests;
    digests.Update(data);
    return digests.Finish().sha1;
}

// A game of one ROM in clrmamepro text. `game` and `rom` go in quotes as they are, escapes and
// all; `more` are further fields of the ROM.
inline std::string DatGame(const std::string& game, const std::string& rom,
                           std::span<const std::uint8_t> data, const std::string& more = "") {
    return "game ( name \"" + game + "\" rom ( name \"" + rom + "\" size " +
           std::to_string(data.size()) + " sha1 " + DataSha1(data) + more + " ) )\n";
}

} // namespace quillet::testing
