// Writes the small seed corpora the library fuzzers start from.
#include "tests/support/LibraryBytes.h"

#include <filesystem>
#include <fstream>
#include <iostream>

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
    return 0;
}
