#include "rom/PatchFormats.h"

#include "base/NumberFormat.h"
#include "rom/Digests.h"

#include <algorithm>
#include <cstring>

namespace quillet {

namespace {

constexpr std::uint8_t kIpsMagic[] = {'P', 'A', 'T', 'C', 'H'};
constexpr std::uint8_t kBpsMagic[] = {'B', 'P', 'S', '1'};
constexpr std::uint8_t kUpsMagic[] = {'U', 'P', 'S', '1'};
constexpr std::uint32_t kIpsEof = 0x454F46; // "EOF" where an offset would be
constexpr std::size_t kIpsTruncationBytes = 3;
constexpr std::size_t kCrcBytes = 4;
constexpr std::size_t kFooterBytes = 3 * kCrcBytes; // source, target, patch

bool StartsWith(std::span<const std::uint8_t> bytes, std::span<const std::uint8_t> magic) {
    return bytes.size() >= magic.size() && std::equal(magic.begin(), magic.end(), bytes.begin());
}

std::string At(std::uint64_t position) {
    return FormatDecimal(static_cast<std::int64_t>(position));
}

std::uint32_t ReadLe32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return std::uint32_t{bytes[at]} | std::uint32_t{bytes[at + 1]} << 8 |
           std::uint32_t{bytes[at + 2]} << 16 | std::uint32_t{bytes[at + 3]} << 24;
}

// Reads the patch's bytes in order, refusing to go past `end`.
class PatchReader {
public:
    PatchReader(std::span<const std::uint8_t> patch, std::size_t at, std::size_t end,
                const char* format)
        : patch_(patch), at_(at), end_(end), format_(format) {}

    std::size_t Position() const { return at_; }
    bool AtEnd() const { return at_ >= end_; }
    std::size_t Left() const { return end_ - at_; }

    std::uint8_t Byte() {
        if (at_ >= end_)
            Truncated();
        return patch_[at_++];
    }

    std::span<const std::uint8_t> Bytes(std::uint64_t count) {
        if (count > Left())
            Truncated();
        const std::span<const std::uint8_t> bytes =
            patch_.subspan(at_, static_cast<std::size_t>(count));
        at_ += static_cast<std::size_t>(count);
        return bytes;
    }

    std::uint32_t BigEndian(int width) {
        std::uint32_t value = 0;
        for (int i = 0; i < width; ++i)
            value = value << 8 | Byte();
        return value;
    }

    std::uint64_t Number() {
        std::uint64_t value = 0;
        std::uint64_t shift = 1;
        for (;;) {
            const std::uint8_t byte = Byte();
            // Nine bytes hold any size there can be; more is a damaged patch.
            if (shift > std::uint64_t{1} << 56) {
                throw EPatchRefused(std::string("the ") + format_ +
                                    " patch has a number too large for any file at byte " +
                                    At(at_ - 1));
            }
            value += (byte & 0x7F) * shift;
            if ((byte & 0x80) != 0)
                return value;
            shift <<= 7;
            value += shift;
        }
    }

