#include "cli/QuilletInfo.h"

#include "archive/Archive.h"
#include "base/Exceptions.h"
#include "base/NumberFormat.h"
#include "base/Utf8.h"
#include "cli/Audit.h"
#include "cli/Operands.h"
#include "dat/DatFile.h"
#include "dat/DatSteps.h"
#include "rom/DetailsDescription.h"
#include "rom/ImageLoader.h"
#include "rom/RomAnalysis.h"
#include "rom/RomChecksum.h"
#include "rom/RomDescription.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <future>
#include <optional>
#include <sstream>
#include <system_error>
#include <thread>
#include <vector>

namespace quillet {

namespace {

constexpr const char* kTool = "quillet-info";

// Reports use a full stop whatever the locale, so output compares across systems.
constexpr char kDecimalSeparator = '.';
constexpr int kLabelWidth = 15;

struct Options {
    bool json = false;
    bool trace = false;
    bool verify = false;
    bool details = false;
    bool audit = false;
    std::optional<std::string> report;
    std::vector<std::string> dats;
    std::vector<std::string> operands;
};

constexpr const char* kHelpBefore =
    "Usage: quillet-info [OPTION]... FILE|DIRECTORY...\n"
    "Analyses SNES cartridge images: copier header, memory map and internal header.\n"
    "A directory stands for the files in it, in name order; an archive (.zip, .7z, .gz)\n"
    "for the images in it, named ARCHIVE#MEMBER.\n"
    "\n";

constexpr const char* kHelpAfter =
    "\n"
    "Examples:\n"
    "  quillet-info --details game.sfc\n"
    "  quillet-info --json --dat 'Nintendo - Super Nintendo Entertainment System.dat' roms/\n"
    "  quillet-info --audit --dat no-intro/ --report audit.csv roms/\n"
    "\n"
    "Exit status: 0 when every file was analysed, 1 when any could not be read or analysed,\n"
    "2 for a wrong command line or a DAT file that cannot be read. With --audit: 0 when the\n"
    "audit ran, 1 when its report could not be written, 2 as before.\n";

std::string TakeDat(Options& options, const std::string&, const std::string& file) {
    if (file.empty())
        return "--dat needs the name of a DAT file";
    options.dats.push_back(file);
    options.details = true;
    return {};
}

// Every option, as the parser takes it and --help lists it.
const CommandLine<Options>& InfoCommandLine() {
    using O = Option<Options>;
    static const CommandLine<Options> commandLine{
        kTool,
        kHelpBefore,
        13,
        {
            O{.names = {"--json"},
              .help = "one JSON object per line for each file",
              .apply = Switch(&Options::json)},
            O{.names = {"--trace"},
              .help = "also show what the analysis logged",
              .apply = Switch(&Options::trace)},
            O{.names = {"--verify"},
              .help = "also compute the checksum of the ROM data and compare it with the header's",
              .apply = Switch(&Options::verify)},
            O{.names = {"--details"},
              .help = "also hash the whole file and its ROM data (CRC32, MD5, SHA-1, SHA-256),\n"
                      "decode the internal header in full (map mode, coprocessors, extended\n"
                      "header, region), give a second opinion on where the header is, and say\n"
                      "why the checksum is what it is (placeholder, changed data, under- or\n"
                      "overdump, padding)",
              .apply = Switch(&Options::details)},
            O{.names = {"--dat"},
              .value = "FILE",
              .help = "look the ROM data up in a DAT file, Logiqx XML or clrmamepro text, as\n"
                      "No-Intro publishes them (also zipped), or in every DAT file in a\n"
                      "directory and its subdirectories; data that matches nothing as it is\n"
                      "is tried with a copier header of another size stripped, de-interleaved,\n"
                      "and cut of an overdump or padding, and the report says which steps made\n"
                      "it match, or names the ROM named most like the file and what differs;\n"
                      "may be given more than once, and implies --details",
              .apply = TakeDat},
            O{.names = {"--audit"},
              .help = "with --dat: read every image under the files and directories given\n"
                      "and tell, per DAT file, how many of its games are had, had as a bad\n"
                      "dump or missing, and which files are unknown or duplicates",
              .apply = Switch(&Options::audit)},
            O{.names = {"--report"},
              .value = "FILE",
              .help = "with --audit: write every ROM of the DAT files and every unknown or\n"
                      "duplicate file to FILE, as CSV (dat,game,rom,status,file,match), or\n"
                      "as JSON Lines when FILE ends in .jsonl",
              .apply =
                  [](Options& options, const std::string&, const std::string& file) {
                      if (file.empty())
                          return std::string("--report needs the name of the file to write");
                      options.report = file;
                      return std::string();
                  }},
            HelpOption<Options>(),
            VersionOption<Options>(),
        },
        kHelpAfter,
    };
    return commandLine;
}

struct Verification {
    std::optional<std::uint16_t> computed;
    std::string error;
};

struct FileReport {
    std::string file;
    bool readable = true;
    std::string unreadable;           // why the file could not be read
    std::optional<std::string> error; // the analysis raised
    std::string trace;
    std::optional<Verification> verification;
    std::optional<ImageDetails> details;
    std::string detailsError; // why there are no details for a file that was analysed
    std::optional<DatMatch> dat;
};

std::string Label(const char* label) {
    std::string text = label;
    text.resize(std::max<std::size_t>(text.size() + 1, kLabelWidth), ' ');
    return text;
}

// The title as a label shows it, up to its first zero byte; bytes a terminal cannot be trusted
// to show (control codes, and the code page's upper half) become dots. --json has them exact.
std::string DisplayTitle(const std::string& name) {
    std::string title = name.substr(0, name.find('\0'));
    for (char& c : title) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F)
            c = '.';
    }
    return title;
}

