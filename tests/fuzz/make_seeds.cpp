// Writes the small seed corpora the library fuzzers start from.
#include "tests/support/LibraryBytes.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

namespace {

void Write(const std::filesystem::path& path, const quillet::testing::Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_seeds FOLDER\n";
        return 2;
    }
    namespace fs = std::filesystem;
    using namespace quillet::testing;
    const fs::path images = fs::path(argv[1]) / "images";
    const fs::path sounds = fs::path(argv[1]) / "sounds";
    fs::create_directories(images);
    fs::create_directories(sounds);
    Write(images / "empty.iml", ImageLibrary("IL10", {}));
    Write(images / "three.iml", ImageLibrary("il10", {{5, 3, 24}, {0, 2, 0}, {4, 1, 4}}));
    Write(images / "short.iml", ImageLibrary("IL10", {{4, 4, 10}}));
    Write(sounds / "empty.sdl", SoundLibrary("SL10", {}));
    Write(sounds / "three.sdl", SoundLibrary("sl10", {{5, 5, -100, -200}, {0, 0}, {3, 3}}));
    Write(sounds / "short.sdl", SoundLibrary("SL10", {{9, 4}}));

    // The details fuzzer: a control byte, then a LoROM image just long enough for its header;
    // and a DAT document.
    const fs::path details = fs::path(argv[1]) / "details";
    fs::create_directories(details);
    Bytes image(1 + 0x8000, 0xEA);
    image[0] = 0x05;
    const char title[] = "SEED GAME            ";
    std::copy(title, title + 21, image.begin() + 1 + 0x7FC0);
    const std::uint8_t fields[] = {0x20, 0x02, 0x08, 0x01, 0x01, 0x33,
                                   0x00, 0x34, 0x12, 0xCB, 0xED};
    std::copy(std::begin(fields), std::end(fields), image.begin() + 1 + 0x7FD5);
    image[1 + 0x7FFC] = 0x00;
    image[1 + 0x7FFD] = 0x80;
    image[1] = 0x78;
    Write(details / "lorom.bin", image);
    const std::string dat = "<?xml version=\"1.0\"?>\n<datafile><game name=\"A &amp; B\">"
                            "<rom name=\"a.sfc\" size=\"32768\" crc=\"0badf00d\" sha1=\""
                            "0123456789abcdef0123456789abcdef01234567\"/></game></datafile>\n";
    Write(details / "game.dat", Bytes(dat.begin(), dat.end()));
    // Nesting deeper than a recursive walk of the tree survives under the sanitizers, within
    // the fuzzer's -max_len.
    std::string deep = "<datafile>";
    for (int i = 0; i < 19000; ++i)
        deep += "<a>";
    for (int i = 0; i < 19000; ++i)
        deep += "</a>";
    deep += "</datafile>";
    Write(details / "deep.dat", Bytes(deep.begin(), deep.end()));
    // The other DAT format, which is not XML.
    const std::string text = "clrmamepro (\n\tname \"Seed\"\n)\n\ngame (\n\tname \"A\"\n\trom ( "
                             "name \"a.sfc\" size 32768 crc 0BADF00D )\n)\n";
    Write(details / "clrmamepro.dat", Bytes(text.begin(), text.end()));

    // The text reader's own seeds: the layout RetroArch ships, and one with every oddity the
    // format allows.
    const fs::path datText = fs::path(argv[1]) / "dat-text";
    fs::create_directories(datText);
    const std::string libretro =
        "clrmamepro (\n\tname \"Nintendo - Super Nintendo Entertainment System\"\n\tversion "
        "\"20240101\"\n)\n\ngame (\n\tname \"A (USA)\"\n\tregion \"USA\"\n\tserial \"SNS-A\"\n"
        "\trom ( name \"A (USA).sfc\" size 524288 crc B19ED489 md5 "
        "CDD3C8C37322978CA8669B34BC89C804 sha1 6B47BB75D16514B6A476AA0C73A683A2A4C18765 )\n)\n\n"
        "game (\n\tname \"B (Japan) [b]\"\n\trom ( name \"B.sfc\" size 1024 crc 0000abcd sha1 "
        "1111111111111111111111111111111111111111 sha256 "
        "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA flags baddump )\n)\n";
    Write(datText / "libretro.dat", Bytes(libretro.begin(), libretro.end()));
    const std::string odd =
        "resource(name bios rom(name b size 1 crc 2))\r\nmachine ( driver ( status good ( x ) ) "
        "rom ( sha1 2222222222222222222222222222222222222222 name \"a \\\"q\\\" \\\\ \\x\" size 16 "
        "crc 1f ) name \"M\" year 1990 )\n";
    Write(datText / "odd.dat", Bytes(odd.begin(), odd.end()));
    // The copier fuzzer: a control byte, then interleaved HiROM data of two banks, whose header
    // lies at 0x7FC0 and its reset code at the start, behind a Game Doctor header and behind
    // 1024 bytes.
    const fs::path copier = fs::path(argv[1]) / "copier";
    fs::create_directories(copier);
    Bytes interleaved(0x20000, 0xEA);
    std::copy(title, title + 21, interleaved.begin() + 0x7FC0);
    std::copy(std::begin(fields), std::end(fields), interleaved.begin() + 0x7FD5);
    interleaved[0x7FD5] = 0x21; // HiROM
    interleaved[0x7FFC] = 0x00;
    interleaved[0x7FFD] = 0x80;
    interleaved[0] = 0x78;
    const std::string doctor = "GAME DOCTOR SF 3";
    Bytes headered(1 + 512, 0);
    headered[0] = 0x01; // the analysis' 512 bytes
    std::copy(doctor.begin(), doctor.end(), headered.begin() + 1);
    headered.insert(headered.end(), interleaved.begin(), interleaved.end());
    Write(copier / "gamedoctor.bin", headered);
    Bytes oddHeader(1 + 1024, 0x55);
    oddHeader[0] = 0x00;
    oddHeader.insert(oddHeader.end(), interleaved.begin(), interleaved.end());
    Write(copier / "odd-header.bin", oddHeader);
    return 0;
}
