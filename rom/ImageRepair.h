// Repairs of an image in memory: a copier header taken off or put on, the data de-interleaved,
// interleaved or cut to its declared size, and the internal header's checksum filled in. Pure
// computation over bytes; the caller reads and writes the files.
#pragma once

#include "base/Exceptions.h"
#include "rom/CartridgeHeader.h"
#include "rom/HeaderLayout.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quillet {

// The most data a cartridge holds; an image with more is refused.
inline constexpr std::uint64_t kLargestRomData = 8 * 1024 * 1024;
inline constexpr std::size_t kCopierHeaderBytes = layout::kCopierHeaderSize;

enum class RepairRefusal {
    TooLarge,         // more data than a cartridge holds
    NoCopierHeader,   // nothing to strip
    HasCopierHeader,  // a header to add where one is
    NotWholeBlocks,   // a copier header would not be recognised in front of this data
    NoInternalHeader, // nowhere to write a checksum
    OpinionWouldMove, // the new checksum would make another place the likelier header
    Interleaved,      // a step that needs the data in the cartridge's order
    NotInterleaved,   // nothing to de-interleave
    CannotInterleave, // not HiROM data in whole banks, or it would not be recognised after
    NothingToTrim,    // no more data than the internal header declares
    SurplusNeeded,    // the surplus is neither an overdump nor padding
    AlreadyDatFile,   // the file is the DAT's file as it is
    NoDatMatch,       // no step, nor two, make the data match a DAT
};

// A repair that cannot be made; the message says why, in words that follow the file's name.
class ERepairRefused : public Exception {
public:
    ERepairRefused(RepairRefusal reason, std::string message)
        : Exception(std::move(message)), reason_(reason) {}
    RepairRefusal Reason() const noexcept { return reason_; }

private:
    RepairRefusal reason_;
};

// Made in the order strip, de-interleave, trim, checksum, interleave, add. Both header options
// together replace a copier header with a Super Wild Card one; the checksum does not depend on
// the copier header. The copier header is the one the details find, of any size.
struct RepairRequest {
    bool stripCopierHeader = false;
    bool fillChecksum = false;
    bool addSwcHeader = false;
    bool deinterleave = false;
    bool interleave = false;
    bool trim = false;
};

struct StrippedHeader {
    std::string format; // the analysis' name for it, or the details' when it found another size
    std::uint64_t size = 0;
};

struct Reordering {
    bool interleaved = false; // made interleaved, or de-interleaved
    std::uint64_t banks = 0;  // of 64 KiB
};

struct Trimming {
    std::uint64_t from = 0;
    std::uint64_t to = 0;  // the size the internal header declares
    bool overdump = false; // else padding of one byte
    std::uint8_t fill = 0;
};

struct ChecksumFill {
    HeaderPlace place = HeaderPlace::LoRom;
    std::uint32_t address = 0;
    std::uint16_t oldChecksum = 0;
    std::uint16_t oldComplement = 0;
    std::uint16_t checksum = 0;
    std::uint16_t complement = 0;
    // Set when the header's checksum is right for the size the header declares and the data
    // goes on past it (an overdump or padding): that checksum is left as it is.
    std::optional<std::uint64_t> matchesDeclaredBytes;

    bool Changes() const { return checksum != oldChecksum || complement != oldComplement; }
};

struct AddedHeader {
    std::uint16_t blocks = 0; // of 8 KiB
    std::uint8_t modeByte = 0;
    bool hiRom = false;                     // mode 21 for the SRAM and the program
    std::optional<std::uint32_t> sramKbits; // what the copier gives the game; empty for none
};

struct RepairResult {
    std::vector<std::uint8_t> image;
    bool changed = false; // the image differs from the one given
    std::optional<StrippedHeader> stripped;
    std::optional<Reordering> reordered;
    std::optional<Trimming> trimmed;
    std::optional<ChecksumFill> checksum;
    std::optional<AddedHeader> added;
    // What the analysis and the second opinion make of the result that may surprise, each a
    // sentence.
    std::vector<std::string> notes;
};

// Throws ERepairRefused when a file of that size holds more data than a cartridge, so that a
// caller can refuse it before reading it.
void CheckRepairableSize(std::uint64_t fileSize);

// Makes the repairs asked for, or throws ERepairRefused.
RepairResult RepairImage(std::span<const std::uint8_t> image, const RepairRequest& request);

// The single steps, for callers that look for an image's data in every form it may take. Each
// throws ERepairRefused as RepairImage does.
std::vector<std::uint8_t> StripCopierHeader(std::span<const std::uint8_t> image);
std::vector<std::uint8_t> TrimToDeclaredSize(std::span<const std::uint8_t> data);

// The 512-byte Super Wild Card header for `blocks` blocks of 8 KiB and that mode byte.
std::array<std::uint8_t, kCopierHeaderBytes> MakeSwcHeader(std::uint16_t blocks,
                                                           std::uint8_t modeByte);

} // namespace quillet