std::vector<std::string> SplitFindings(const std::string& errors) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < errors.size()) {
        const std::size_t end = errors.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(errors.substr(start));
            break;
        }
        lines.push_back(errors.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

void WriteLines(std::ostream& out, const char* label, const std::vector<std::string>& lines) {
    out << Label(label);
    if (lines.empty())
        out << "(None)\n";
    for (std::size_t i = 0; i < lines.size(); ++i)
        out << (i == 0 ? "" : std::string(kLabelWidth, ' ')) << lines[i] << '\n';
}

std::string VersionText(double version) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.2f", version);
    return buffer;
}

std::string HexWord(std::int32_t value) {
    return "0x" + FormatHex(static_cast<std::uint32_t>(value), 4);
}

void WriteTextReport(std::ostream& out, const FileReport& report, const SNESImageInfo& info,
                     const Options& options) {
    out << Label("Filename:") << report.file << '\n';
    if (report.error) {
        out << Label("Error:") << *report.error << '\n';
    } else if (!report.readable) {
        out << Label("Status:") << info.Status << " - " << StatusText(info.Status) << '\n';
        WriteLines(out, "Errors Found:", SplitFindings(info.Errors));
    } else {
        out << Label("DOS Size:") << FileSizeText(info, kDecimalSeparator) << '\n';
        out << Label("File Format:") << info.FileFormat << '\n';
        out << Label("Game Name:") << DisplayTitle(info.Name) << '\n';
        out << Label("ROM Format:") << RomFormatText(info) << '\n';
        out << Label("ROM Size:") << RomSizeText(info, kDecimalSeparator) << '\n';
        out << Label("SRAM Size:") << SramSizeText(info) << '\n';
        out << Label("Special Chips:") << SpecialChipsText(info) << '\n';
        out << Label("Country:") << CountryText(info) << '\n';
        out << Label("Manufacturer:") << ManufacturerText(info) << '\n';
        out << Label("Version:") << VersionText(info.Version) << '\n';
        out << Label("Checksum:") << HexWord(info.Checksum) << '\n';
        out << Label("Complement:") << HexWord(info.Complement) << '\n';
        out << Label("Status:") << info.Status << " - " << StatusText(info.Status) << '\n';
        WriteLines(out, "Errors Found:", SplitFindings(info.Errors));
        if (const auto& v = report.verification) {
            out << Label("Verified:");
            if (v->computed) {
                out << "computed checksum " << HexWord(*v->computed)
                    << (*v->computed == info.Checksum ? ", matches the header"
                                                      : ", does not match the header")
                    << '\n';
            } else {
                out << v->error << '\n';
            }
        }
    }
    if (options.trace) {
        std::vector<std::string> lines;
        std::size_t start = 0;
        while (start < report.trace.size()) {
            const std::size_t end = report.trace.find('\n', start);
            lines.push_back(report.trace.substr(start, end - start));
            start = end == std::string::npos ? report.trace.size() : end + 1;
        }
        WriteLines(out, "Trace:", lines);
    }
    if (report.details) {
        for (const DetailGroup& group : DescribeDetails(*report.details, report.dat)) {
            out << group.title << ":\n";
            for (const DetailRow& row : group.rows)
                out << Label(("  " + row.field + ":").c_str()) << row.value << '\n';
        }
    } else if (!report.detailsError.empty()) {
        out << Label("Details:") << report.detailsError << '\n';
    }
    out << '\n';
}

