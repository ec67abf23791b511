// What both DAT readers share: a ROM's fields as the file gives them, checked and turned into
// a DatRom once its game is known.
#pragma once

#include "dat/DatFile.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillet {

// Thrown while a document is read; the caller adds the file's name and its format.
struct DatProblem {
    std::uint64_t line = 0; // 0 when no line can be told
    std::string reason;
};

struct DatField {
    std::string value;
    std::uint64_t line = 0;
};

struct RawRom {
    std::uint64_t line = 0; // where the ROM starts
    std::string name;
    std::optional<DatField> size;
    std::optional<DatField> crc;
    std::optional<DatField> sha1;
    std::optional<DatField> sha256;
    bool badDump = false;
};

// Checks the hashes and the size; throws DatProblem at the line of a malformed one.
DatRom MakeRom(const RawRom& raw, const std::string& game);

// The ROMs of a clrmamepro text document, in order. Throws DatProblem.
std::vector<DatRom> ReadClrmameproRoms(std::string_view document);

} // namespace quillet
