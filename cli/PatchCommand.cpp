#include "cli/PatchCommand.h"

#include "base/NumberFormat.h"
#include "cli/CommandLine.h"
#include "rom/HeaderLayout.h"
#include "rom/ImageRepair.h"
#include "rom/PatchMaker.h"

namespace quillet {

namespace {

constexpr const char* kTool = "quillet-fix";

// The data without a copier header, by the analysis' rule.
std::span<const std::uint8_t> DataOf(std::span<const std::uint8_t> image) {
    if (image.size() % layout::kRomBlock == kCopierHeaderBytes)
        return image.subspan(kCopierHeaderBytes);
    return image;
}

} // namespace

std::optional<std::string> PatchOptionsProblem(const PatchOptions& patching, bool repairs,
                                               bool hasOutput, bool inPlace,
                                               std::size_t fileCount) {
    if (patching.way != PatchWay::Choose && !patching.patch)
        return "--patch-file and --patch-data go with --patch";
    if (patching.format && !patching.makeFrom)
        return "--format goes with --make-patch";
    if (!patching.makeFrom)
        return std::nullopt;
    if (patching.patch || repairs || inPlace)
        return "--make-patch goes with -o PATCH and one FILE, and no repairs";
    if (!hasOutput)
        return "--make-patch needs -o and the name of the patch to write";
    if (fileCount != 1)
        return "--make-patch takes one FILE, the image the patch makes";
    return std::nullopt;
}

int MakePatchCommand(const MakePatchRequest& request, std::ostream& out, std::ostream& err,
                     FileLayer& files) {
    const std::string& file = request.file;
    if (!request.force && !request.dryRun && files.Exists(request.output)) {
        err << kTool << ": " << request.output << " exists; give --force to replace it\n";
        return kExitSomeFailed;
    }
    std::vector<std::uint8_t> patch;
    bool headers = false;
    try {
        const std::vector<std::uint8_t> original = ReadPatchInput(request.original, "a patch");
        const std::vector<std::uint8_t> target = ReadPatchInput(file, "a patch");
        const auto from = DataOf(original);
        const auto to = DataOf(target);
        headers = from.size() != original.size() || to.size() != target.size();
        patch = request.format == PatchFormat::Ips ? MakeIps(from, to) : MakeBps(from, to);
    } catch (const EPatchRefused& refusal) {
        err << kTool << ": " << file << ": " << refusal.Message() << '\n';
        return kExitSomeFailed;
    } catch (const Exception& failure) { // cannot be opened or read
        err << kTool << ": " << failure.Message() << '\n';
        return kExitSomeFailed;
    }

    const std::string what = std::string(request.format == PatchFormat::Ips ? "an " : "a ") +
                             PatchFormatName(request.format) + " patch of " +
                             FormatDecimal(static_cast<std::int64_t>(patch.size())) +
                             " bytes that turns " + request.original + " into " + file;
    const std::string headerNote =
        headers ? file + ": note: the patch leaves out the copier headers, as today's patches do\n"
                : "";
    if (request.dryRun) {
        out << file << ": would write " << what << " to " << request.output << '\n'
            << headerNote << file << ": nothing written (--dry-run)\n";
        return kExitSuccess;
    }
    try {
        WriteFileSafely(files, request.output, patch, request.force);
    } catch (const ETargetExists&) {
        err << kTool << ": " << request.output << " exists; give --force to replace it\n";
        return kExitSomeFailed;
    } catch (const EWriteFailure& failure) {
        const bool existed = files.Exists(request.output);
        err << kTool << ": " << file << ": " << failure.Message() << "; "
            << (existed ? request.output + " is as it was" : "nothing was written") << '\n';
        return kExitSomeFailed;
    }
    out << file << ": wrote " << what << " to " << request.output << '\n' << headerNote;
    return kExitSuccess;
}

} // namespace quillet
