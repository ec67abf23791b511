#include "rom/PatchFile.h"

#include "base/ByteSource.h"
#include "base/NumberFormat.h"
#include "rom/ImageRepair.h"

namespace quillet {

namespace {

std::vector<std::uint8_t> ReadAll(FileSource& file) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.Size()));
    ReadExactly(file, 0, bytes);
    return bytes;
}

} // namespace

std::vector<std::uint8_t> ReadPatchInput(const std::string& path, const char* what) {
    FileSource file(path);
    if (file.Size() > kLargestPatchInput) {
        throw EPatchRefused(path + " is too large for " + what + ": " +
                            FormatByteCount(file.Size()) + ", more than " +
                            FormatByteCount(kLargestPatchInput));
    }
    return ReadAll(file);
}

std::vector<std::uint8_t> ReadImageFile(const std::string& path) {
    FileSource file(path);
    // Refused before it is read: a file of gigabytes is no cartridge.
    CheckRepairableSize(file.Size());
    return ReadAll(file);
}

PatchOutcome ApplyPatchFile(const std::string& patchPath, std::span<const std::uint8_t> image,
                            PatchWay way) {
    const std::vector<std::uint8_t> patch = ReadPatchInput(patchPath, "a patch");
    return ApplyPatch(image, patch, way);
}

std::vector<std::string> DescribePatchLines(const PatchOutcome& outcome, bool made) {
    std::vector<std::string> lines{DescribePatching(outcome, made)};
    for (const std::string& note : outcome.notes)
        lines.push_back("note: " + note);
    return lines;
}

} // namespace quillet
