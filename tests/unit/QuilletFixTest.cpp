#include "cli/QuilletFix.h"

#include "base/Utf8.h"
#include "cli/QuilletInfo.h"
#include "tests/support/FailingFileLayer.h"
#include "tests/support/TempFolder.h"
#include "tests/support/ToolRuns.h"
#include "tools/RomImageBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <utility>

namespace quillet {
namespace {

using testing::Fix;
using testing::ToolRun;

namespace fs = std::filesystem;
using namespace samples;
using Bytes = std::vector<std::uint8_t>;
using testing::FailingFileLayer;
using testing::TempFolder;
using testing::WriteStep;

// What quillet-info says of a file, as one JSON line with details and verification.
std::string InfoJson(const std::string& path) {
    std::ostringstream out;
    std::ostringstream err;
    RunQuilletInfo(std::vector<std::string>{"--json", "--verify", "--details", path}, out, err);
    return out.str();
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

using testing::Names;
using testing::ReadAll;

// A homebrew game as its assembler leaves it: everything but the checksum.
Bytes Homebrew(std::size_t size = 256 * 1024, std::size_t area = kLoRomArea,
               std::uint8_t makeup = 0x20) {
    Bytes rom = MakeRomData(size, 31);
    WriteInternalHeader(
        rom, area, {.title = "HOMEBREW", .makeup = makeup, .romSizeCode = 0x08, .licensee = 0});
    WriteResetVector(rom, area, 0x8000, area == kLoRomArea ? 0 : 0x8000, 0x78);
    return rom;
}

TEST(QuilletFix, CommandLine) {
    const struct {
        std::vector<std::string> arguments;
        int status;
        const char* err;
    } cases[] = {
        {{},
         2,
         "quillet-fix: nothing to do: give --checksum, --strip-header or --add-header swc\n"
         "Try 'quillet-fix --help'.\n"},
        {{"--checksum"}, 2, "quillet-fix: no image file given\n"},
        {{"--checksum", "--colour", "a.sfc"}, 2, "quillet-fix: unknown option --colour\n"},
        {{"--add-header", "fig", "a.sfc"},
         2,
         "quillet-fix: cannot add a header of format 'fig': swc is the one there is\n"},
        {{"a.sfc", "--add-header"}, 2, "quillet-fix: --add-header needs a format: swc\n"},
        {{"--checksum", "a.sfc", "-o"}, 2, "quillet-fix: -o needs the name of the file to write\n"},
        {{"--checksum", "-o", "b.sfc", "--in-place", "a.sfc"},
         2,
         "quillet-fix: -o and --in-place exclude each other\n"},
        {{"--checksum", "--output=b.sfc", "a.sfc", "c.sfc"},
         2,
         "quillet-fix: -o takes one input file; give --in-place to repair several\n"},
        {{"--checksum", "--", "--json"}, 1, "quillet-fix: Cannot open file --json: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.err);
        const ToolRun run = Fix(c.arguments);
        EXPECT_EQ(run.status, c.status);
        EXPECT_TRUE(run.err.starts_with(c.err)) << run.err;
        EXPECT_TRUE(run.out.empty());
    }
    EXPECT_TRUE(Fix({"--help"}).out.starts_with("Usage: quillet-fix [OPTION]... FILE...\n"));
    EXPECT_EQ(Fix({"--version"}).out, "quillet-fix 0.0002\n");
}

TEST(QuilletFix, EachRepairReadsBackThroughQuilletInfo) {
    const struct {
        const char* name;
        Bytes image;
        std::vector<std::string> options;
        std::vector<std::string> said; // lines after "in.sfc: "
        std::vector<std::string> infoSays;
    } cases[] = {
        {"a homebrew checksum",
         Homebrew(),
         {"--checksum"},
         {"set the checksum at 0x007FC0 (LoROM) to 0x"},
         {"\"FileFormat\":\"Unheadered image (Raw copy)\"", "\"ChecksumMatches\":true",
          "\"Diagnosis\":[\"matches\"]", "\"Status\":2,"}},
        {"a Pro Fighter header off",
         Concatenate(ProFighterHeader(32, false), Homebrew()),
         {"--strip-header"},
         {"removed the 512-byte copier header (Profighter (FIG))"},
         {"\"FileFormat\":\"Unheadered image (Raw copy)\"", "\"HeaderSize\":0,",
          "\"Data\":{\"Offset\":0,\"Size\":262144"}},
        {"all three",
         Concatenate(UnknownCopierHeader(), Homebrew(512 * 1024, kHiRomArea, 0x21)),
         {"--add-header=SWC", "--checksum", "--strip-header"},
         {"removed the 512-byte copier header (Unknown 512-header based Image)",
          "set the checksum at 0x00FFC0 (HiROM) to 0x",
          "added a Super Wild Card header: 64 blocks of 8 KiB, mode byte 0x3C (HiROM, mode 21, "
          "no SRAM)",
          "note: The analysis now reads the image as HiROM, not as LoROM."},
         {"\"FileFormat\":\"Super Wild Card (SWC)\"", "\"ChecksumMatches\":true",
          "\"SwcSramMode21\":true,\"SwcDramMode21\":true", "\"Status\":1,"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        const std::string in = folder.Write("in.sfc", c.image);
        const std::string out = (folder.Path() / "out.sfc").string();
        std::vector<std::string> arguments = c.options;
        arguments.insert(arguments.end(), {in, "-o", out});
        const ToolRun run = Fix(arguments);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        std::istringstream lines(run.out);
        std::string line;
        for (const std::string& said : c.said) {
            ASSERT_TRUE(std::getline(lines, line));
            EXPECT_TRUE(line.starts_with(in + ": " + said)) << line;
        }
        ASSERT_TRUE(std::getline(lines, line));
        EXPECT_EQ(line, in + ": wrote " + out);
        EXPECT_FALSE(std::getline(lines, line)) << line;

        EXPECT_EQ(ReadAll(in), c.image);
        const std::string info = InfoJson(out);
        for (const std::string& says : c.infoSays)
            EXPECT_TRUE(Has(info, says)) << says << " in " << info;
    }
}

TEST(QuilletFix, RefusalsExitWith1AndTouchNothing) {
    TempFolder folder;
    const std::string raw = folder.Write("raw.sfc", Homebrew());
    const std::string fig =
        folder.Write("game.fig", Concatenate(ProFighterHeader(32, false), Homebrew()));
    const std::string existing = folder.Write("existing.sfc", {1, 2, 3});
    const std::string huge = (folder.Path() / "huge.sfc").string();
    { std::ofstream{huge}; }
    fs::resize_file(huge, 9 * 1024 * 1024); // sparse: refused before it is read
    const std::string missing = (folder.Path() / "missing.sfc").string();
    const std::string sub = (folder.Path() / "sub").string();
    fs::create_directory(sub);
    const std::vector<std::string> before = Names(folder.Path());

    const struct {
        std::vector<std::string> arguments;
        std::string err;
    } cases[] = {
        {{"--checksum", raw, "-o", existing},
         "quillet-fix: " + existing + " exists; give --force to replace it\n"},
        {{"--checksum", raw, "-o", raw},
         "quillet-fix: " + raw + " exists; give --force to replace it\n"},
        {{"--add-header", "swc", "--in-place", fig},
         "quillet-fix: " + fig +
             ": already has a 512-byte copier header (Profighter (FIG)); give --strip-header as "
             "well to replace it\n"},
        {{"--checksum", "--in-place", huge},
         "quillet-fix: " + huge +
             ": too large: 9437184 bytes of data, more than the 8 MiB a cartridge can hold\n"},
        {{"--checksum", "--in-place", missing}, "quillet-fix: Cannot open file " + missing + ": "},
        {{"--checksum", "--in-place", sub},
         "quillet-fix: Cannot open file " + sub + ": not a regular file\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.err);
        const ToolRun run = Fix(c.arguments);
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(run.err.starts_with(c.err)) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(Names(folder.Path()), before);
    }
    EXPECT_EQ(ReadAll(raw), Homebrew());
    EXPECT_EQ(ReadAll(existing), (Bytes{1, 2, 3}));
}

TEST(QuilletFix, WhereTheResultGoes) {
    TempFolder folder;
    const Bytes image = Homebrew();
    const std::string game = folder.Write("game.sfc", image);
    const std::string other = folder.Write("other.sfc", {9});

    // Neither -o nor --in-place, or a dry run: the changes are only shown.
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--checksum", game},
          std::vector<std::string>{"--dry-run", "--checksum", "--in-place", game},
          std::vector<std::string>{"--dry-run", "--checksum", "-o", other, "--force", game}}) {
        const ToolRun run = Fix(arguments);
        EXPECT_EQ(run.status, 0);
        EXPECT_TRUE(run.out.starts_with(game + ": would set the checksum at 0x007FC0 (LoROM) "
                                               "to 0x"))
            << run.out;
        EXPECT_TRUE(run.out.ends_with(
            arguments[0] == "--dry-run"
                ? game + ": nothing written (--dry-run)\n"
                : game + ": nothing written; give -o FILE or --in-place to write the result\n"));
    }
    // A dry run refuses what the run would.
    EXPECT_EQ(Fix({"--dry-run", "--checksum", "-o", other, game}).status, 1);
    EXPECT_EQ(ReadAll(game), image);
    EXPECT_EQ(ReadAll(other), Bytes{9});

    // -o over an existing file with --force, over the input itself too.
    ToolRun run = Fix({"--checksum", "-o", other, "--force", game});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(ReadAll(game), image);
    const Bytes fixed = ReadAll(other);
    EXPECT_NE(fixed, image);
    run = Fix({"--checksum", "-o", game, "--force", game});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(ReadAll(game), fixed);

    // Run twice, nothing changes the second time; -o still writes its copy.
    run = Fix({"--checksum", "--in-place", other});
    EXPECT_EQ(run.out, other + ": the checksum at 0x007FC0 (LoROM) is right already: 0x" +
                           run.out.substr(run.out.find(": 0x") + 4, 4) + "\n" + other +
                           ": unchanged, nothing to write\n");
    EXPECT_EQ(ReadAll(other), fixed);
    const std::string copy = (folder.Path() / "copy.sfc").string();
    run = Fix({"--checksum", other, "-o", copy});
    EXPECT_TRUE(run.out.ends_with(other + ": wrote " + copy + " (unchanged)\n"));
    EXPECT_EQ(ReadAll(copy), fixed);
    EXPECT_EQ(Names(folder.Path()),
              (std::vector<std::string>{"copy.sfc", "game.sfc", "other.sfc"}));
}

// Names in any script, in a folder named in Japanese: read, repaired, and the result under
// exactly the name given, in place too, where the temporary file takes its name from it.
TEST(QuilletFix, NamesInAnyScriptAreReadAndWrittenAsGiven) {
    TempFolder folder;
    const fs::path roms = folder.Path() / PathFromUtf8("ロム");
    fs::create_directory(roms);
    const Bytes image = Homebrew();
    const std::string pokemon = folder.Write("ロム/Pokémon.smc", image);
    const std::string japan = folder.Write("ロム/テスト (Japan).sfc", image);
    const std::string fixedName = "Pokémon Ñ テスト.fixed.smc";
    const std::string fixed = Utf8FromPath(roms / PathFromUtf8(fixedName));

    ToolRun run = Fix({"--checksum", "-o", fixed, pokemon});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.out.ends_with(pokemon + ": wrote " + fixed + "\n")) << run.out;
    run = Fix({"--checksum", "--in-place", japan});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.out.starts_with(japan + ": set the checksum")) << run.out;

    EXPECT_EQ(Names(roms),
              (std::vector<std::string>{fixedName, "Pokémon.smc", "テスト (Japan).sfc"}));
    EXPECT_EQ(ReadAll(PathFromUtf8(pokemon)), image);
    EXPECT_EQ(ReadAll(PathFromUtf8(japan)), ReadAll(PathFromUtf8(fixed)));
    EXPECT_NE(ReadAll(PathFromUtf8(fixed)), image);
    EXPECT_TRUE(Has(InfoJson(fixed), "\"ChecksumMatches\":true")) << InfoJson(fixed);
}

TEST(QuilletFix, SeveralFilesInPlaceGoOnPastOneThatIsRefused) {
    TempFolder folder;
    const std::string a = folder.Write("a.sfc", Homebrew());
    const std::string b = folder.Write("b.bin", MakeRomData(600));
    const std::string c = folder.Write("c.sfc", Homebrew(512 * 1024, kHiRomArea, 0x21));
    const ToolRun run = Fix({"--checksum", "--in-place", a, b, c});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.starts_with("quillet-fix: " + b + ": no internal header: ")) << run.err;
    EXPECT_TRUE(Has(run.out, a + ": rewritten in place\n"));
    EXPECT_TRUE(Has(run.out, c + ": rewritten in place\n"));
    EXPECT_TRUE(Has(InfoJson(a), "\"ChecksumMatches\":true"));
    EXPECT_TRUE(Has(InfoJson(c), "\"ChecksumMatches\":true"));
    EXPECT_EQ(ReadAll(b), MakeRomData(600));
}

TEST(QuilletFix, AWriteThatFailsSaysSoAndLeavesTheFileAsItWas) {
    TempFolder folder;
    const Bytes image = Homebrew();
    const std::string game = folder.Write("game.sfc", image);
    const std::string out = (folder.Path() / "out.sfc").string();
    for (const WriteStep step : {WriteStep::Write, WriteStep::Flush, WriteStep::Rename}) {
        SCOPED_TRACE(static_cast<int>(step));
        ToolRun run = Fix({"--checksum", "--in-place", game}, step);
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(run.err.ends_with(": injected failure; " + game + " is as it was\n"))
            << run.err;
        EXPECT_EQ(run.out, ""); // nothing claims a change that did not happen
        run = Fix({"--checksum", game, "-o", out}, step);
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(run.err.ends_with(": injected failure; nothing was written\n")) << run.err;
        EXPECT_EQ(ReadAll(game), image);
        EXPECT_EQ(Names(folder.Path()), std::vector<std::string>{"game.sfc"});
    }
}

TEST(QuilletFix, AFailureNobodyExpectedEndsTheRunWithStatus2AndNothingLeftBehind) {
    TempFolder folder;
    const Bytes image = Homebrew();
    const std::string game = folder.Write("game.sfc", image);
    FailingFileLayer files(WriteStep::WriteOutOfMemory);
    std::ostringstream out;
    std::ostringstream err;
    const std::vector<std::string> arguments = {"--checksum", "--in-place", game};
    EXPECT_EQ(
        RunGuarded(err, "quillet-fix", [&] { return RunQuilletFix(arguments, out, err, files); }),
        2);
    EXPECT_EQ(err.str(), "quillet-fix: out of memory\n");
    EXPECT_EQ(ReadAll(game), image);
    EXPECT_EQ(Names(folder.Path()), std::vector<std::string>{"game.sfc"});

    for (const auto& [thrown, message] : std::vector<std::pair<std::function<int()>, std::string>>{
             {[]() -> int { throw Exception("Integer overflow"); }, "Integer overflow"},
             {[]() -> int { throw std::runtime_error("odd\x1b[2J"); }, "odd\\x1b[2J"},
             {[]() -> int { throw 42; }, "an unexpected failure"}}) {
        std::ostringstream said;
        EXPECT_EQ(RunGuarded(said, "quillet-info", thrown), 2);
        EXPECT_EQ(said.str(), "quillet-info: " + message + "\n");
    }
}

} // namespace
} // namespace quillet
