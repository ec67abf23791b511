#include "cli/QuilletFix.h"

#include "base/ByteSource.h"
#include "base/NumberFormat.h"
#include "base/TextSink.h"
#include "cli/Operands.h"
#include "cli/PatchCommand.h"
#include "cli/RenameFromDat.h"
#include "dat/DatSteps.h"
#include "rom/ImageRepair.h"
#include "rom/ImageScanner.h"
#include "rom/RomAnalysis.h"

#include <algorithm>
#include <optional>
#include <sstream>
#include <vector>

namespace quillet {

namespace {

constexpr const char* kTool = "quillet-fix";

constexpr const char* kHelpBefore =
    "Usage: quillet-fix [OPTION]... FILE...\n"
    "  or:  quillet-fix --make-patch ORIGINAL -o PATCH FILE\n"
    "  or:  quillet-fix --rename-from-dat DAT [--dry-run] PATH...\n"
    "Repairs SNES cartridge images: fills in the internal header's checksum, removes a copier\n"
    "header or adds a Super Wild Card one. Without -o or --in-place nothing is written, and\n"
    "the changes are only shown.\n"
    "\n";

constexpr const char* kHelpAfter =
    "\n"
    "A file is never half written: the result goes to a new file in the same folder, is\n"
    "flushed to the disk and only then renamed over the target, so a failure leaves the\n"
    "target as it was. A replaced file keeps its permissions; it is a new file, so other\n"
    "names of it (hard links) still show it as it was. Two runs on one file take turns.\n"
    "\n"
    "Examples:\n"
    "  quillet-fix --checksum -o fixed.sfc homebrew.sfc\n"
    "  quillet-fix --strip-header --in-place game.smc\n"
    "  quillet-fix --dry-run --checksum --add-header swc game.sfc\n"
    "  quillet-fix --rename-from-dat 'Nintendo - Super Nintendo Entertainment System.dat' roms/\n"
    "  quillet-fix --match-dat snes.dat -o 'Game (USA).sfc' game.smc\n"
    "  quillet-fix --patch translation.bps -o translated.sfc game.smc\n"
    "  quillet-fix --make-patch game.sfc -o hack.bps hack.sfc\n"
    "\n"
    "Exit status: 0 when every file was repaired or needed nothing, 1 when any was refused\n"
    "or could not be written, 2 for a wrong command line.\n";

struct Options {
    RepairRequest request;
    std::optional<std::string> output;
    bool inPlace = false;
    bool force = false;
    bool dryRun = false;
    PatchOptions patching;
    std::vector<std::string> renameDats; // the DAT files whose names --rename-from-dat gives
    std::vector<std::string> matchDats;  // the DAT files whose file --match-dat writes
    std::vector<std::string> files;