using Json = nlohmann::ordered_json;

// Texts from outside (file names, messages that quote them) are UTF-8 where they are valid;
// bytes of no known encoding (titles, the trace) keep each byte as the code point of its number.
Json Text(std::string_view text) {
    return TextAsUtf8(text);
}

Json Bytes(std::string_view bytes) {
    return BytesAsText(bytes);
}

// One line, all ASCII: whatever a name holds reaches a terminal as an escape, and a console in
// any code page shows it the same.
std::string Dump(const Json& json) {
    return json.dump(-1, ' ', true);
}

Json HashesJson(const HashedBytes& bytes, bool withOffset) {
    Json hashes = Json::object();
    if (withOffset)
        hashes["Offset"] = bytes.offset;
    hashes["Size"] = bytes.size;
    hashes["CRC32"] = bytes.digests.crc32;
    hashes["MD5"] = bytes.digests.md5;
    hashes["SHA1"] = bytes.digests.sha1;
    hashes["SHA256"] = bytes.digests.sha256;
    return hashes;
}

Json OptionalBytes(const std::optional<std::string>& bytes) {
    return bytes ? Bytes(*bytes) : Json(nullptr);
}

Json CartridgeJson(const std::optional<CartridgeHeader>& header) {
    if (!header)
        return nullptr;
    const CartridgeHeader& h = *header;
    Json cartridge = Json::object();
    cartridge["HeaderAddress"] = h.address;
    cartridge["MapMode"] = int{h.mapMode};
    cartridge["Map"] = MapName(h);
    cartridge["Speed"] = SpeedName(h);
    cartridge["CartridgeType"] = int{h.cartridgeType};
    cartridge["Chips"] = ChipsName(h);
    cartridge["Ram"] = HasRam(h);
    cartridge["Battery"] = HasBattery(h);
    cartridge["MakerCode"] = OptionalBytes(h.makerCode);
    cartridge["GameCode"] = OptionalBytes(h.gameCode);
    cartridge["ExpansionRamKbits"] =
        h.expansionRamKbits ? Json(*h.expansionRamKbits) : Json(nullptr);
    cartridge["Region"] = RegionName(h.region);
    return cartridge;
}

Json DetailsJson(const ImageDetails& details, const std::optional<DatMatch>& dat) {
    Json json = Json::object();
    json["Data"] = HashesJson(details.data, true);
    json["File"] = HashesJson(details.file, false);
    json["Cartridge"] = CartridgeJson(details.cartridge);

    const HeaderOpinion& opinion = details.opinion;
    Json scores = Json::object();
    for (std::size_t i = 0; i < kHeaderPlaces.size(); ++i)
        scores[HeaderPlaceName(kHeaderPlaces[i])] = opinion.scores[i];
    json["Opinion"] = {{"Map", HeaderPlaceName(opinion.place)},
                       {"Scores", std::move(scores)},
                       {"AgreesWithAnalysis", opinion.agreesWithAnalysis}};

    const ChecksumReport& checksum = details.checksum;
    Json diagnosis = Json::array();
    for (const ChecksumDiagnosis code : checksum.diagnosis)
        diagnosis.push_back(DiagnosisCode(code));
    json["Checksum"] = {{"Computed", checksum.computed},
                        {"Header", checksum.header},
                        {"Complement", checksum.complement},
                        {"Diagnosis", std::move(diagnosis)},
                        {"Explanation", checksum.explanation}};
    if (dat) {
        const bool none = dat->kind == DatMatchKind::None;
        json["Dat"] = {{"Name", none ? Json(nullptr) : Text(dat->game)},
                       {"Match", DatMatchCode(dat->kind)},
                       {"Rom", none ? Json(nullptr) : Text(dat->rom)},
                       {"Source", none ? Json(nullptr) : Text(dat->source)},
                       {"Status", none           ? Json(nullptr)
                                  : dat->badDump ? Json("baddump")
                                                 : Json("good")}};
        Json via = Json::array();
        for (const std::string& step : dat->via)
            via.push_back(step);
        Json& object = json["Dat"];
        if (none) {
            object["Nearest"] = dat->nearest ? Json{{"Name", Text(dat->nearest->game)},
                                                    {"Rom", Text(dat->nearest->rom)},
                                                    {"Size", dat->nearest->size}}
                                             : Json(nullptr);
        } else {
            object["Via"] = std::move(via);
        }
        object["Explanation"] = dat->explanation.empty() ? Json(nullptr) : Text(dat->explanation);
    }
    json["Copier"] = details.copier ? Json{{"Format", CopierFormatName(details.copier->format)},
                                           {"HeaderSize", details.copier->size}}
                                    : Json(nullptr);
    json["Interleaved"] = details.interleaved;
    if (const auto& digests = details.deinterleaved) {
        json["Deinterleaved"] = {{"CRC32", digests->crc32},
                                 {"MD5", digests->md5},
                                 {"SHA1", digests->sha1},
                                 {"SHA256", digests->sha256}};
    }
    return json;
}

