#include "cli/Audit.h"

#include "archive/Archive.h"
#include "base/ByteSource.h"
#include "base/TextSink.h"
#include "base/Utf8.h"
#include "cli/CommandLine.h"
#include "files/SafeWrite.h"
#include "rom/ImageLoader.h"
#include "rom/RomAnalysis.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <future>
#include <map>
#include <sstream>
#include <thread>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace quillet {

namespace {

// A CSV field, quoted where it must be (RFC 4180).
std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

constexpr const char* kTool = "quillet-info";

// The images an operand stands for: a file or an archive itself, a folder's images and
// archives with its subfolders', in name order.
std::vector<std::string> ImagesUnder(const std::string& operand, std::ostream& err) {
    namespace fs = std::filesystem;
    const fs::path root = PathFromUtf8(operand);
    std::error_code error;
    if (!fs::is_directory(root, error))
        return {operand};
    std::vector<std::string> images;
    fs::recursive_directory_iterator entries(root, error);
    for (; !error && entries != fs::recursive_directory_iterator(); entries.increment(error)) {
        std::error_code typeError;
        const std::string name = Utf8FromPath(entries->path());
        if (entries->is_regular_file(typeError) && (IsImageName(name) || ArchiveFormatOf(name)))
            images.push_back(name);
    }
    if (error) {
        err << kTool << ": "
            << TerminalText("cannot list directory " + operand + ": " + error.message()) << '\n';
    }
    std::sort(images.begin(), images.end());
    return images;
}

struct Reading {
    std::optional<ImageDetails> details;
    std::string problem;
};

Reading ReadImage(ByteSource& source) {
    Reading reading;
    try {
        SNESImageInfo info;
        NullSink log;
        if (!AnalyseRomImage(source, info, log)) {
            reading.problem = "cannot be read";
            return reading;
        }
        reading.details = ReadImageDetails(source, info);
    } catch (const Exception& failure) {
        reading.problem = failure.Message();
    } catch (const std::exception& failure) {
        reading.problem = failure.what();
    }
    return reading;
}

// The images of one operand file, named as the reports name them: the file, or each image
// member of an archive as ARCHIVE#MEMBER.
std::vector<std::pair<std::string, Reading>> ReadInput(const std::string& path) {
    std::vector<std::pair<std::string, Reading>> images;
    if (!ArchiveFormatOf(path)) {
        try {
            FileSource file(path);
            images.emplace_back(path, ReadImage(file));
        } catch (const Exception& failure) {
            images.emplace_back(path, Reading{std::nullopt, failure.Message()});
        }
        return images;
    }
    const MemberVisitor visitor{
        .wanted = [](const std::string& name) { return IsImageName(name); },
        .member =
            [&](std::unique_ptr<MemberSource> member) {
                images.emplace_back(member->Name(), ReadImage(*member));
                return true;
            },
        .failure =
            [&](const std::string& name, const std::string& reason) {
                images.emplace_back(name, Reading{std::nullopt, reason});
            },
    };
    VisitMembers(path, visitor);
    return images;
}

struct GameCount {
    std::size_t roms = 0;
    std::size_t had = 0;
    bool badDump = false;
};

} // namespace

AuditReport::AuditReport(const DatCollection& dats) : dats_(dats), claims_(dats.Roms().size()) {
}

void AuditReport::Add(const std::string& file, const ImageDetails& details) {
    ++files_;
    const Digests& digests = details.data.digests;
    const std::optional<DatHit> hit =
        dats_.Find(digests.sha256, digests.sha1, digests.crc32, details.data.size);
    if (!hit) {
        others_.push_back({"", "", "", "unknown", file, ""});
        return;
    }
    const std::string match = DatMatchCode(MatchKindOf(hit->key));
    if (claims_[hit->index]) {
        others_.push_back({hit->source, hit->game, hit->rom, "duplicate", file, match});
        return;
    }
    claims_[hit->index] = Claim{file, hit->key};
}

void AuditReport::AddUnreadable(const std::string& file, const std::string& problem) {
    ++files_;
    unreadable_.emplace_back(file, problem);
    others_.push_back({"", "", "", "unknown", file, ""});
}

std::vector<AuditReport::Row> AuditReport::Rows() const {
    std::vector<Row> rows;
    const std::vector<DatRom>& roms = dats_.Roms();
    for (std::size_t i = 0; i < roms.size(); ++i) {
        const DatRom& rom = roms[i];
        Row row{dats_.Sources()[rom.source], rom.game, rom.name, "missing", "", ""};
        if (const auto& claim = claims_[i]) {
            row.status = rom.badDump ? "baddump" : "have";
            row.file = claim->file;
            row.match = DatMatchCode(MatchKindOf(claim->key));
        }
        rows.push_back(std::move(row));
    }
    rows.insert(rows.end(), others_.begin(), others_.end());
    return rows;
}

