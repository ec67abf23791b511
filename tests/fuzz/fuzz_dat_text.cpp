// Feeds arbitrary bytes to the clrmamepro text reader, whatever they start with, and through the
// collection, which must tell the format and either take every ROM or none.
#include "dat/DatFile.h"
#include "dat/RomFields.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace quillet;

namespace {

void Require(bool condition) {
    if (!condition)
        std::abort();
}

bool LowerHex(const std::string& text, std::size_t size) {
    if (text.empty())
        return true;
    if (text.size() != size)
        return false;
    for (const char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c)) ||
            std::isupper(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view document(reinterpret_cast<const char*>(data), size);
    std::size_t read = 0;
    bool readable = true;
    try {
        for (const DatRom& rom : ReadClrmameproRoms(document)) {
            Require(LowerHex(rom.crc32, 8) && LowerHex(rom.sha1, 40) && LowerHex(rom.sha256, 64));
            ++read;
        }
    } catch (const DatProblem& problem) {
        Require(!problem.reason.empty() && problem.line >= 1);
        readable = false;
    }

    DatCollection dats;
    try {
        dats.LoadDocument("fuzz.dat", document);
    } catch (const EDatError&) {
        Require(dats.Roms().empty() && dats.Sources().empty());
        return 0;
    }
    // Read as text, the collection holds what the reader found.
    if (DetectDatFormat(document) == DatFormat::Clrmamepro)
        Require(readable && dats.Roms().size() == read);
    return 0;
}