void WriteJsonReport(std::ostream& out, const FileReport& report, const SNESImageInfo& info) {
    Json line = Json::object();
    line["File"] = Text(report.file);
    if (report.error) {
        line["Error"] = Text(*report.error);
        out << Dump(line) << '\n';
        return;
    }
    // A file that could not be read keeps its whole record, as the main window shows it, and
    // says why in "Error" as a failed analysis does.
    if (!report.readable)
        line["Error"] = Text(report.unreadable);
    line["Name"] = Bytes(info.Name);
    line["CopierBlocks"] = info.CopierBlocks;
    line["RomSizeMbits"] = info.RomSizeMbits;
    line["FileSizeBytes"] = info.FileSizeBytes;
    line["SramSizeKbits"] = info.SramSizeKbits;
    line["HiRom"] = info.HiRom;
    line["CopierHeaderKnown"] = info.CopierHeaderKnown;
    line["CountryCode"] = info.CountryCode;
    line["LicenseeCode"] = info.LicenseeCode;
    line["RomType"] = info.RomType;
    line["Status"] = info.Status;
    line["FileFormat"] = Bytes(info.FileFormat);
    line["SwcMode0"] = info.SwcMode0;
    line["SwcSramMode21"] = info.SwcSramMode21;
    line["SwcDramMode21"] = info.SwcDramMode21;
    line["HeaderSize"] = info.HeaderSize;
    line["Errors"] = Bytes(info.Errors);
    line["Complement"] = info.Complement;
    line["Checksum"] = info.Checksum;
    line["Version"] = info.Version;
    line["Trace"] = Bytes(report.trace);
    if (const auto& v = report.verification) {
        if (v->computed) {
            line["ComputedChecksum"] = *v->computed;
            line["ChecksumMatches"] = *v->computed == info.Checksum;
        } else {
            line["VerifyError"] = Text(v->error);
        }
    }
    if (report.details)
        line["Details"] = DetailsJson(*report.details, report.dat);
    else if (!report.detailsError.empty())
        line["DetailsError"] = Text(report.detailsError);
    out << Dump(line) << '\n';
}

// One image to analyse: a file, or a member of an archive already read into memory.
struct ImageInput {
    std::string name; // the file's path, or ARCHIVE#MEMBER
    std::shared_ptr<const std::vector<std::uint8_t>> member;

    std::unique_ptr<ByteSource> Open() const {
        if (member)
            return std::make_unique<MemberSource>(name, member);
        return std::make_unique<FileSource>(name);
    }
};

Verification Verify(const ImageInput& input, const SNESImageInfo& info) {
    Verification verification;
    try {
        const std::unique_ptr<ByteSource> source = input.Open();
        verification.computed =
            ComputeRomChecksum(*source, static_cast<std::uint64_t>(info.HeaderSize));
    } catch (const Exception& failure) {
        verification.error = failure.Message();
    }
    return verification;
}

// Analyses one file into the record carried over from the previous one.
FileReport Analyse(const ImageInput& input, SNESImageInfo& info) {
    FileReport report;
    report.file = input.name;
    StringSink trace;
    try {
        if (input.member) {
            MemberSource member(input.name, input.member);
            report.readable = AnalyseRomImage(member, info, trace);
        } else {
            report.readable = AnalyseRomImage(input.name, info, trace);
        }
        if (!report.readable) {
            const std::vector<std::string> findings = SplitFindings(info.Errors);
            report.unreadable = findings.empty() ? std::string() : findings.back();
        }
    } catch (const Exception& failure) {
        report.error = failure.Message();
    }
    report.trace = trace.Text();
    return report;
}