    [[noreturn]] void Truncated() const {
        throw EPatchRefused(std::string("the ") + format_ +
                            " patch is truncated: it ends at byte " + At(end_) +
                            " in the middle of a record");
    }

private:
    std::span<const std::uint8_t> patch_;
    std::size_t at_;
    std::size_t end_;
    const char* format_;
};

[[noreturn]] void PastBounds(const char* format, const std::string& what, std::size_t at) {
    throw EPatchRefused(std::string("the ") + format + " patch " + what + " (at byte " + At(at) +
                        " of the patch)");
}

// The target is appended to `target`, which holds what goes in front of it.
void ApplyBps(const CheckedPatch& header, std::span<const std::uint8_t> patch,
              std::span<const std::uint8_t> source, std::vector<std::uint8_t>& target) {
    const std::uint64_t targetSize = header.targetSize;
    const std::size_t base = target.size();
    PatchReader reader(patch, header.bodyAt, header.bodyEnd, "BPS");
    std::uint64_t out = 0;
    std::int64_t sourceRelative = 0;
    std::int64_t targetRelative = 0;
    // Appended: the bytes are written once, never cleared first.
    const auto append = [&target](std::span<const std::uint8_t> bytes) {
        target.insert(target.end(), bytes.begin(), bytes.end());
    };
    const auto signedOffset = [&reader] {
        const std::uint64_t number = reader.Number();
        const auto magnitude = static_cast<std::int64_t>(number >> 1);
        return (number & 1) != 0 ? -magnitude : magnitude;
    };
    while (!reader.AtEnd()) {
        const std::size_t actionAt = reader.Position();
        const std::uint64_t number = reader.Number();
        const std::uint64_t length = (number >> 2) + 1;
        if (length > targetSize - out)
            PastBounds("BPS", "writes past the end of its target", actionAt);
        const auto count = static_cast<std::size_t>(length);
        switch (static_cast<BpsAction>(number & 3)) {
        case kSourceRead:
            if (out + length > source.size())
                PastBounds("BPS", "reads past the end of its source", actionAt);
            append(source.subspan(static_cast<std::size_t>(out), count));
            break;
        case kTargetRead:
            append(reader.Bytes(length));
            break;
        case kSourceCopy:
            sourceRelative += signedOffset();
            if (sourceRelative < 0 || static_cast<std::uint64_t>(sourceRelative) > source.size() ||
                length > source.size() - static_cast<std::uint64_t>(sourceRelative))
                PastBounds("BPS", "copies from outside its source", actionAt);
            append(source.subspan(static_cast<std::size_t>(sourceRelative), count));
            sourceRelative += static_cast<std::int64_t>(length);
            break;
        case kTargetCopy: {
            targetRelative += signedOffset();
            if (targetRelative < 0 || static_cast<std::uint64_t>(targetRelative) >= out)
                PastBounds("BPS", "copies from a part of its target not yet written", actionAt);
            // The copy may overlap what it writes, repeating a pattern: byte by byte.
            const std::size_t at = target.size();
            target.resize(at + count);
            std::uint8_t* to = target.data() + at;
            const std::uint8_t* from = target.data() + base + targetRelative;
            for (std::size_t i = 0; i < count; ++i)
                to[i] = from[i];
            targetRelative += static_cast<std::int64_t>(length);
            break;
        }
        }
        out += length;
    }
    if (out != targetSize) {
        throw EPatchRefused("the BPS patch is truncated: it makes " + At(out) + " of the " +
                            At(targetSize) + " bytes its target has");
    }
}

// The target is appended to `result`, which holds what goes in front of it.
void ApplyUps(const CheckedPatch& header, std::span<const std::uint8_t> patch,
              std::span<const std::uint8_t> source, std::vector<std::uint8_t>& result) {
    const std::uint64_t targetSize = header.targetSize;
    const std::size_t base = result.size();
    // Beyond its end the source reads as zeros.
    const auto kept =
        source.first(static_cast<std::size_t>(std::min<std::uint64_t>(source.size(), targetSize)));
    result.insert(result.end(), kept.begin(), kept.end());
    result.resize(base + static_cast<std::size_t>(targetSize));
    const std::span<std::uint8_t> target = std::span(result).subspan(base);
    PatchReader reader(patch, header.bodyAt, header.bodyEnd, "UPS");
    std::uint64_t at = 0;
    while (!reader.AtEnd()) {
        const std::size_t hunkAt = reader.Position();
        const std::uint64_t skip = reader.Number();
        if (skip > targetSize - std::min(at, targetSize))
            PastBounds("UPS", "skips past the end of its target", hunkAt);
        at += skip;
        for (;;) {
            const std::uint8_t byte = reader.Byte();
            if (byte == 0)
                break;
            if (at >= targetSize)
                PastBounds("UPS", "writes past the end of its target", reader.Position() - 1);
            target[static_cast<std::size_t>(at)] ^= byte;
            ++at;
        }
        ++at; // the zero that ends a hunk stands for an unchanged byte
    }
}

} // namespace

const char* PatchFormatName(PatchFormat format) {
    switch (format) {
    case PatchFormat::Ips:
        return "IPS";
    case PatchFormat::Bps:
        return "BPS";
    case PatchFormat::Ups:
        return "UPS";
    }
    return "?";
}

std::optional<PatchFormat> DetectPatchFormat(std::span<const std::uint8_t> patch) {
    if (StartsWith(patch, kIpsMagic))
        return PatchFormat::Ips;
    if (StartsWith(patch, kBpsMagic))
        return PatchFormat::Bps;
    if (StartsWith(patch, kUpsMagic))
        return PatchFormat::Ups;
    return std::nullopt;
}

std::string CrcText(std::uint32_t crc) {
    return FormatHex(crc, 8);
}

std::uint64_t IpsPatch::WrittenEnd() const {
    std::uint64_t end = 0;
    for (const IpsRecord& record : records)
        end = std::max<std::uint64_t>(end, std::uint64_t{record.offset} + record.length);
    return end;
}

bool IpsPatch::WritesBefore(std::uint64_t offset) const {
    return std::ranges::any_of(records, [offset](const IpsRecord& record) {
        return record.length > 0 && record.offset < offset;
    });
}

IpsPatch ReadIps(std::span<const std::uint8_t> patch) {
    if (!StartsWith(patch, kIpsMagic))
        throw EPatchRefused("not an IPS patch: it does not start with \"PATCH\"");
    PatchReader reader(patch, std::size(kIpsMagic), patch.size(), "IPS");
    IpsPatch ips;
    for (;;) {
        if (reader.AtEnd())
            throw EPatchRefused("the IPS patch is truncated: it ends without \"EOF\"");
        const std::uint32_t offset = reader.BigEndian(3);
        if (offset == kIpsEof)
            break;
        IpsRecord record;
        record.offset = offset;
        record.length = reader.BigEndian(2);
        if (record.length == 0) {
            record.length = reader.BigEndian(2);
            record.runByte = reader.Byte();
        } else {
            record.dataAt = reader.Position();
            reader.Bytes(record.length);
        }
        ips.records.push_back(record);
    }
    if (reader.Left() == kIpsTruncationBytes) {
        ips.truncation = reader.BigEndian(3);
    } else if (!reader.AtEnd()) {
        throw EPatchRefused("the IPS patch has " + At(reader.Left()) +
                            " bytes after \"EOF\", not the 3 of a truncation size");
    }
    return ips;
}

