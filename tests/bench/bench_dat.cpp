// Times loading a 5,000-game DAT file in each format, from memory and from a file, and prints
// each against a plain pass over the same bytes (counting line ends), measured in the same run.
// The processor time is printed too: on a machine shared with other work the wall time
// says more about the neighbours than about the reader.
#include "dat/DatFile.h"
#include "tests/bench/Timing.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace quillet;

constexpr int kGames = 5000;
constexpr int kRounds = 15;

// Hexadecimal digits, upper-case as No-Intro writes them, different for each game and field.
std::string Hex(std::uint64_t seed, std::size_t digits) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text(digits, '0');
    for (char& c : text) {
        seed = seed * 6364136223846793005u + 1442695040888963407u;
        c = kDigits[(seed >> 60) & 15];
    }
    return text;
}

struct Game {
    std::string name, crc, md5, sha1, sha256;
    std::uint64_t size;
};

Game MakeGame(int i) {
    const auto seed = static_cast<std::uint64_t>(i);
    static constexpr const char* kRegions[] = {"USA", "Japan", "Europe", "France, Germany"};
    return {"Bench Game " + std::to_string(i) + " - The Quest (" + kRegions[i % 4] + ") (Rev " +
                std::to_string(i % 3) + ")",
            Hex(seed * 4 + 1, 8),
            Hex(seed * 4 + 2, 32),
            Hex(seed * 4 + 3, 40),
            Hex(seed * 4 + 4, 64),
            static_cast<std::uint64_t>(524288) << (i % 4)};
}

std::string Clrmamepro() {
    std::string text = "clrmamepro (\n\tname \"Nintendo - Super Nintendo Entertainment System\"\n"
                       "\tdescription \"Nintendo - Super Nintendo Entertainment System\"\n"
                       "\tversion \"20240101-000000\"\n\thomepage \"No-Intro\"\n)\n\n";
    for (int i = 0; i < kGames; ++i) {
        const Game g = MakeGame(i);
        text += "game (\n\tname \"" + g.name + "\"\n\tdescription \"" + g.name +
                "\"\n\tregion \"USA\"\n\tserial \"SNS-" + std::to_string(i) +
                "\"\n\trom ( name \"" + g.name + ".sfc\" size " + std::to_string(g.size) + " crc " +
                g.crc + " md5 " + g.md5 + " sha1 " + g.sha1 + " sha256 " + g.sha256 + " )\n)\n\n";
    }
    return text;
}

std::string LogiqxXml() {
    std::string text = "<?xml version=\"1.0\"?>\n<!DOCTYPE datafile PUBLIC \"-//Logiqx//DTD ROM "
                       "Management Datafile//EN\" \"http://www.logiqx.com/Dats/datafile.dtd\">\n"
                       "<datafile>\n\t<header>\n\t\t<name>Nintendo - Super Nintendo Entertainment "
                       "System</name>\n\t</header>\n";
    for (int i = 0; i < kGames; ++i) {
        const Game g = MakeGame(i);
        text += "\t<game name=\"" + g.name + "\">\n\t\t<description>" + g.name +
                "</description>\n\t\t<rom name=\"" + g.name + ".sfc\" size=\"" +
                std::to_string(g.size) + "\" crc=\"" + g.crc + "\" md5=\"" + g.md5 + "\" sha1=\"" +
                g.sha1 + "\" sha256=\"" + g.sha256 + "\"/>\n\t</game>\n";
    }
    return text + "</datafile>\n";
}

// The median processor time of `rounds` runs of `work`.
template <typename Work> double MedianCpuSeconds(int rounds, Work work) {
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        const std::clock_t start = std::clock();
        work();
        times.push_back(static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC);
    }
    return bench::Median(std::move(times));
}

void Measure(const char* format, const std::string& document, const std::filesystem::path& file) {
    {
        std::ofstream out(file, std::ios::binary);
        out.write(document.data(), static_cast<std::streamsize>(document.size()));
    }
    std::size_t lines = 0;
    const double scan = bench::MedianSeconds(kRounds, [&] {
        lines += static_cast<std::size_t>(std::count(document.begin(), document.end(), '\n'));
    });
    std::size_t roms = 0;
    const double memory = bench::MedianSeconds(kRounds, [&] {
        DatCollection dats;
        dats.LoadDocument("bench.dat", document);
        roms = dats.Roms().size();
    });
    const double disk = bench::MedianSeconds(kRounds, [&] {
        DatCollection dats;
        dats.Load(file.string());
    });
    const double cpu = MedianCpuSeconds(kRounds, [&] {
        DatCollection dats;
        dats.Load(file.string());
    });
    std::printf("%-10s %d games (%zu ROMs), %.2f MB: from memory %.1f ms, from the file %.1f ms "
                "(processor time %.1f ms); %.0f times a plain pass over the bytes (%.2f ms)\n",
                format, kGames, roms, static_cast<double>(document.size()) / 1e6, memory * 1e3,
                disk * 1e3, cpu * 1e3, memory / scan, scan * 1e3);
    if (lines == 0)
        std::printf("(no lines?)\n");
}

} // namespace

int main() {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / "quillet-bench-dat";
    std::filesystem::create_directories(folder);
    const std::string text = Clrmamepro();
    const std::string xml = LogiqxXml();
    Measure("clrmamepro", text, folder / "text.dat");
    Measure("Logiqx XML", xml, folder / "xml.dat");
    std::filesystem::remove_all(folder);
    return 0;
}
