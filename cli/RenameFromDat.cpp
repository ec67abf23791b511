#include "cli/RenameFromDat.h"

#include "base/ByteSource.h"
#include "base/TextSink.h"
#include "base/Utf8.h"
#include "cli/CommandLine.h"
#include "cli/Operands.h"
#include "rom/ImageLoader.h"
#include "rom/RomAnalysis.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <sstream>

namespace quillet {

namespace {

constexpr const char* kTool = "quillet-fix";
// The longest name most file systems take, in bytes.
constexpr std::size_t kLongestName = 255;

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// CON, NUL, COM1 and the like stand for devices on Windows, with any extension.
bool ReservedOnWindows(std::string_view name) {
    std::string stem(name.substr(0, name.find('.')));
    while (!stem.empty() && stem.back() == ' ')
        stem.pop_back();
    std::ranges::transform(stem, stem.begin(), Upper);
    static constexpr std::array<std::string_view, 4> kDevices = {"CON", "PRN", "AUX", "NUL"};
    if (std::ranges::find(kDevices, stem) != kDevices.end())
        return true;
    return stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) &&
           stem[3] >= '1' && stem[3] <= '9';
}

bool IsArchive(const std::string& path) {
    std::string extension = Utf8FromPath(PathFromUtf8(path).extension());
    std::ranges::transform(extension, extension.begin(), Upper);
    return extension == ".ZIP" || extension == ".7Z" || extension == ".GZ";
}

// What one image file is renamed to; false when it was refused.
bool RenameOne(const std::string& path, const DatCollection& dats, bool dryRun, std::ostream& out,
               std::ostream& err, FileLayer& files) {
    const auto refuse = [&](const std::string& why) {
        err << kTool << ": " << path << ": " << why << '\n';
        return false;
    };
    if (IsArchive(path)) {
        out << path << ": an archive: the images inside archives are not renamed\n";
        return true;
    }
    SNESImageInfo info;
    NullSink log;
    std::optional<ImageDetails> details;
    try {
        FileSource file(path);
        if (!AnalyseRomImage(file, info, log))
            return refuse("cannot be read");
        details = ReadImageDetails(file, info);
    } catch (const Exception& failure) {
        return refuse(failure.Message());
    }
    const DatMatch match = MatchInDats(dats, *details);
    if (match.kind == DatMatchKind::None) {
        out << path << ": not in the DAT files, left as it is\n";
        return true;
    }
    if (const std::string reason = UnsafeFileNameReason(match.rom); !reason.empty())
        return refuse("the DAT file " + match.source + " names it '" + match.rom + "', which " +
                      reason + "; not renamed");

    const std::filesystem::path from = PathFromUtf8(path);
    std::filesystem::path name = PathFromUtf8(match.rom);
    // The DAT names the data; a file with a copier header is not that, and keeps its kind.
    if (info.HeaderSize > 0)
        name.replace_extension(from.extension());
    const std::filesystem::path to = from.parent_path() / name;
    const std::string target = Utf8FromPath(to);
    if (from.filename() == name) {
        out << path << ": named as the DAT file names it already\n";
        return true;
    }
    if (files.Exists(target))
        return refuse("not renamed to " + target + ", which exists");
    if (dryRun) {
        out << path << ": would be renamed to " << Utf8FromPath(name) << '\n';
        return true;
    }
    try {
        files.Rename(path, target, false);
    } catch (const EWriteFailure& failure) {
        return refuse("not renamed to " + target + ": " + failure.Message());
    }
    out << path << ": renamed to " << Utf8FromPath(name) << '\n';
    return true;
}

} // namespace

std::string UnsafeFileNameReason(std::string_view name) {
    if (name.empty())
        return "is empty";
    if (name.find_first_of("/\\") != std::string_view::npos)
        return "holds a path separator";
    if (name.find("..") != std::string_view::npos)
        return "holds '..'";
    if (name.size() >= 2 && name[1] == ':')
        return "names a drive";
    if (std::ranges::any_of(
            name, [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }))
        return "holds a control character";
    if (name.find_first_of("<>:\"|?*") != std::string_view::npos)
        return "holds a character Windows does not allow in file names";
    if (name.back() == '.' || name.back() == ' ')
        return "ends with a dot or a blank, which Windows drops";
    if (ReservedOnWindows(name))
        return "is a name Windows reserves for a device";
    if (TextAsUtf8(name) != name)
        return "is not valid UTF-8";
    if (name.size() > kLongestName)
        return "is longer than a file name may be";
    return {};
}

int RenameFromDat(const RenameRequest& request, std::ostream& out, std::ostream& err,
                  FileLayer& files) {
    DatCollection dats;
    try {
        LoadDats(dats, request.dats);
    } catch (const EDatError& failure) {
        err << kTool << ": " << TerminalText(failure.Message()) << '\n';
        return kExitUsage;
    }
    int status = kExitSuccess;
    for (const std::string& operand : request.paths) {
        std::string problem;
        for (const std::string& path : ExpandOperand(operand, problem)) {
            // Names come from file names and DAT files, which anyone may have written.
            std::ostringstream fileOut;
            std::ostringstream fileErr;
            if (!RenameOne(path, dats, request.dryRun, fileOut, fileErr, files))
                status = kExitSomeFailed;
            out << TerminalText(fileOut.str()) << std::flush;
            err << TerminalText(fileErr.str()) << std::flush;
        }
        if (!problem.empty()) {
            err << kTool << ": " << TerminalText(problem) << '\n';
            status = kExitSomeFailed;
        }
    }
    return status;
}

} // namespace quillet
