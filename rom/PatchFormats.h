// The patch formats ROM hackers publish: IPS, BPS and UPS, read and applied to bytes. Which
// bytes of an image a patch goes to is PatchApply's choice; this is the formats alone.
#pragma once

#include "base/Exceptions.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quillet {

enum class PatchFormat { Ips, Bps, Ups };

// BPS actions, in the low two bits of each action's number.
enum BpsAction : std::uint8_t {
    kSourceRead = 0,
    kTargetRead = 1,
    kSourceCopy = 2,
    kTargetCopy = 3
};

// "IPS", "BPS" or "UPS".
const char* PatchFormatName(PatchFormat format);

// A patch that cannot be applied or made; the message says why, in words that can follow a
// file's name.
class EPatchRefused : public Exception {
public:
    using Exception::Exception;
};

// Found by the bytes a patch starts with; empty when it is none of the three.
std::optional<PatchFormat> DetectPatchFormat(std::span<const std::uint8_t> patch);

// IPS: records of 24-bit offsets, each with its bytes or a run of one byte (RLE), then "EOF"
// and perhaps the size to cut the result to.
struct IpsRecord {
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
    std::size_t dataAt = 0; // in the patch, for a record that carries its bytes
    std::optional<std::uint8_t> runByte;
};

struct IpsPatch {
    std::vector<IpsRecord> records;
    std::optional<std::uint32_t> truncation;

    // One past the last byte any record writes.
    std::uint64_t WrittenEnd() const;
    bool WritesBefore(std::uint64_t offset) const;
    // The size of the result of applying the patch to `size` bytes.
    std::uint64_t ResultSize(std::uint64_t size) const;
};

// Throws EPatchRefused for a patch that is truncated or has bytes after "EOF" that are not a
// truncation size.
IpsPatch ReadIps(std::span<const std::uint8_t> patch);

// Applies the records read from `patch` to `bytes`: records past the end extend them (with
// zeros between), and a truncation size then cuts them. The caller checks ResultSize first:
// records reach up to 16 MiB.
std::vector<std::uint8_t> ApplyIps(const IpsPatch& ips, std::span<const std::uint8_t> patch,
                                   std::span<const std::uint8_t> bytes);

// The same, in place, to the bytes of `image` from `base` on; those before `base` stay.
void ApplyIpsInPlace(const IpsPatch& ips, std::span<const std::uint8_t> patch,
                     std::vector<std::uint8_t>& image, std::size_t base = 0);

// BPS and UPS: sizes and CRC32s of the source and the target, and the patch's own CRC32.
struct CheckedPatch {
    PatchFormat format = PatchFormat::Bps;
    std::uint64_t sourceSize = 0;
    std::uint64_t targetSize = 0;
    std::uint32_t sourceCrc = 0;
    std::uint32_t targetCrc = 0;
    std::size_t bodyAt = 0;  // the first action or hunk
    std::size_t bodyEnd = 0; // where the CRC32s start
};

// Reads a BPS or UPS patch's sizes and CRC32s. Throws EPatchRefused when it is truncated or
// its own CRC32 does not match its bytes.
CheckedPatch ReadCheckedPatch(std::span<const std::uint8_t> patch);

// Applies a BPS or UPS patch read by ReadCheckedPatch to `source`, and checks the target's
// CRC32. Throws EPatchRefused when the patch reads or writes past its bounds, when the result
// is not the size it declares, or when the result's CRC32 is not the target's. The caller
// checks the target size against what it accepts before calling. The bytes returned are
// `front` (a copier header that a patch for the data alone leaves out) and the target.
std::vector<std::uint8_t> ApplyCheckedPatch(const CheckedPatch& header,
                                            std::span<const std::uint8_t> patch,
                                            std::span<const std::uint8_t> source,
                                            std::span<const std::uint8_t> front = {});

// The variable-length numbers of BPS and UPS: seven bits a byte, the top bit ending the number,
// and one taken off after each byte so that every number has one encoding.
void AppendPatchNumber(std::vector<std::uint8_t>& out, std::uint64_t value);

// Eight upper-case hexadecimal digits, as patching tools show CRC32s.
std::string CrcText(std::uint32_t crc);

} // namespace quillet
