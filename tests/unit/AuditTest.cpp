#include "cli/QuilletInfo.h"

#include "base/Utf8.h"
#include "rom/Digests.h"
#include "tests/support/ArchiveMaker.h"
#include "tests/support/TempFolder.h"
#include "tools/RomImageBuilder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <map>
#include <sstream>

namespace quillet {
namespace {

using namespace samples;
using Bytes = std::vector<std::uint8_t>;
using testing::ReadAll;
using testing::TempFolder;

Bytes Game(std::uint32_t seed) {
    Bytes rom = MakeRomData(65536, seed);
    WriteInternalHeader(rom, kLoRomArea, {.title = "AUDIT " + std::to_string(seed)});
    FixChecksum(rom, kLoRomArea);
    return rom;
}

std::string Sha1(const Bytes& data) {
    DigestSet digests;
    digests.Update(data);
    return digests.Finish().sha1;
}

// A path as the system lists it, with its own separators.
std::string Listed(const std::string& path) {
    return Utf8FromPath(PathFromUtf8(path).make_preferred());
}

std::string Text(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

TEST(Audit, HaveBadDumpMissingUnknownAndDuplicateInTheSummaryAndBothReports) {
    TempFolder folder;
    const Bytes a = Game(1), b = Game(2), c = Game(3), unknown = Game(4);
    const std::string dat =
        "clrmamepro ( name \"Audit\" )\n"
        "game ( name \"Alpha, the \\\"Game\\\" (USA)\" rom ( name \"Alpha.sfc\" size 65536 sha1 " +
        Sha1(a) + " ) )\ngame ( name \"Beta (Japan)\" rom ( name \"Beta.sfc\" size 65536 sha1 " +
        Sha1(b) + " flags baddump ) )\ngame ( name \"Gamma (Europe)\" rom ( name \"Gamma.sfc\" " +
        "size 65536 sha1 " + Sha1(c) +
        " ) )\ngame ( name \"Delta\" rom ( name \"Delta.sfc\" size 1 " + "crc 01234567 ) )\n";
    const std::string datPath = folder.Write("audit.dat", Bytes(dat.begin(), dat.end()));
    std::filesystem::create_directories(folder.Path() / "roms" / "more");
    const std::string first = Listed(folder.Write("roms/alpha.sfc", a));
    const std::string copy =
        Listed(folder.Write("roms/more/alpha copy.smc", Concatenate(SuperWildCardHeader(0, 0), a)));
    const std::string beta = Listed(folder.Write("roms/beta.sfc", b));
    const std::string stray = Listed(folder.Write("roms/stray.bin", unknown));
    folder.Write("roms/readme.txt", {'h', 'i'}); // not an image: not audited
    // Gamma in a zip, beside a member that is not an image.
    const std::string zip = Listed(folder.Write(
        "roms/more/gamma.zip",
        testing::MakeArchive(ArchiveFormat::Zip, {{"notes.txt", {'x'}}, {"Gamma.sfc", c}})));
    const std::string gamma = zip + "#Gamma.sfc";
    const std::string roms = Utf8FromPath(folder.Path() / "roms");

    for (const std::string& report : {std::string("audit.csv"), std::string("audit.jsonl")}) {
        SCOPED_TRACE(report);
        const std::string reportPath = Utf8FromPath(folder.Path() / report);
        std::ostringstream out, err;
        const int status = RunQuilletInfo(
            std::vector<std::string>{"--audit", "--dat", datPath, "--report", reportPath, roms},
            out, err);
        EXPECT_EQ(status, 0) << err.str();
        EXPECT_TRUE(err.str().empty()) << err.str(); // no progress where there is no terminal
        EXPECT_NE(out.str().find("DAT " + datPath +
                                 ": 4 games, 2 have, 1 have as a bad dump, 1 missing\n"
                                 "Files: 5 read, 3 matched, 1 unknown, 1 duplicates\n"),
                  std::string::npos)
            << out.str();
        EXPECT_NE(out.str().find("duplicate:  " + copy), std::string::npos) << out.str();
        EXPECT_NE(out.str().find("unknown:    " + stray), std::string::npos) << out.str();

        const std::string written = Text(ReadAll(PathFromUtf8(reportPath)));
        if (report.ends_with(".csv")) {
            // Quoted where a field holds a comma or a quote, doubled quotes inside.
            EXPECT_EQ(written, "dat,game,rom,status,file,match\r\n" + datPath +
                                   ",\"Alpha, the \"\"Game\"\" (USA)\",Alpha.sfc,have," + first +
                                   ",sha1\r\n" + datPath + ",Beta (Japan),Beta.sfc,baddump," +
                                   beta + ",sha1\r\n" + datPath +
                                   ",Gamma (Europe),Gamma.sfc,have," + gamma + ",sha1\r\n" +
                                   datPath + ",Delta,Delta.sfc,missing,,\r\n" + datPath +
                                   ",\"Alpha, the \"\"Game\"\" (USA)\",Alpha.sfc,duplicate," +
                                   copy + ",sha1\r\n,,,unknown," + stray + ",\r\n");
            continue;
        }
        std::istringstream lines(written);
        std::vector<std::string> statuses;
        for (std::string line; std::getline(lines, line);) {
            const auto json = nlohmann::json::parse(line);
            statuses.push_back(json["status"].get<std::string>() + " " +
                               json["file"].get<std::string>());
        }
        EXPECT_EQ(statuses,
                  (std::vector<std::string>{"have " + first, "baddump " + beta, "have " + gamma,
                                            "missing ", "duplicate " + copy, "unknown " + stray}));
    }
}

TEST(Audit, NeedsDatFilesAndTakesNoPerFileOptions) {
    std::ostringstream out, err;
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--audit", "roms"},
          std::vector<std::string>{"--audit", "--json", "--dat", "x.dat", "roms"},
          std::vector<std::string>{"--report", "r.csv", "--dat", "x.dat", "roms"}})
        EXPECT_EQ(RunQuilletInfo(arguments, out, err), 2) << arguments[0] << " " << arguments[1];
}

} // namespace
} // namespace quillet