bool Succeeded(const FileReport& report) {
    const bool verified = !report.verification || report.verification->computed.has_value();
    return report.readable && !report.error && verified && report.detailsError.empty();
}

void WriteReport(std::ostream& out, const FileReport& report, const SNESImageInfo& info,
                 const Options& options) {
    if (options.json) {
        WriteJsonReport(out, report, info);
        return;
    }
    // Names come from file names and DAT files, which anyone may have written.
    std::ostringstream text;
    WriteTextReport(text, report, info, options);
    out << TerminalText(text.str());
}

// Analyses one file and reports it at once; false when it failed.
bool AnalyseOne(const ImageInput& input, SNESImageInfo& info, const Options& options,
                std::ostream& out) {
    FileReport report = Analyse(input, info);
    if (options.verify && report.readable && !report.error)
        report.verification = Verify(input, info);
    WriteReport(out, report, info, options);
    return Succeeded(report);
}

struct Scan {
    std::optional<ImageDetails> details;
    std::string error;
    std::optional<DatMatch> dat;
};

// Data read again for the forms it may match a DAT in: no more than a cartridge holds and an
// overdump of as much again.
constexpr std::uint64_t kLargestSearchedData = 16 * 1024 * 1024;

std::vector<std::uint8_t> ReadData(ByteSource& source, const HashedBytes& data) {
    if (data.size > kLargestSearchedData)
        return {};
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(data.size));
    ReadExactly(source, data.offset, bytes);
    return bytes;
}

// The image read as the program's load step reads it, into a buffer of its own, and looked up
// in the DAT files when there are any. Data that does not match as it is is read again, for
// the forms it may match in.
Scan ScanImage(const ImageInput& input, const SNESImageInfo& info, const DatCollection* dats) {
    Scan scan;
    try {
        const std::unique_ptr<ByteSource> source = input.Open();
        scan.details = ReadImageDetails(*source, info);
        if (dats) {
            scan.dat = MatchInDats(*dats, *scan.details);
            if (scan.dat->kind == DatMatchKind::None)
                scan.dat = MatchInDatsVia(*dats, *scan.details,
                                          ReadData(*source, scan.details->data), input.name);
        }
    } catch (const Exception& failure) {
        scan.error = failure.Message();
    } catch (const std::exception& failure) { // out of memory, say: this file fails, not the run
        scan.error = failure.what();
    }
    return scan;
}

// A file analysed, whose reading and hashing may still be under way on another thread.
struct PendingReport {
    FileReport report;
    SNESImageInfo info; // the record as this file left it
    std::future<Scan> scan;
};

// With details, each file is read whole: the analysis still runs here, in order, with the
// record carried from file to file, while the reading and hashing run on other threads and
// the reports come out in the order of the files.
class DetailsPipeline {
public:
    DetailsPipeline(const Options& options, const DatCollection& dats, std::ostream& out)
        : options_(options), dats_(dats), out_(out),
          workers_(std::max(1u, std::thread::hardware_concurrency())) {}
    DetailsPipeline(const DetailsPipeline&) = delete;
    DetailsPipeline& operator=(const DetailsPipeline&) = delete;
    ~DetailsPipeline() {
        // An exception on the way out still waits for the threads it started.
        for (PendingReport& pending : pending_) {
            if (pending.scan.valid())
                pending.scan.wait();
        }
    }

    void Add(const ImageInput& input, SNESImageInfo& info) {
        PendingReport pending{Analyse(input, info), info, {}};
        if (pending.report.readable && !pending.report.error)
            // On a thread of its own, or here when the system has no more threads to give.
            pending.scan = std::async(std::launch::async | std::launch::deferred, ScanImage, input,
                                      info, options_.dats.empty() ? nullptr : &dats_);
        Queue(std::move(pending));
    }

    // A report with nothing to read or hash, in its place among the others.
    void AddReport(FileReport report, const SNESImageInfo& info) {
        Queue(PendingReport{std::move(report), info, {}});
    }

    // Writes what is still pending; the result is false when any file failed.
    bool Finish() {
        while (!pending_.empty())
            WriteFirst();
        return allSucceeded_;
    }

private:
    void Queue(PendingReport pending) {
        pending_.push_back(std::move(pending));
        while (pending_.size() > workers_)
            WriteFirst();
    }

