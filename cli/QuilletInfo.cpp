#include "cli/QuilletInfo.h"

#include "base/Exceptions.h"
#include "base/NumberFormat.h"
#include "cli/JsonText.h"
#include "rom/RomAnalysis.h"
#include "rom/RomChecksum.h"
#include "rom/RomDescription.h"
#include "rom/RomTables.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

namespace quillet {

namespace {

constexpr const char* kVersionText = "quillet-info 0.0002";

constexpr const char* kUsage =
    "Usage: quillet-info [OPTION]... FILE|DIRECTORY...\n"
    "Analyses SNES cartridge images: copier header, memory map and internal header.\n"
    "A directory stands for the files in it, in name order.\n"
    "\n"
    "  --json     one JSON object per line for each file\n"
    "  --trace    also show what the analysis logged\n"
    "  --verify   also compute the checksum of the ROM data and compare it with the header's\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n"
    "\n"
    "Exit status: 0 when every file was analysed, 1 when any could not be read or analysed,\n"
    "2 for a wrong command line.\n";

// Reports use a full stop whatever the locale, so output compares across systems.
constexpr char kDecimalSeparator = '.';
constexpr int kLabelWidth = 15;

struct Options {
    bool json = false;
    bool trace = false;
    bool verify = false;
    std::vector<std::string> operands;
};

struct Verification {
    std::optional<std::uint16_t> computed;
    std::string error;
};

struct FileReport {
    std::string file;
    bool readable = true;
    std::optional<std::string> error; // the analysis raised
    std::string trace;
    std::optional<Verification> verification;
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
        out << Label("Special Chips:") << SpecialChipsName(static_cast<std::uint8_t>(info.RomType))
            << '\n';
        out << Label("Country:") << CountryName(static_cast<std::uint8_t>(info.CountryCode))
            << '\n';
        out << Label("Manufacturer:") << LicenseeName(static_cast<std::uint8_t>(info.LicenseeCode))
            << '\n';
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
    out << '\n';
}

void WriteJsonReport(std::ostream& out, const FileReport& report, const SNESImageInfo& info) {
    out << "{\"File\": " << JsonTextString(report.file);
    if (report.error) {
        out << ", \"Error\": " << JsonTextString(*report.error) << "}\n";
        return;
    }
    const auto flag = [](bool value) { return value ? "true" : "false"; };
    out << ", \"Name\": " << JsonBytesString(info.Name)
        << ", \"CopierBlocks\": " << info.CopierBlocks
        << ", \"RomSizeMbits\": " << info.RomSizeMbits
        << ", \"FileSizeBytes\": " << info.FileSizeBytes
        << ", \"SramSizeKbits\": " << info.SramSizeKbits << ", \"HiRom\": " << flag(info.HiRom)
        << ", \"CopierHeaderKnown\": " << flag(info.CopierHeaderKnown)
        << ", \"CountryCode\": " << info.CountryCode << ", \"LicenseeCode\": " << info.LicenseeCode
        << ", \"RomType\": " << info.RomType << ", \"Status\": " << info.Status
        << ", \"FileFormat\": " << JsonBytesString(info.FileFormat)
        << ", \"SwcMode0\": " << flag(info.SwcMode0)
        << ", \"SwcSramMode21\": " << flag(info.SwcSramMode21)
        << ", \"SwcDramMode21\": " << flag(info.SwcDramMode21)
        << ", \"HeaderSize\": " << info.HeaderSize
        << ", \"Errors\": " << JsonBytesString(info.Errors)
        << ", \"Complement\": " << info.Complement << ", \"Checksum\": " << info.Checksum
        << ", \"Version\": " << JsonNumber(info.Version)
        << ", \"Trace\": " << JsonBytesString(report.trace);
    if (const auto& v = report.verification) {
        if (v->computed) {
            out << ", \"ComputedChecksum\": " << *v->computed
                << ", \"ChecksumMatches\": " << flag(*v->computed == info.Checksum);
        } else {
            out << ", \"VerifyError\": " << JsonTextString(v->error);
        }
    }
    out << "}\n";
}

Verification Verify(const std::string& path, const SNESImageInfo& info) {
    Verification verification;
    try {
        FileSource file(path);
        verification.computed =
            ComputeRomChecksum(file, static_cast<std::uint64_t>(info.HeaderSize));
    } catch (const Exception& failure) {
        verification.error = failure.Message();
    }
    return verification;
}

// Analyses one file into the record carried over from the previous one; false when it failed.
bool AnalyseOne(const std::string& path, SNESImageInfo& info, const Options& options,
                std::ostream& out) {
    FileReport report;
    report.file = path;
    StringSink trace;
    try {
        report.readable = AnalyseRomImage(path, info, trace);
    } catch (const Exception& failure) {
        report.error = failure.Message();
    }
    report.trace = trace.Text();
    if (options.verify && report.readable && !report.error)
        report.verification = Verify(path, info);

    if (options.json)
        WriteJsonReport(out, report, info);
    else
        WriteTextReport(out, report, info, options);

    const bool verified = !report.verification || report.verification->computed.has_value();
    return report.readable && !report.error && verified;
}

// The files a command-line operand stands for: itself, or a directory's files in name order.
std::vector<std::string> ExpandOperand(const std::string& operand, std::string& problem) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (!fs::is_directory(operand, error))
        return {operand};

    std::vector<std::string> files;
    fs::directory_iterator entries(operand, error);
    for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
        std::error_code typeError;
        if (entries->is_regular_file(typeError))
            files.push_back(entries->path().string());
    }
    if (error)
        problem = "cannot list directory " + operand + ": " + error.message();
    std::sort(files.begin(), files.end());
    return files;
}

std::optional<Options> ParseArguments(std::span<const std::string> arguments, std::ostream& out,
                                      std::ostream& err, int& exitStatus) {
    Options options;
    bool optionsEnded = false;
    for (const std::string& argument : arguments) {
        if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
            options.operands.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--json") {
            options.json = true;
        } else if (argument == "--trace") {
            options.trace = true;
        } else if (argument == "--verify") {
            options.verify = true;
        } else if (argument == "--help" || argument == "-h") {
            out << kUsage;
            exitStatus = kExitAllAnalysed;
            return std::nullopt;
        } else if (argument == "--version") {
            out << kVersionText << '\n';
            exitStatus = kExitAllAnalysed;
            return std::nullopt;
        } else {
            err << "quillet-info: unknown option " << argument << "\n"
                << "Try 'quillet-info --help'.\n";
            exitStatus = kExitUsage;
            return std::nullopt;
        }
    }
    if (options.operands.empty()) {
        err << "quillet-info: no image file given\n"
            << "Try 'quillet-info --help'.\n";
        exitStatus = kExitUsage;
        return std::nullopt;
    }
    return options;
}

} // namespace

int RunQuilletInfo(std::span<const std::string> arguments, std::ostream& out, std::ostream& err) {
    int exitStatus = kExitAllAnalysed;
    const std::optional<Options> options = ParseArguments(arguments, out, err, exitStatus);
    if (!options)
        return exitStatus;

    SNESImageInfo info; // carried from file to file, as the main window keeps one
    for (const std::string& operand : options->operands) {
        std::string problem;
        for (const std::string& file : ExpandOperand(operand, problem)) {
            if (!AnalyseOne(file, info, *options, out))
                exitStatus = kExitSomeFailed;
        }
        if (!problem.empty()) {
            err << "quillet-info: " << problem << '\n';
            exitStatus = kExitSomeFailed;
        }
    }
    return exitStatus;
}

} // namespace quillet
