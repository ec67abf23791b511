// Writes sample cartridge images: the demo image a new user can open at once, and a gallery
// with one image of each kind the analysis tells apart.
#include "tools/RomImageBuilder.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

namespace {

using namespace quillet::samples;
using Bytes = std::vector<std::uint8_t>;

bool WriteFile(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::cerr << "make-sample: cannot write " << path.string() << '\n';
        return false;
    }
    return true;
}

Bytes HeaderedLoRom(const Bytes& copierHeader, std::size_t romBytes, const InternalHeader& header) {
    Bytes rom = MakeRomData(romBytes, static_cast<std::uint32_t>(romBytes + header.title.size()));
    WriteInternalHeader(rom, kLoRomArea, header);
    FixChecksum(rom, kLoRomArea);
    return Concatenate(copierHeader, rom);
}

bool WriteGallery(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    bool ok = WriteFile(folder / "demo.smc", DemoImage());

    InternalHeader lo{.title = "RAW LOROM SAMPLE", .cartridgeType = 0x00, .romSizeCode = 0x09};
    ok &= WriteFile(folder / "raw-lorom.sfc", HeaderedLoRom({}, 4 * 131072, lo));

    Bytes hi = MakeRomData(16 * 131072, 7);
    WriteInternalHeader(hi, kHiRomArea,
                        {.title = "HIROM FIG SAMPLE",
                         .makeup = 0x21,
                         .cartridgeType = 0x05,
                         .romSizeCode = 0x0B,
                         .sramSizeCode = 0x03,
                         .country = 0x02,
                         .licensee = 0xB4,
                         .version = 0x02});
    FixChecksum(hi, kHiRomArea);
    ok &= WriteFile(folder / "hirom.fig", Concatenate(ProFighterHeader(256, true), hi));

    InternalHeader dsp{.title = "UNKNOWN COPIER",
                       .makeup = 0x21,
                       .cartridgeType = 0x03,
                       .romSizeCode = 0x08,
                       .country = 0x0E,
                       .licensee = 0x02,
                       .version = 0x10};
    ok &= WriteFile(folder / "unknown.078", HeaderedLoRom(UnknownCopierHeader(), 131072, dsp));

    // Both areas look valid: nothing but the size can decide.
    Bytes both = MakeRomData(3 * 1048576, 11);
    WriteInternalHeader(both, kLoRomArea, {.title = "AMBIGUOUS", .cartridgeType = 0x07});
    MarkAreaValid(both, kLoRomArea, 0x1234);
    MarkAreaValid(both, kHiRomArea, 0x4321);
    ok &= WriteFile(folder / "ambiguous.swc", Concatenate(SuperWildCardHeader(384, 0xB0), both));

    // A Super FX game of a later year: its licensee is in the extended header.
    Bytes fx = MakeRomData(8 * 131072, 13);
    WriteInternalHeader(fx, kLoRomArea,
                        {.title = "FX SAMPLE",
                         .makeup = 0x20,
                         .cartridgeType = 0x1A,
                         .romSizeCode = 0x0A,
                         .sramSizeCode = 0x05,
                         .country = 0x0F,
                         .licensee = 0x33});
    WriteExtendedHeader(fx, kLoRomArea, {.makerCode = "01", .gameCode = "AQFE", .subType = 0});
    WriteResetVector(fx, kLoRomArea, 0x8000, 0x0000, 0x78);
    FixChecksum(fx, kLoRomArea);
    ok &= WriteFile(folder / "superfx.sfc", fx);

    // What a homebrew assembler leaves: no checksum, the rest right.
    Bytes homebrew = MakeRomData(4 * 131072, 17);
    WriteInternalHeader(homebrew, kLoRomArea,
                        {.title = "HOMEBREW", .makeup = 0x20, .romSizeCode = 0x09, .licensee = 0});
    WriteResetVector(homebrew, kLoRomArea, 0x8000, 0x0000, 0x78);
    ok &= WriteFile(folder / "homebrew.sfc", homebrew);

    // 48 megabits in the ExHiROM map, and a 4-megabit game dumped twice over.
    Bytes ex = MakeRomData(6 * 1048576, 19);
    WriteInternalHeader(
        ex, kExHiRomArea,
        {.title = "EXHIROM SAMPLE", .makeup = 0x35, .romSizeCode = 0x0D, .licensee = 0x01});
    WriteResetVector(ex, kExHiRomArea, 0xFF00, 0x40FF00, 0x18);
    FixChecksum(ex, kExHiRomArea);
    ok &= WriteFile(folder / "exhirom.sfc", ex);

    Bytes over = MakeRomData(4 * 131072, 23);
    WriteInternalHeader(over, kLoRomArea,
                        {.title = "OVERDUMP", .romSizeCode = 0x09, .licensee = 0x01});
    FixChecksum(over, kLoRomArea);
    const Bytes once = over;
    over.insert(over.end(), once.begin(), once.end());
    ok &= WriteFile(folder / "overdump.sfc", over);

    // A Game Doctor SF3 header, which the analysis does not know, and a HiROM game stored
    // interleaved: the upper halves of its banks first.
    InternalHeader doctor{.title = "GAME DOCTOR SAMPLE", .romSizeCode = 0x09, .licensee = 0x01};
    ok &=
        WriteFile(folder / "gamedoctor.078", HeaderedLoRom(GameDoctorHeader(), 4 * 131072, doctor));
    Bytes woven = MakeRomData(8 * 131072, 29);
    WriteInternalHeader(
        woven, kHiRomArea,
        {.title = "INTERLEAVED SAMPLE", .makeup = 0x31, .romSizeCode = 0x0A, .licensee = 0x01});
    WriteResetVector(woven, kHiRomArea, 0x8000, 0x8000, 0x78);
    FixChecksum(woven, kHiRomArea);
    ok &= WriteFile(folder / "interleaved.sfc", InterleavedCopy(woven));

    // Random bytes of a size no dump has.
    ok &= WriteFile(folder / "garbage.bin", MakeRomData(5 * 8192 + 100, 3));
    ok &= WriteFile(folder / "tiny.bin", MakeRomData(600, 5));
    ok &= WriteFile(folder / "empty.sfc", {});
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc == 3 ? argv[1] : "";
    if (mode == "demo")
        return WriteFile(argv[2], DemoImage()) ? 0 : 1;
    if (mode == "gallery")
        return WriteGallery(argv[2]) ? 0 : 1;
    std::cerr << "Usage: make-sample demo FILE\n"
                 "       make-sample gallery FOLDER\n";
    return 2;
}
