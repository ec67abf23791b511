#include "cli/QuilletInfo.h"

#include "base/Utf8.h"
#include "tests/support/ArchiveMaker.h"
#include "tests/support/GameImages.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>

namespace quillet {
namespace {

using namespace testing;
using Bytes = std::vector<std::uint8_t>;

TEST(Audit, HaveBadDumpMissingUnknownAndDuplicateInTheSummaryAndBothReports) {
    TempFolder folder;
    const Bytes a = GameImage(1), b = GameImage(2), c = GameImage(3);
    const std::string dat =
        "clrmamepro ( name \"Audit\" )\n" +
        DatGame("Alpha, the \\\"Game\\\" (USA)", "Alpha.sfc", a) +
        DatGame("Beta (Japan)", "Beta.sfc", b, " flags baddump") +
        DatGame("Gamma (Europe)", "Gamma.sfc", c) +
        "game ( name \"Delta\" rom ( name \"Delta.sfc\" size 1 crc 01234567 ) )\n";
    const std::string datPath = folder.Write("audit.dat", Bytes(dat.begin(), dat.end()));
    std::filesystem::create_directories(folder.Path() / "roms" / "more");
    const std::string first = Listed(folder.Write("roms/alpha.sfc", a));
    const std::string copy = Listed(folder.Write(
        "roms/more/alpha copy.smc", samples::Concatenate(samples::SuperWildCardHeader(0, 0), a)));
    const std::string beta = Listed(folder.Write("roms/beta.sfc", b));
    const std::string stray = Listed(folder.Write("roms/stray.bin", GameImage(4)));
    // Gamma in a zip, beside a member that is not an image.
    const std::string gamma =
        Listed(folder.Write(
            "roms/more/gamma.zip",
            MakeArchive(ArchiveFormat::Zip, {{"notes.txt", {'x'}}, {"Gamma.sfc", c}}))) +
        "#Gamma.sfc";

    for (const std::string report : {"audit.csv", "audit.jsonl"}) {
        SCOPED_TRACE(report);
        const std::string reportPath = Utf8FromPath(folder.Path() / report);
        const ToolRun run = Info({"--audit", "--dat", datPath, "--report", reportPath,
                                  Utf8FromPath(folder.Path() / "roms")});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, ""); // no progress where there is no terminal
        for (const std::string& part : {"DAT " + datPath +
                                            ": 4 games, 2 have, 1 have as a bad dump, 1 missing\n"
                                            "Files: 5 read, 3 matched, 1 unknown, 1 duplicates\n",
                                        "duplicate:  " + copy, "unknown:    " + stray})
            EXPECT_NE(run.out.find(part), std::string::npos) << part << "\n" << run.out;

        const Bytes written = ReadAll(PathFromUtf8(reportPath));
        std::istringstream lines(std::string(written.begin(), written.end()));
        if (report.ends_with(".csv")) {
            // Quoted where a field holds a comma or a quote, doubled quotes inside.
            const std::string alpha = datPath + ",\"Alpha, the \"\"Game\"\" (USA)\",Alpha.sfc,";
            EXPECT_EQ(lines.str(),
                      "dat,game,rom,status,file,match\r\n" + alpha + "have," + first + ",sha1\r\n" +
                          datPath + ",Beta (Japan),Beta.sfc,baddump," + beta + ",sha1\r\n" +
                          datPath + ",Gamma (Europe),Gamma.sfc,have," + gamma + ",sha1\r\n" +
                          datPath + ",Delta,Delta.sfc,missing,,\r\n" + alpha + "duplicate," + copy +
                          ",sha1\r\n,,,unknown," + stray + ",\r\n");
            continue;
        }
        std::string statuses;
        for (std::string line; std::getline(lines, line);) {
            const auto json = nlohmann::json::parse(line);
            statuses +=
                json["status"].get<std::string>() + " " + json["file"].get<std::string>() + "\n";
        }
        EXPECT_EQ(statuses, "have " + first + "\nbaddump " + beta + "\nhave " + gamma +
                                "\nmissing \nduplicate " + copy + "\nunknown " + stray + "\n");
    }
}

} // namespace
} // namespace quillet