    bool Writes() const { return (output || inPlace) && !dryRun; }
};

std::string TakeAddHeader(Options& options, const std::string&, const std::string& format) {
    std::string lower = format;
    std::ranges::transform(lower, lower.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    if (format.empty())
        return "--add-header needs a format: swc";
    if (lower != "swc")
        return "cannot add a header of format '" + format + "': swc is the one there is";
    options.request.addSwcHeader = true;
    return {};
}

std::string TakeOutput(Options& options, const std::string& given, const std::string& file) {
    if (file.empty())
        return given + " needs the name of the file to write";
    options.output = file;
    return {};
}

// Every option, as the parser takes it and --help lists it.
const CommandLine<Options>& FixCommandLine() {
    using O = Option<Options>;
    static const CommandLine<Options> commandLine{
        kTool,
        kHelpBefore,
        22,
        {
            O{.names = {"--checksum"},
              .help = "write the checksum and its complement into the internal header\n"
                      "that quillet-info --details chooses, so that\n"
                      "quillet-info --verify finds them matching",
              .apply =
                  [](Options& options, const std::string&, const std::string&) {
                      options.request.fillChecksum = true;
                      return std::string();
                  }},
            O{.names = {"--strip-header"},
              .help = "remove the copier header: 512 bytes, or the size that\n"
                      "quillet-info --details finds in front of the internal header",
              .apply =
                  [](Options& options, const std::string&, const std::string&) {
                      options.request.stripCopierHeader = true;
                      return std::string();
                  }},
            O{.names = {"--add-header"},
              .value = "swc",
              .help = "put a Super Wild Card header in front, its blocks count and mode\n"
                      "bits set from the data and its memory map; with --strip-header\n"
                      "it replaces the copier header there is",
              .apply = TakeAddHeader},
            O{.names = {"--deinterleave"},
              .help = "put interleaved HiROM data (the upper halves of its 64 KiB banks\n"
                      "first) back in the cartridge's order; a copier header stays",
              .apply =
                  [](Options& options, const std::string&, const std::string&) {
                      options.request.deinterleave = true;
                      return std::string();
                  }},
            O{.names = {"--interleave"},
              .help = "store HiROM data interleaved, for copiers that want it so; a\n"
                      "copier header stays",
              .apply =
                  [](Options& options, const std::string&, const std::string&) {
                      options.request.interleave = true;
                      return std::string();
                  }},
            O{.names = {"--trim"},
              .help = "cut the data to the size its internal header declares, where\n"
                      "the rest repeats earlier data or is one fill byte",
              .apply =
                  [](Options& options, const std::string&, const std::string&) {
                      options.request.trim = true;
                      return std::string();
                  }},
            O{.names = {"--match-dat"},
              .value = "DAT",
              .help = "write the DAT file's own file: the data without a copier header,\n"
                      "after the steps (strip-header, deinterleave, trim-overdump,\n"
                      "trim-padding) that quillet-info --dat reports it matches by.\n"
                      "Refused when the file is that already or nothing makes it match",
              .apply =
                  [](Options& options, const std::string&, const std::string& dat) {
                      if (dat.empty())
                          return std::string("--match-dat needs a DAT file");
                      options.matchDats.push_back(dat);
                      return std::string();
                  }},
            O{.names = {"--patch"},
              .value = "PATCH",
              .help = "apply an IPS, BPS or UPS patch (found by its content) first. A\n"
                      "BPS or UPS patch goes where its source CRC32 matches: the file,\n"
                      "or the data without the copier header, which then goes back in\n"
                      "front with its blocks count updated. An IPS patch goes where the\n"
                      "result's internal checksum matches, else to the file as it is",
              .apply =
                  [](Options& options, const std::string&, const std::string& patch) {
                      if (patch.empty())
                          return std::string("--patch needs the name of the patch file");
                      options.patching.patch = patch;
                      return std::string();
                  }},
            O{.names = {"--patch-file"},
              .help = "apply the patch to the file as it is",
              .apply =
                  [](Options& options, const std::string&, const std::string&) {
                      options.patching.way = PatchWay::File;
                      return std::string();
                  }},
            O{.names = {"--patch-data"},
              .help = "apply the patch to the data without the copier header",
              .apply =
                  [](Options& options, const std::string&, const std::string&) {
                      options.patching.way = PatchWay::Data;
                      return std::string();
                  }},
            O{.names = {"--make-patch"},
              .value = "ORIGINAL",
              .help = "write to -o PATCH a patch that turns ORIGINAL into FILE. It\n"
                      "describes their data without copier headers, which is what\n"
                      "today's patches expect",
              .apply =
                  [](Options& options, const std::string&, const std::string& original) {
                      if (original.empty())
                          return std::string("--make-patch needs the name of the original image");
                      options.patching.makeFrom = original;
                      return std::string();
                  }},
            O{.names = {"--format"},
              .value = "bps|ips",
              .help = "the format --make-patch writes: bps (the default) or ips, which\n"
                      "cannot describe files over 16 MiB",
              .apply =
                  [](Options& options, const std::string&, const std::string& kind) {
                      if (kind == "bps")
                          options.patching.format = PatchFormat::Bps;
                      else if (kind == "ips")
                          options.patching.format = PatchFormat::Ips;
                      else
                          return "cannot make a patch of format '" + kind + "': bps or ips";
                      return std::string();
                  }},
            O{.names = {"--rename-from-dat"},
              .value = "DAT",
              .help = "rename each image whose data the DAT file (or a folder of them)\n"
                      "knows to the ROM's name there, in its own folder; an image with a\n"
                      "copier header keeps its extension. Give it again for more DATs",
              .apply =
                  [](Options& options, const std::string&, const std::string& dat) {
                      if (dat.empty())
                          return std::string("--rename-from-dat needs a DAT file");
                      options.renameDats.push_back(dat);
                      return std::string();
                  }},
            O{.names = {"-o", "--output"},
              .value = "FILE",
              .help = "write the result to FILE (for one input file)",
              .apply = TakeOutput},
            O{.names = {"--in-place"},
              .help = "replace each input file with its result",
              .apply = Switch(&Options::inPlace)},
            O{.names = {"--force"},
              .help = "let -o replace a FILE that exists",
              .apply = Switch(&Options::force)},
            O{.names = {"--dry-run"},
              .help = "say what would change, and write nothing",
              .apply = Switch(&Options::dryRun)},
            HelpOption<Options>(),
            VersionOption<Options>(),
        },
        kHelpAfter,
    };
    return commandLine;
}

bool Repairs(const RepairRequest& r) {
    return r.fillChecksum || r.stripCopierHeader || r.addSwcHeader || r.deinterleave ||
           r.interleave || r.trim;
}

std::string Hex(std::uint32_t value, int digits) {
    return "0x" + FormatHex(value, digits);
}

std::string PlaceText(const ChecksumFill& fill) {
    return Hex(fill.address, 6) + " (" + HeaderPlaceName(fill.place) + ")";
}

// The changes in the past tense once made, or with "would" before they are.
std::vector<std::string> DescribeChanges(const RepairResult& result, bool made) {
    std::vector<std::string> lines;
    if (const auto& stripped = result.stripped) {
        lines.push_back(std::string(made ? "removed" : "would remove") + " the " +
                        FormatDecimal(static_cast<std::int64_t>(stripped->size)) +
                        "-byte copier header (" + stripped->format + ")");
    }
    if (const auto& reordered = result.reordered) {
        const std::string banks =
            FormatDecimal(static_cast<std::int64_t>(reordered->banks)) + " banks of 64 KiB";
        if (reordered->interleaved)
            lines.push_back(std::string(made ? "interleaved" : "would interleave") +
                            " the data: " + banks + ", their upper halves first");
        else
            lines.push_back(std::string(made ? "de-interleaved" : "would de-interleave") +
                            " the data: " + banks + ", each in the cartridge's order");
    }
    if (const auto& trimmed = result.trimmed) {
        lines.push_back(std::string(made ? "cut" : "would cut") + " the data from " +
                        FormatByteCount(trimmed->from) + " to " + FormatByteCount(trimmed->to) +
                        ", the size its header declares: the rest " +
                        (trimmed->overdump
                             ? std::string("repeated earlier data (an overdump)")
                             : "was all 0x" + FormatHex(trimmed->fill, 2) + " (padding)"));
    }
    if (const auto& fill = result.checksum) {
        if (fill->Changes()) {
            lines.push_back(std::string(made ? "set" : "would set") + " the checksum at " +
                            PlaceText(*fill) + " to " + Hex(fill->checksum, 4) +
                            " and its complement to " + Hex(fill->complement, 4) + " (they were " +
                            Hex(fill->oldChecksum, 4) + " and " + Hex(fill->oldComplement, 4) +
                            ")");
        } else if (fill->matchesDeclaredBytes) {
            lines.push_back("the checksum at " + PlaceText(*fill) + ", " + Hex(fill->checksum, 4) +
                            ", is right for the first " +
                            FormatByteCount(*fill->matchesDeclaredBytes) +
                            ", the size the header declares; the rest of the data is left as it "
                            "is");
        } else {
            lines.push_back("the checksum at " + PlaceText(*fill) +
                            " is right already: " + Hex(fill->checksum, 4));
        }
    }
    if (const auto& added = result.added) {
        std::string sram = "no SRAM";
        if (added->sramKbits)
            sram = FormatDecimal(*added->sramKbits) + " kbit SRAM";
        lines.push_back(std::string(made ? "added" : "would add") +
                        " a Super Wild Card header: " + FormatDecimal(added->blocks) +
                        " blocks of 8 KiB, mode byte " + Hex(added->modeByte, 2) + " (" +
                        (added->hiRom ? "HiROM, mode 21" : "LoROM, mode 20") + ", " + sram + ")");
    }
    for (const std::string& note : result.notes)
        lines.push_back("note: " + note);
    return lines;
}

std::string Quoted(const std::string& name) {
    return "'" + name + "'";
}

// The DAT's file for `image`: its data without a copier header, after the steps that make it
// match. Throws ERepairRefused when the image is that file already or nothing makes it one.
RepairResult DatFileOf(std::span<const std::uint8_t> image, const std::string& path,
                       const DatCollection& dats) {
    DigestSet whole;
    whole.Update(image);
    const Digests file = whole.Finish();
    if (const auto hit = dats.Find(file.sha256, file.sha1, file.crc32, image.size())) {
        throw ERepairRefused(RepairRefusal::AlreadyDatFile,
                             "already the DAT's file " + Quoted(hit->rom) + " of " +
                                 Quoted(hit->game) + ": nothing to write");
    }
    const SNESImageInfo info = AnalyseImageBytes(image);
    ImageScanner scanner(image.size(), static_cast<std::uint64_t>(info.HeaderSize));
    scanner.Feed(image);
    const ImageDetails details = scanner.Finish(info);
    const auto data = image.subspan(static_cast<std::size_t>(details.data.offset));

    RepairResult result;
    std::string how;
    std::optional<DatHit> hit;
    const DatMatch asItIs = MatchInDats(dats, details);
    if (asItIs.kind != DatMatchKind::None) {
        result.image.assign(data.begin(), data.end());
        hit = DatHit{asItIs.game, asItIs.rom, asItIs.source};
    } else if (auto found = FindViaSteps(dats, data, &details)) {
        for (const DatStep step : found->steps)
            how += (how.empty() ? " after " : ", then ") + std::string(DatStepCode(step));
        result.image = std::move(found->bytes);
        hit = std::move(found->hit);
    } else {
        const DatMatch none = MatchInDatsVia(dats, details, data, path);
        throw ERepairRefused(RepairRefusal::NoDatMatch,
                             "nothing makes it match the DAT files, as it is or after the steps "
                             "quillet-info --dat tries. " +
                                 none.explanation);
    }
    if (details.data.offset > 0)
        how = " without its " + FormatDecimal(static_cast<std::int64_t>(details.data.offset)) +
              "-byte copier header" + (how.empty() ? "" : "," + how);
    result.changed = true;
    result.notes.push_back("the data" + how + " is the DAT's file " + Quoted(hit->rom) + " of " +
                           Quoted(hit->game) + " (" + hit->source + ")");
    return result;
}

std::string TargetExistsText(const std::string& target) {
    return std::string(kTool) + ": " + target + " exists; give --force to replace it\n";
}

// Repairs one file and writes or shows the result; false when it was refused or failed.
bool FixOne(const std::string& path, const Options& options, const DatCollection& dats,
            std::ostream& out, std::ostream& err, FileLayer& files) {
    const std::string target = options.output.value_or(path);
    const bool replace = options.inPlace || options.force;
    if (options.output && !options.force && files.Exists(target)) {
        err << TargetExistsText(target);
        return false;
    }

    // Held from before it is read until it is replaced, so that another repair of the same
    // file waits for this one, and a change by anything else is seen before the rename.
    std::unique_ptr<HeldFile> held;
    if (options.Writes() && replace && files.KindOf(target) == FileKind::Regular) {
        try {
            held = files.Hold(target);
        } catch (const EWriteFailure& failure) {
            err << kTool << ": " << path << ": cannot replace " << target << ": "
                << failure.Message() << '\n';
            return false;
        }
    }

    RepairResult result;
    std::optional<PatchOutcome> patched;
    try {
        const std::vector<std::uint8_t> image = ReadImageFile(path);
        if (!options.matchDats.empty()) {
            result = DatFileOf(image, path, dats);
        } else if (options.patching.patch) {
            patched = ApplyPatchFile(*options.patching.patch, image, options.patching.way);
            const RepairRequest& r = options.request;
            if (Repairs(r))
                result = RepairImage(patched->image, r);
            else
                result.image = std::move(patched->image);
            result.changed = !std::ranges::equal(result.image, image);
        } else {
            result = RepairImage(image, options.request);
        }
    } catch (const EPatchRefused& refusal) {
        err << kTool << ": " << path << ": " << refusal.Message() << '\n';
        return false;
    } catch (const ERepairRefused& refusal) {
        err << kTool << ": " << path << ": " << refusal.Message();
        if (refusal.Reason() == RepairRefusal::HasCopierHeader)
            err << "; give --strip-header as well to replace it";
        if (refusal.Reason() == RepairRefusal::Interleaved)
            err << "; give --deinterleave as well";
        err << '\n';
        return false;
    } catch (const Exception& failure) { // cannot be opened or read
        err << kTool << ": " << failure.Message() << '\n';
        return false;
    }

    // What the patch did comes before the repairs made to its result.
    const auto describe = [&](bool made) {
        std::vector<std::string> lines;
        if (patched)
            lines = DescribePatchLines(*patched, made);
        for (std::string& line : DescribeChanges(result, made))
            lines.push_back(std::move(line));
        return lines;
    };
    if (!options.Writes()) {
        for (const std::string& line : describe(false))
            out << path << ": " << line << '\n';
        out << path << ": nothing written"
            << (options.dryRun ? " (--dry-run)"
                               : "; give -o FILE or --in-place to write the result")
            << '\n';
        return true;
    }

    const bool rewrite = result.changed || options.output;
    if (rewrite) {
        try {
            WriteFileSafely(files, target, result.image, replace, held.get());
        } catch (const ETargetExists&) {
            err << TargetExistsText(target);
            return false;
        } catch (const ETargetChanged& failure) {
            err << kTool << ": " << path << ": " << failure.Message() << "; nothing was written\n";
            return false;
        } catch (const EWriteFailure& failure) {
            const bool existed = files.Exists(target);
            err << kTool << ": " << path << ": " << failure.Message() << "; "
                << (existed ? target + " is as it was" : "nothing was written") << '\n';
            return false;
        }
    }
    for (const std::string& line : describe(true))
        out << path << ": " << line << '\n';
    if (rewrite && held && held->LinkCount() > 1) {
        out << path << ": note: " << target << " has " << held->LinkCount()
            << " names (hard links); the other names still show the file as it was\n";
    }
    if (options.output)
        out << path << ": wrote " << target << (result.changed ? "" : " (unchanged)") << '\n';
    else
        out << path << (rewrite ? ": rewritten in place" : ": unchanged, nothing to write") << '\n';
    return true;
}

std::optional<Options> ParseArguments(std::span<const std::string> arguments, std::ostream& out,
                                      std::ostream& err, int& exitStatus) {
    Options options;
    const auto usageError = [&](const std::string& problem) {
        exitStatus = UsageError(err, kTool, problem);
        return std::nullopt;
    };
    if (!ReadCommandLine(FixCommandLine(), arguments, options, options.files, out, err, exitStatus))
        return std::nullopt;
    const RepairRequest& r = options.request;
    const bool repairs = Repairs(r);
    if (!options.matchDats.empty() && (repairs || options.patching.patch ||
                                       options.patching.makeFrom || !options.renameDats.empty()))
        return usageError("--match-dat writes the DAT's file: give it without other repairs");
    if (!options.renameDats.empty()) {
        if (repairs || options.patching.patch || options.patching.makeFrom || options.output ||
            options.inPlace)
            return usageError("--rename-from-dat renames files only: give it in a run of its own");
        if (options.files.empty())
            return usageError("no image file given");
        return options;
    }
    if (const auto problem =
            PatchOptionsProblem(options.patching, repairs, options.output.has_value(),
                                options.inPlace, options.files.size()))
        return usageError(*problem);
    if (!repairs && !options.patching.patch && !options.patching.makeFrom &&
        options.matchDats.empty())
        return usageError("nothing to do: give --checksum, --strip-header or --add-header swc");
    if (r.interleave && r.deinterleave)
        return usageError("--interleave and --deinterleave exclude each other");
    if (options.files.empty())
        return usageError("no image file given");
    if (options.output && options.inPlace)
        return usageError("-o and --in-place exclude each other");
    if (options.output && options.files.size() > 1)
        return usageError("-o takes one input file; give --in-place to repair several");
    return options;
}

} // namespace

std::vector<OptionSpelling> QuilletFixOptions() {
    return ListedOptions(FixCommandLine());
}

int RunQuilletFix(std::span<const std::string> arguments, std::ostream& out, std::ostream& err,
                  FileLayer& files) {
    int exitStatus = kExitSuccess;
    const std::optional<Options> options = ParseArguments(arguments, out, err, exitStatus);
    if (!options)
        return exitStatus;
    if (options->patching.makeFrom) {
        std::ostringstream patchOut;
        std::ostringstream patchErr;
        exitStatus = MakePatchCommand(
            {*options->patching.makeFrom, options->files.front(), *options->output,
             options->patching.format.value_or(PatchFormat::Bps), options->force, options->dryRun},
            patchOut, patchErr, files);
        out << TerminalText(patchOut.str()) << std::flush;
        err << TerminalText(patchErr.str()) << std::flush;
        return exitStatus;
    }
    if (!options->renameDats.empty())
        return RenameFromDat({options->renameDats, options->files, options->dryRun}, out, err,
                             files);
    DatCollection dats;
    try {
        LoadDats(dats, options->matchDats);
    } catch (const EDatError& failure) {
        err << kTool << ": " << TerminalText(failure.Message()) << '\n';
        return kExitUsage;
    }
    for (const std::string& file : options->files) {
        // File names may hold anything: what is said of each file is shown safely.
        std::ostringstream fileOut;
        std::ostringstream fileErr;
        const bool fixed = FixOne(file, *options, dats, fileOut, fileErr, files);
        out << TerminalText(fileOut.str()) << std::flush;
        err << TerminalText(fileErr.str()) << std::flush;
        if (!fixed)
            exitStatus = kExitSomeFailed;
    }
    return exitStatus;
}

} // namespace quillet