void AuditReport::WriteSummary(std::ostream& out) const {
    // A game is had when each of its ROMs is; as a bad dump when any of them is one.
    std::vector<std::map<std::string, GameCount>> games(dats_.Sources().size());
    const std::vector<DatRom>& roms = dats_.Roms();
    for (std::size_t i = 0; i < roms.size(); ++i) {
        GameCount& game = games[roms[i].source][roms[i].game];
        ++game.roms;
        if (claims_[i]) {
            ++game.had;
            game.badDump |= roms[i].badDump;
        }
    }
    for (std::size_t source = 0; source < games.size(); ++source) {
        std::size_t have = 0;
        std::size_t bad = 0;
        for (const auto& [name, game] : games[source]) {
            if (game.had == game.roms)
                ++(game.badDump ? bad : have);
        }
        out << "DAT " << dats_.Sources()[source] << ": " << games[source].size() << " games, "
            << have << " have, " << bad << " have as a bad dump, "
            << games[source].size() - have - bad << " missing\n";
    }
    std::size_t unknown = 0;
    std::size_t duplicates = 0;
    for (const Row& row : others_)
        ++(row.status == "duplicate" ? duplicates : unknown);
    out << "Files: " << files_ << " read, " << files_ - unknown - duplicates << " matched, "
        << unknown << " unknown, " << duplicates << " duplicates\n";
    for (const auto& [file, problem] : unreadable_)
        out << "  unreadable: " << file << ": " << problem << '\n';
    for (const Row& row : others_) {
        if (row.status == "duplicate")
            out << "  duplicate:  " << row.file << " (" << row.game << ")\n";
        else if (std::none_of(unreadable_.begin(), unreadable_.end(),
                              [&](const auto& entry) { return entry.first == row.file; }))
            out << "  unknown:    " << row.file << '\n';
    }
}

std::string AuditReport::Csv() const {
    std::string csv = "dat,game,rom,status,file,match\r\n";
    for (const Row& row : Rows()) {
        csv += CsvField(row.dat) + ',' + CsvField(row.game) + ',' + CsvField(row.rom) + ',' +
               row.status + ',' + CsvField(row.file) + ',' + row.match + "\r\n";
    }
    return csv;
}

std::string AuditReport::JsonLines() const {
    std::string lines;
    for (const Row& row : Rows()) {
        const nlohmann::ordered_json line = {
            {"dat", TextAsUtf8(row.dat)},   {"game", TextAsUtf8(row.game)},
            {"rom", TextAsUtf8(row.rom)},   {"status", row.status},
            {"file", TextAsUtf8(row.file)}, {"match", row.match}};
        lines += line.dump(-1, ' ', true) + '\n';
    }
    return lines;
}

bool ErrorStreamIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

int RunAudit(const std::vector<std::string>& operands, const DatCollection& dats,
             const std::optional<std::string>& report, bool progress, std::ostream& out,
             std::ostream& err) {
    std::vector<std::string> images;
    for (const std::string& operand : operands) {
        const std::vector<std::string> found = ImagesUnder(operand, err);
        images.insert(images.end(), found.begin(), found.end());
    }
    // Read and hashed on every core, taken in order.
    AuditReport audit(dats);
    const std::size_t window = std::max(1u, std::thread::hardware_concurrency()) * 2;
    std::deque<std::future<std::vector<std::pair<std::string, Reading>>>> reading;
    std::size_t next = 0;
    for (std::size_t done = 0; done < images.size(); ++done) {
        while (next < images.size() && reading.size() < window)
            reading.push_back(std::async(std::launch::async, ReadInput, images[next++]));
        for (const auto& [name, read] : reading.front().get()) {
            if (read.details)
                audit.Add(name, *read.details);
            else
                audit.AddUnreadable(name, read.problem);
        }
        reading.pop_front();
        if (progress)
            err << "\r" << kTool << ": audited " << done + 1 << " of " << images.size() << " files"
                << std::flush;
    }
    if (progress && !images.empty())
        err << '\n';

    std::ostringstream summary;
    audit.WriteSummary(summary);
    out << TerminalText(summary.str());
    if (!report)
        return kExitSuccess;
    const std::string text = report->ends_with(".jsonl") ? audit.JsonLines() : audit.Csv();
    try {
        const std::unique_ptr<FileLayer> files = MakeSystemFileLayer();
        WriteFileSafely(*files, *report,
                        std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()),
                        true);
    } catch (const EWriteFailure& failure) {
        err << kTool << ": "
            << TerminalText("cannot write the report " + *report + ": " + failure.Message())
            << '\n';
        return kExitSomeFailed;
    }
    out << "Report: " << TerminalText(*report) << '\n';
    return kExitSuccess;
}

} // namespace quillet
