#include "rom/PatchApply.h"

#include "base/ByteSource.h"
#include "base/NumberFormat.h"
#include "base/TextSink.h"
#include "rom/Digests.h"
#include "rom/HeaderLayout.h"
#include "rom/ImageRepair.h"
#include "rom/RomAnalysis.h"
#include "rom/RomChecksum.h"

#include <algorithm>

namespace quillet {

namespace {

using layout::kCopierBlocks;
using layout::kRomBlock;

// The analysis' rule: 512 bytes over whole 8 KiB blocks are a copier header.
bool HasCopierHeader(std::uint64_t fileSize) {
    return fileSize % kRomBlock == kCopierHeaderBytes;
}

std::uint64_t DataBytesOf(std::uint64_t fileSize) {
    return HasCopierHeader(fileSize) ? fileSize - kCopierHeaderBytes : fileSize;
}

void CheckResultData(std::uint64_t dataBytes) {
    if (dataBytes > kLargestRomData) {
        throw EPatchRefused("the result would hold " +
                            FormatDecimal(static_cast<std::int64_t>(dataBytes)) +
                            " bytes of data, more than the " + FormatByteCount(kLargestRomData) +
                            " a cartridge can hold");
    }
}

// The image's copier header, to go back in front of `dataSize` bytes of new data: its blocks
// count set for that size where the header is one whose format keeps the count there.
std::vector<std::uint8_t> HeaderFor(std::span<const std::uint8_t> image, std::uint64_t dataSize,
                                    PatchOutcome& outcome) {
    std::vector<std::uint8_t> result(image.begin(), image.begin() + kCopierHeaderBytes);
    const SNESImageInfo info = AnalyseImageBytes(image);
    if (info.CopierHeaderKnown) {
        const std::uint64_t blocks = (dataSize + kRomBlock - 1) / kRomBlock;
        const auto count = static_cast<std::uint16_t>(blocks);
        result[kCopierBlocks] = static_cast<std::uint8_t>(count & 0xFF);
        result[kCopierBlocks + 1] = static_cast<std::uint8_t>(count >> 8);
        outcome.copierBlocks = count;
    } else {
        outcome.notes.push_back("The copier header is of no format the analysis knows, so it "
                                "went back as it was, its size fields untouched.");
    }
    if (dataSize % kRomBlock != 0) {
        outcome.notes.push_back("The patched data is not a whole number of 8 KiB blocks, so the "
                                "copier header in front of it will not be recognised.");
    }
    return result;
}

std::string CrcRefusal(std::uint32_t wanted, std::span<const std::uint8_t> image,
                       std::uint32_t fileCrc) {
    std::string text = "This patch is for an image whose CRC32 is " + CrcText(wanted) +
                       "; this file's is " + CrcText(fileCrc);
    if (HasCopierHeader(image.size())) {
        text += ", and its data's without the copier header is " +
                CrcText(Crc32Of(image.subspan(kCopierHeaderBytes)));
    } else {
        text += ", and it has no copier header to leave out";
    }
    return text;
}

PatchOutcome ApplyChecked(std::span<const std::uint8_t> image, std::span<const std::uint8_t> patch,
                          PatchWay way) {
    const CheckedPatch header = ReadCheckedPatch(patch);
    PatchOutcome outcome;
    outcome.format = header.format;
    const bool headered = HasCopierHeader(image.size());
    const std::uint32_t fileCrc = Crc32Of(image);
    const std::string crc = CrcText(header.sourceCrc);

    bool toData = false;
    if (way != PatchWay::Data && fileCrc == header.sourceCrc) {
        outcome.reason = "its source CRC32, " + crc + ", is the file's";
    } else if (way != PatchWay::File && headered &&
               Crc32Of(image.subspan(kCopierHeaderBytes)) == header.sourceCrc) {
        toData = true;
        outcome.reason =
            "its source CRC32, " + crc + ", is that of the data without the copier header";
    } else if (way == PatchWay::Data && !headered && fileCrc == header.sourceCrc) {
        // Without a copier header the data is the file.
        outcome.reason = "its source CRC32, " + crc + ", is the file's, which has no copier header";
    } else {
        throw EPatchRefused(CrcRefusal(header.sourceCrc, image, fileCrc));
    }

    if (!toData) {
        CheckResultData(DataBytesOf(header.targetSize));
        outcome.image = ApplyCheckedPatch(header, patch, image);
        return outcome;
    }
    CheckResultData(header.targetSize);
    outcome.target = PatchTarget::Data;
    // The patched data is made behind the header, not copied there.
    outcome.image = ApplyCheckedPatch(header, patch, image.subspan(kCopierHeaderBytes),
                                      HeaderFor(image, header.targetSize, outcome));
    return outcome;
}

// One way of applying an IPS patch, made only if its result fits a cartridge.
struct IpsTry {
    PatchTarget target;
    std::optional<std::vector<std::uint8_t>> image;
    std::optional<std::string> tooLarge; // why it was not made: it cannot be taken
    std::optional<std::uint16_t> copierBlocks;
    std::vector<std::string> notes;
    bool matches = false;
};

IpsTry TryIps(const IpsPatch& ips, std::span<const std::uint8_t> patch,
              std::span<const std::uint8_t> image, PatchTarget target) {
    IpsTry attempt{target, {}, {}, {}, {}, false};
    try {
        switch (target) {
        case PatchTarget::File:
            CheckResultData(DataBytesOf(ips.ResultSize(image.size())));
            attempt.image = ApplyIps(ips, patch, image);
            break;
        case PatchTarget::Data: {
            const auto data = image.subspan(kCopierHeaderBytes);
            const std::uint64_t size = ips.ResultSize(data.size());
            CheckResultData(size);
            PatchOutcome put;
            // The header, then the data patched where it is.
            std::vector<std::uint8_t> result = HeaderFor(image, size, put);
            result.reserve(kCopierHeaderBytes +
                           static_cast<std::size_t>(std::max(size, ips.WrittenEnd())));
            result.insert(result.end(), data.begin(), data.end());
            ApplyIpsInPlace(ips, patch, result, kCopierHeaderBytes);
            attempt.image = std::move(result);
            attempt.copierBlocks = put.copierBlocks;
            attempt.notes = std::move(put.notes);
            break;
        }
        case PatchTarget::AddedHeader: {
            const std::uint64_t size = ips.ResultSize(kCopierHeaderBytes + image.size());
            CheckResultData(size > kCopierHeaderBytes ? size - kCopierHeaderBytes : 0);
            // A header of zeros, the image, both patched where they are, and the header cut off.
            std::vector<std::uint8_t> result;
            result.reserve(static_cast<std::size_t>(
                std::max<std::uint64_t>(kCopierHeaderBytes + image.size(), ips.WrittenEnd())));
            result.resize(kCopierHeaderBytes);
            result.insert(result.end(), image.begin(), image.end());
            ApplyIpsInPlace(ips, patch, result);
            result.erase(result.begin(),
                         result.begin() + std::min(result.size(), kCopierHeaderBytes));
            attempt.image = std::move(result);
            if (ips.WritesBefore(kCopierHeaderBytes)) {
                attempt.notes.push_back("What the patch writes to the copier header was left "
                                        "out, as the image has none.");
            }
            break;
        }
        }
    } catch (const EPatchRefused& refusal) {
        attempt.tooLarge = refusal.Message();
        return attempt;
    }
    attempt.matches = InternalChecksumMatches(*attempt.image);
    return attempt;
}

PatchOutcome Take(IpsTry& attempt, std::string reason) {
    if (attempt.tooLarge)
        throw EPatchRefused(*attempt.tooLarge);
    PatchOutcome outcome;
    outcome.format = PatchFormat::Ips;
    outcome.image = std::move(*attempt.image);
    outcome.target = attempt.target;
    outcome.reason = std::move(reason);
    outcome.copierBlocks = attempt.copierBlocks;
    outcome.notes = std::move(attempt.notes);
    return outcome;
}

PatchOutcome ApplyIpsChoosing(std::span<const std::uint8_t> image,
                              std::span<const std::uint8_t> patch, PatchWay way) {
    const IpsPatch ips = ReadIps(patch);
    const bool headered = HasCopierHeader(image.size());
    if (way == PatchWay::File || (way == PatchWay::Data && !headered)) {
        IpsTry file = TryIps(ips, patch, image, PatchTarget::File);
        return Take(file, "as asked");
    }
    if (way == PatchWay::Data) {
        IpsTry data = TryIps(ips, patch, image, PatchTarget::Data);
        return Take(data, "as asked");
    }
    if (headered && ips.WritesBefore(kCopierHeaderBytes)) {
        IpsTry file = TryIps(ips, patch, image, PatchTarget::File);
        return Take(file, "a record writes inside the first 512 bytes, so the patch was made for "
                          "images with a copier header");
    }
    IpsTry file = TryIps(ips, patch, image, PatchTarget::File);
    IpsTry other =
        TryIps(ips, patch, image, headered ? PatchTarget::Data : PatchTarget::AddedHeader);
    if (other.matches && !file.matches)
        return Take(other, "only that result has a matching internal checksum");
    if (file.matches && !other.matches)
        return Take(file, "only that result has a matching internal checksum");
    PatchOutcome outcome =
        Take(file, std::string("the choice could not be checked, as ") +
                       (file.matches ? "both results have" : "neither result has") +
                       " a matching internal checksum; IPS patches go to the file as it is");
    outcome.unchecked = true;
    return outcome;
}

} // namespace

bool InternalChecksumMatches(std::span<const std::uint8_t> image) {
    try {
        const SNESImageInfo info = AnalyseImageBytes(image);
        MemorySource source(image);
        const auto dataStart = static_cast<std::uint64_t>(info.HeaderSize);
        if (image.size() <= dataStart)
            return false;
        return ComputeRomChecksum(source, dataStart) == static_cast<std::uint16_t>(info.Checksum);
    } catch (const Exception&) {
        return false; // too large for the analysis: no cartridge
    }
}

PatchOutcome ApplyPatch(std::span<const std::uint8_t> image, std::span<const std::uint8_t> patch,
                        PatchWay way) {
    const std::optional<PatchFormat> format = DetectPatchFormat(patch);
    if (!format) {
        throw EPatchRefused(
            "not a patch: it starts with none of \"PATCH\" (IPS), \"BPS1\" and \"UPS1\"");
    }
    CheckResultData(DataBytesOf(image.size()));
    if (*format == PatchFormat::Ips)
        return ApplyIpsChoosing(image, patch, way);
    return ApplyChecked(image, patch, way);
}

std::string DescribePatching(const PatchOutcome& outcome, bool made) {
    std::string text = std::string(made ? "applied" : "would apply") + " the " +
                       PatchFormatName(outcome.format) + " patch ";
    switch (outcome.target) {
    case PatchTarget::File:
        text += "to the file as it is";
        break;
    case PatchTarget::Data:
        text += "to the data without the copier header";
        break;
    case PatchTarget::AddedHeader:
        text += "as if a copier header stood in front of the image, which has none";
        break;
    }
    text += ": " + outcome.reason;
    if (outcome.copierBlocks) {
        text += "; the copier header goes back in front with its blocks count set to " +
                FormatDecimal(*outcome.copierBlocks) + " (of 8 KiB)";
    } else if (outcome.target == PatchTarget::Data) {
        text += "; the copier header goes back in front";
    }
    return text;
}

} // namespace quillet