    void WriteFirst() {
        PendingReport& pending = pending_.front();
        FileReport& report = pending.report;
        if (pending.scan.valid()) {
            Scan scan = pending.scan.get();
            if (scan.details) {
                report.details = std::move(scan.details);
                if (options_.verify)
                    report.verification = Verification{report.details->checksum.computed, ""};
                report.dat = std::move(scan.dat);
            } else {
                report.detailsError = scan.error;
                if (options_.verify)
                    report.verification = Verification{std::nullopt, scan.error};
            }
        }
        WriteReport(out_, report, pending.info, options_);
        allSucceeded_ = allSucceeded_ && Succeeded(report);
        pending_.pop_front();
    }

    const Options& options_;
    const DatCollection& dats_;
    std::ostream& out_;
    const std::size_t workers_;
    std::deque<PendingReport> pending_;
    bool allSucceeded_ = true;
};

std::optional<Options> ParseArguments(std::span<const std::string> arguments, std::ostream& out,
                                      std::ostream& err, int& exitStatus) {
    Options options;
    if (!ReadCommandLine(InfoCommandLine(), arguments, options, options.operands, out, err,
                         exitStatus))
        return std::nullopt;
    if (options.operands.empty()) {
        exitStatus = UsageError(err, kTool, "no image file given");
        return std::nullopt;
    }
    const auto usage = [&](const char* problem) {
        exitStatus = UsageError(err, kTool, problem);
        return std::nullopt;
    };
    if (options.audit && options.dats.empty())
        return usage("--audit needs the DAT files to audit against: give --dat");
    if (options.audit && (options.json || options.trace || options.verify))
        return usage(
            "--audit writes its own report: --json, --trace and --verify do not go with it");
    if (options.report && !options.audit)
        return usage("--report goes with --audit");
    return options;
}

} // namespace

std::vector<OptionSpelling> QuilletInfoOptions() {
    return ListedOptions(InfoCommandLine());
}

int RunQuilletInfo(std::span<const std::string> arguments, std::ostream& out, std::ostream& err) {
    int exitStatus = kExitSuccess;
    const std::optional<Options> options = ParseArguments(arguments, out, err, exitStatus);
    if (!options)
        return exitStatus;

    // Every DAT file is read before any image, so a bad one stops the run with nothing done.
    DatCollection dats;
    try {
        LoadDats(dats, options->dats);
    } catch (const EDatError& failure) {
        err << kTool << ": " << TerminalText(failure.Message()) << '\n';
        return kExitUsage;
    }

    if (options->audit)
        return RunAudit(options->operands, dats, options->report, ErrorStreamIsTerminal(), out,
                        err);

    SNESImageInfo info; // carried from file to file, as the main window keeps one
    std::optional<DetailsPipeline> pipeline;
    if (options->details)
        pipeline.emplace(*options, dats, out);
    const auto analyse = [&](const ImageInput& input) {
        if (pipeline)
            pipeline->Add(input, info);
        else if (!AnalyseOne(input, info, *options, out))
            exitStatus = kExitSomeFailed;
    };
    // An archive or a member that could not be read: a report of its own, the record untouched.
    std::size_t failures = 0;
    const auto failed = [&](const std::string& name, const std::string& reason) {
        ++failures;
        FileReport report;
        report.file = name;
        report.error = reason;
        if (pipeline) {
            pipeline->AddReport(std::move(report), info);
        } else {
            WriteReport(out, report, info, *options);
            exitStatus = kExitSomeFailed;
        }
    };
    const MemberVisitor visitor{
        .wanted = [](const std::string& name) { return IsImageName(name); },
        .member =
            [&](std::unique_ptr<MemberSource> member) {
                analyse(ImageInput{member->Name(), member->Bytes()});
                return true;
            },
        .failure = failed,
    };
    for (const std::string& operand : options->operands) {
        std::string problem;
        const std::vector<std::string> files = ExpandOperand(operand, problem);
        for (const std::string& file : files) {
            if (!ArchiveFormatOf(file)) {
                analyse(ImageInput{file, nullptr});
            } else if (const std::size_t before = failures;
                       VisitMembers(file, visitor) == 0 && failures == before) {
                err << kTool << ": " << TerminalText("no images in archive " + file) << '\n';
                exitStatus = kExitSomeFailed;
            }
        }
        if (problem.empty() && files.empty())
            problem = "no files in directory " + operand;
        if (!problem.empty()) {
            err << kTool << ": " << TerminalText(problem) << '\n';
            exitStatus = kExitSomeFailed;
        }
    }
    if (pipeline && !pipeline->Finish())
        exitStatus = kExitSomeFailed;
    return exitStatus;
}

} // namespace quillet
