#include "rom/ImageRepair.h"

#include "base/ByteSource.h"
#include "base/NumberFormat.h"
#include "base/TextSink.h"
#include "rom/CopierFormats.h"
#include "rom/HeaderLayout.h"
#include "rom/ImageScanner.h"
#include "rom/RomAnalysis.h"
#include "rom/RomChecksum.h"

#include <algorithm>

namespace quillet {

namespace {

using namespace layout;

constexpr std::uint64_t kBlockBytes = kRomBlock;

// Mode byte: bit 5 maps the SRAM and bit 4 the program as mode 21 (HiROM); bits 3 and 2 give
// the SRAM the copier lends the game. Bit 7 clear runs the game from its reset vector, and bit
// 6 clear says no further file follows.
constexpr std::uint8_t kSwcMode21 = 0x30;
constexpr std::uint8_t kSwcSram256Kbits = 0x00;
constexpr std::uint8_t kSwcSram64Kbits = 0x04;
constexpr std::uint8_t kSwcSram16Kbits = 0x08;
constexpr std::uint8_t kSwcSramOff = 0x0C;

std::string PlaceText(HeaderPlace place) {
    return "0x" + FormatHex(HeaderAddress(place), 6) + " (" + HeaderPlaceName(place) + ")";
}

std::string Hex16(std::uint16_t value) {
    return "0x" + FormatHex(value, 4);
}

std::string MapText(bool hiRom) {
    return hiRom ? "HiROM" : "LoROM";
}

// The place whose header the analysis (AnalyseRomImage) reads.
HeaderPlace AnalysisPlace(const SNESImageInfo& info) {
    return info.HiRom ? HeaderPlace::HiRom : HeaderPlace::LoRom;
}

ImageDetails Scan(std::span<const std::uint8_t> image, const SNESImageInfo& info) {
    ImageScanner scanner(image.size(), static_cast<std::uint64_t>(info.HeaderSize));
    scanner.Feed(image);
    return scanner.Finish(info);
}

bool Has(const ChecksumReport& report, ChecksumDiagnosis diagnosis) {
    return std::ranges::find(report.diagnosis, diagnosis) != report.diagnosis.end();
}

void PutWord(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint16_t value) {
    bytes[at] = static_cast<std::uint8_t>(value & 0xFF);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

// The data size by the analysis' rule: 512 bytes over whole 8 KiB blocks are a copier header.
std::uint64_t DataBytes(std::uint64_t fileSize) {
    return fileSize % kBlockBytes == kCopierHeaderBytes ? fileSize - kCopierHeaderBytes : fileSize;
}

ChecksumFill FillChecksum(std::vector<std::uint8_t>& data, const ImageDetails& details) {
    if (!details.cartridge) {
        throw ERepairRefused(RepairRefusal::NoInternalHeader,
                             "no internal header: the data (" + FormatByteCount(details.data.size) +
                                 ") ends before its first place, " + PlaceText(HeaderPlace::LoRom));
    }
    const CartridgeHeader& header = *details.cartridge;
    ChecksumFill fill;
    fill.place = details.opinion.place;
    fill.address = header.address;
    fill.oldChecksum = fill.checksum = header.checksum;
    fill.oldComplement = fill.complement = header.complement;
    if (Has(details.checksum, ChecksumDiagnosis::Matches)) {
        // Right already; when only for the declared size, the surplus is what is wrong.
        if (details.checksum.computed != header.checksum)
            fill.matchesDeclaredBytes = DeclaredRomBytes(header);
        return fill;
    }
    if (!LooksLikeHeader(fill.place, header)) {
        throw ERepairRefused(RepairRefusal::NoInternalHeader,
                             "no internal header at " + PlaceText(fill.place) +
                                 ", the likeliest place: neither a title nor a map-mode byte is "
                                 "there, and a checksum written there could overwrite game data");
    }
    // Complement and checksum bytes that add up to 0xFFFF add 0xFF + 0xFF to the sum whatever
    // the checksum is, so the sum taken with any such pair in place is the one to write.
    const std::size_t at = header.address;
    PutWord(data, at + kComplement, 0xFFFF);
    PutWord(data, at + kChecksum, 0x0000);
    MemorySource source(data);
    fill.checksum = ComputeRomChecksum(source, 0);
    fill.complement = static_cast<std::uint16_t>(fill.checksum ^ 0xFFFF);
    PutWord(data, at + kComplement, fill.complement);
    PutWord(data, at + kChecksum, fill.checksum);
    return fill;
}

AddedHeader SwcHeaderFor(std::uint64_t dataBytes, const SNESImageInfo& info) {
    AddedHeader added;
    added.blocks = static_cast<std::uint16_t>(dataBytes / kBlockBytes);
    added.hiRom = info.HiRom;
    CartridgeHeader type;
    type.cartridgeType = static_cast<std::uint8_t>(info.RomType);
    std::uint8_t sramBits = kSwcSramOff;
    if (HasRam(type)) {
        // The smallest the copier offers that holds the header's SRAM; 256 kilobits at most.
        const std::int32_t kbits = info.SramSizeKbits;
        if (kbits > 0 && kbits <= 16) {
            sramBits = kSwcSram16Kbits;
            added.sramKbits = 16;
        } else if (kbits > 0 && kbits <= 64) {
            sramBits = kSwcSram64Kbits;
            added.sramKbits = 64;
        } else {
            sramBits = kSwcSram256Kbits;
            added.sramKbits = 256;
        }
    }
    added.modeByte = static_cast<std::uint8_t>((added.hiRom ? kSwcMode21 : 0) | sramBits);
    return added;
}

std::string Decimal(std::uint64_t value) {
    return FormatDecimal(static_cast<std::int64_t>(value));
}

// The details of data without a copier header.
ImageDetails ScanData(std::span<const std::uint8_t> data) {
    ImageScanner scanner(data.size(), 0);
    scanner.Feed(data);
    return scanner.Finish(AnalyseImageBytes(data));
}

std::string HeaderName(const SNESImageInfo& info, const ImageDetails& details) {
    if (details.data.offset == static_cast<std::uint64_t>(info.HeaderSize))
        return info.FileFormat;
    return CopierFormatName(details.copier->format);
}

std::string WholeBanksText(std::uint64_t dataBytes) {
    return Decimal(dataBytes) +
           " bytes of data, not a whole number of 64 KiB banks: only HiROM data in whole banks "
           "is interleaved";
}

std::string NotInterleavedText(std::uint64_t dataBytes) {
    if (!CanInterleave(dataBytes))
        return WholeBanksText(dataBytes);
    return "not interleaved: no internal header is found with the halves of each 64 KiB bank "
           "swapped, more than one is as the data is";
}

void CheckInterleavable(std::uint64_t dataBytes, const ImageDetails& details) {
    if (!CanInterleave(dataBytes))
        throw ERepairRefused(RepairRefusal::CannotInterleave, WholeBanksText(dataBytes));
    if (!details.cartridge || details.opinion.place != HeaderPlace::HiRom) {
        throw ERepairRefused(RepairRefusal::CannotInterleave,
                             "the internal header is at " + PlaceText(details.opinion.place) +
                                 ", not at " + PlaceText(HeaderPlace::HiRom) +
                                 ": only HiROM data is interleaved");
    }
}

// A copier header kept in front of trimmed data: the formats that count the data in 8 KiB
// blocks in their first two bytes count it again.
void CountBlocksAgain(std::vector<std::uint8_t>& header, std::uint64_t dataBytes,
                      const CopierHeader& copier, std::vector<std::string>& notes) {
    if (copier.format != CopierFormat::SuperWildCard && copier.format != CopierFormat::ProFighter) {
        notes.push_back(std::string("The ") + CopierFormatName(copier.format) +
                        " copier header stays as it was, its size fields untouched.");
        return;
    }
    const auto blocks = static_cast<std::uint16_t>(dataBytes / kBlockBytes);
    header[kCopierBlocks] = static_cast<std::uint8_t>(blocks & 0xFF);
    header[kCopierBlocks + 1] = static_cast<std::uint8_t>(blocks >> 8);
}

Trimming PlanTrim(const ImageDetails& details, std::span<const std::uint8_t> data) {
    if (!details.cartridge) {
        throw ERepairRefused(RepairRefusal::NoInternalHeader,
                             "no internal header to declare the data's size: the data (" +
                                 FormatByteCount(details.data.size) + ") ends before " +
                                 PlaceText(details.opinion.place));
    }
    const std::optional<std::uint64_t> declared = DeclaredRomBytes(*details.cartridge);
    if (!declared || details.data.size <= *declared) {
        throw ERepairRefused(RepairRefusal::NothingToTrim,
                             "nothing to trim: the data (" + FormatByteCount(details.data.size) +
                                 ") is no larger than its internal header declares");
    }
    Trimming trimming{details.data.size, *declared, false, 0};
    const ChecksumReport& report = details.checksum;
    if (Has(report, ChecksumDiagnosis::Padded)) {
        trimming.fill = data.back();
    } else if (Has(report, ChecksumDiagnosis::Overdump)) {
        trimming.overdump = true;
    } else {
        throw ERepairRefused(RepairRefusal::SurplusNeeded,
                             "the " + FormatByteCount(details.data.size - *declared) +
                                 " beyond the " + FormatByteCount(*declared) +
                                 " its internal header declares neither repeat earlier data nor "
                                 "are padding: they may belong to the game");
    }
    return trimming;
}

} // namespace

std::vector<std::uint8_t> StripCopierHeader(std::span<const std::uint8_t> image) {
    return RepairImage(image, {.stripCopierHeader = true}).image;
}

std::vector<std::uint8_t> TrimToDeclaredSize(std::span<const std::uint8_t> data) {
    return RepairImage(data, {.trim = true}).image;
}

void CheckRepairableSize(std::uint64_t fileSize) {
    const std::uint64_t data = DataBytes(fileSize);
    if (data > kLargestRomData) {
        throw ERepairRefused(RepairRefusal::TooLarge,
                             "too large: " + FormatDecimal(static_cast<std::int64_t>(data)) +
                                 " bytes of data, more than the " +
                                 FormatByteCount(kLargestRomData) + " a cartridge can hold");
    }
}

std::array<std::uint8_t, kCopierHeaderBytes> MakeSwcHeader(std::uint16_t blocks,
                                                           std::uint8_t modeByte) {
    std::array<std::uint8_t, kCopierHeaderBytes> header{};
    header[kCopierBlocks] = static_cast<std::uint8_t>(blocks & 0xFF);
    header[kCopierBlocks + 1] = static_cast<std::uint8_t>(blocks >> 8);
    header[kSwcModeByte] = modeByte;
    std::ranges::copy(kSwcSignatureBytes, header.begin() + kSwcSignature);
    return header;
}

RepairResult RepairImage(std::span<const std::uint8_t> image, const RepairRequest& request) {
    CheckRepairableSize(image.size());
    const SNESImageInfo before = AnalyseImageBytes(image);
    const ImageDetails original = Scan(image, before);
    const auto offset = static_cast<std::size_t>(original.data.offset);
    std::vector<std::uint8_t> header(image.begin(), image.begin() + offset);
    std::vector<std::uint8_t> data(image.begin() + offset, image.end());

    RepairResult result;
    if (request.stripCopierHeader) {
        if (offset == 0) {
            throw ERepairRefused(RepairRefusal::NoCopierHeader,
                                 "no copier header to remove: the size is not 512 bytes over a "
                                 "whole number of 8 KiB blocks, and no internal header is found "
                                 "after any other size");
        }
        result.stripped =
            StrippedHeader{offset == static_cast<std::size_t>(before.HeaderSize)
                               ? before.FileFormat
                               : std::string(CopierFormatName(original.copier->format)),
                           offset};
        header.clear();
    }
    if (request.addSwcHeader) {
        if (!header.empty()) {
            throw ERepairRefused(RepairRefusal::HasCopierHeader,
                                 "already has a " + Decimal(header.size()) +
                                     "-byte copier header (" + HeaderName(before, original) + ")");
        }
        if (data.empty()) {
            throw ERepairRefused(RepairRefusal::NotWholeBlocks,
                                 "no data to put a copier header in front of");
        }
        if (data.size() % kBlockBytes != 0) {
            throw ERepairRefused(RepairRefusal::NotWholeBlocks,
                                 FormatDecimal(static_cast<std::int64_t>(data.size())) +
                                     " bytes of data, not a whole number of 8 KiB blocks: a "
                                     "copier header in front of them would not be recognised");
        }
    }

    // The data's details as each step leaves it.
    ImageDetails details = original;
    if (request.deinterleave) {
        if (!original.interleaved)
            throw ERepairRefused(RepairRefusal::NotInterleaved, NotInterleavedText(data.size()));
        data = Deinterleave(data);
        result.reordered = Reordering{false, data.size() / kInterleaveBank};
        details = ScanData(data);
    } else if (original.interleaved &&
               (request.trim || request.fillChecksum || request.interleave)) {
        throw ERepairRefused(RepairRefusal::Interleaved,
                             "the data is interleaved: its internal header is found only with "
                             "the halves of each 64 KiB bank swapped back");
    }
    if (request.trim) {
        result.trimmed = PlanTrim(details, data);
        data.resize(static_cast<std::size_t>(result.trimmed->to));
        details = ScanData(data);
        if (!header.empty())
            CountBlocksAgain(header, data.size(), *original.copier, result.notes);
    }
    if (request.fillChecksum)
        result.checksum = FillChecksum(data, details);
    if (request.interleave) {
        CheckInterleavable(data.size(), details);
        std::vector<std::uint8_t> interleaved = Interleave(data);
        if (!ScanData(interleaved).interleaved) {
            throw ERepairRefused(RepairRefusal::CannotInterleave,
                                 "interleaved, the data would not be recognised as such: its "
                                 "HiROM header does not look enough like one");
        }
        data = std::move(interleaved);
        result.reordered = Reordering{true, data.size() / kInterleaveBank};
    }
    std::optional<SNESImageInfo> bare; // the data as it will be, without a copier header
    if (request.addSwcHeader) {
        // The header follows the map the analysis will read, which a new checksum can change
        // and a header in front of the data cannot.
        bare = AnalyseImageBytes(data);
        result.added = SwcHeaderFor(data.size(), *bare);
        const auto swc = MakeSwcHeader(result.added->blocks, result.added->modeByte);
        header.assign(swc.begin(), swc.end());
    }

    result.image = std::move(header);
    result.image.insert(result.image.end(), data.begin(), data.end());
    result.changed = !std::ranges::equal(result.image, image);

    // Read the result back as the analysis and the second opinion will.
    const SNESImageInfo after = AnalyseImageBytes(result.image);
    if (result.checksum && result.checksum->Changes()) {
        const ImageDetails check = Scan(result.image, after);
        if (check.opinion.place != result.checksum->place) {
            throw ERepairRefused(
                RepairRefusal::OpinionWouldMove,
                "a checksum written at " + PlaceText(result.checksum->place) + " would make " +
                    PlaceText(check.opinion.place) +
                    " look more like the header, so the image would still not verify");
        }
        if (Has(check.checksum, ChecksumDiagnosis::Underdump)) {
            result.notes.push_back("The data is shorter than its header declares: the checksum "
                                   "now matches the data as it is, not the whole cartridge.");
        }
    }
    if (result.checksum && AnalysisPlace(after) != result.checksum->place) {
        MemorySource source(result.image);
        const std::uint16_t verified =
            ComputeRomChecksum(source, static_cast<std::uint64_t>(after.HeaderSize));
        if (verified != static_cast<std::uint16_t>(after.Checksum)) {
            result.notes.push_back(
                "The analysis looks for the checksum at " + PlaceText(AnalysisPlace(after)) +
                ", not at this image's header at " + PlaceText(result.checksum->place) +
                ", so its verification still compares " + Hex16(verified) + " with " +
                Hex16(static_cast<std::uint16_t>(after.Checksum)) + " found there.");
        }
    }
    if (result.added && original.cartridge && !original.interleaved &&
        (original.opinion.place != HeaderPlace::LoRom) != bare->HiRom) {
        result.notes.push_back("The mode bits follow the analysis, which reads the image as " +
                               MapText(bare->HiRom) + "; the second opinion puts the header at " +
                               PlaceText(original.opinion.place) + ".");
    }
    if (after.HiRom != before.HiRom) {
        result.notes.push_back("The analysis now reads the image as " + MapText(after.HiRom) +
                               ", not as " + MapText(before.HiRom) + ".");
    }
    return result;
}

} // namespace quillet