std::uint64_t IpsPatch::ResultSize(std::uint64_t size) const {
    size = std::max(size, WrittenEnd());
    return truncation ? std::min<std::uint64_t>(size, *truncation) : size;
}

std::vector<std::uint8_t> ApplyIps(const IpsPatch& ips, std::span<const std::uint8_t> patch,
                                   std::span<const std::uint8_t> bytes) {
    std::vector<std::uint8_t> result;
    // Room for the records past the end, so that the bytes are copied once.
    result.reserve(
        static_cast<std::size_t>(std::max<std::uint64_t>(bytes.size(), ips.WrittenEnd())));
    result.assign(bytes.begin(), bytes.end());
    ApplyIpsInPlace(ips, patch, result);
    return result;
}

void ApplyIpsInPlace(const IpsPatch& ips, std::span<const std::uint8_t> patch,
                     std::vector<std::uint8_t>& image, std::size_t base) {
    const std::uint64_t size = ips.ResultSize(image.size() - base);
    if (image.size() - base < ips.WrittenEnd())
        image.resize(base + static_cast<std::size_t>(ips.WrittenEnd()));
    for (const IpsRecord& record : ips.records) {
        const auto to = image.begin() + static_cast<std::ptrdiff_t>(base + record.offset);
        if (record.runByte)
            std::fill_n(to, record.length, *record.runByte);
        else
            std::copy_n(patch.begin() + record.dataAt, record.length, to);
    }
    image.resize(base + static_cast<std::size_t>(size));
}

CheckedPatch ReadCheckedPatch(std::span<const std::uint8_t> patch) {
    CheckedPatch header;
    const std::optional<PatchFormat> format = DetectPatchFormat(patch);
    if (format != PatchFormat::Bps && format != PatchFormat::Ups)
        throw EPatchRefused("not a BPS or UPS patch: it starts with neither \"BPS1\" nor \"UPS1\"");
    header.format = *format;
    const char* name = PatchFormatName(header.format);
    if (patch.size() < 4 + kFooterBytes) {
        throw EPatchRefused(std::string("the ") + name + " patch is truncated: " +
                            At(patch.size()) + " bytes cannot hold its three CRC32s");
    }
    header.bodyEnd = patch.size() - kFooterBytes;
    const std::uint32_t patchCrc = ReadLe32(patch, patch.size() - kCrcBytes);
    const std::uint32_t actualCrc = Crc32Of(patch.first(patch.size() - kCrcBytes));
    if (patchCrc != actualCrc) {
        throw EPatchRefused(std::string("the ") + name +
                            " patch is damaged or truncated: its CRC32 is " + CrcText(actualCrc) +
                            ", not " + CrcText(patchCrc) + " as it says at its end");
    }
    header.sourceCrc = ReadLe32(patch, header.bodyEnd);
    header.targetCrc = ReadLe32(patch, header.bodyEnd + kCrcBytes);
    PatchReader reader(patch, 4, header.bodyEnd, name);
    header.sourceSize = reader.Number();
    header.targetSize = reader.Number();
    if (header.format == PatchFormat::Bps) {
        const std::uint64_t metadata = reader.Number();
        reader.Bytes(metadata);
    }
    header.bodyAt = reader.Position();
    return header;
}

std::vector<std::uint8_t> ApplyCheckedPatch(const CheckedPatch& header,
                                            std::span<const std::uint8_t> patch,
                                            std::span<const std::uint8_t> source,
                                            std::span<const std::uint8_t> front) {
    const char* name = PatchFormatName(header.format);
    if (source.size() != header.sourceSize) {
        throw EPatchRefused(std::string("the ") + name + " patch is for " + At(header.sourceSize) +
                            " bytes, not " + At(source.size()));
    }
    std::vector<std::uint8_t> result;
    result.reserve(front.size() + static_cast<std::size_t>(header.targetSize));
    result.assign(front.begin(), front.end());
    if (header.format == PatchFormat::Bps)
        ApplyBps(header, patch, source, result);
    else
        ApplyUps(header, patch, source, result);
    const std::uint32_t crc = Crc32Of(std::span(result).subspan(front.size()));
    if (crc != header.targetCrc) {
        throw EPatchRefused(std::string("the ") + name + " patch made a result whose CRC32 is " +
                            CrcText(crc) + ", not " + CrcText(header.targetCrc) +
                            " as the patch says it should be");
    }
    return result;
}

void AppendPatchNumber(std::vector<std::uint8_t>& out, std::uint64_t value) {
    for (;;) {
        const auto low = static_cast<std::uint8_t>(value & 0x7F);
        value >>= 7;
        if (value == 0) {
            out.push_back(static_cast<std::uint8_t>(0x80 | low));
            return;
        }
        out.push_back(low);
        --value;
    }
}

} // namespace quillet
