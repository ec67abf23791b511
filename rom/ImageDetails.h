// What a collector or a homebrew developer wants to know about an image beyond the analysis:
// hashes, the decoded internal header, a second opinion on its place, and why the checksum is
// what it is.
#pragma once

#include "rom/CartridgeHeader.h"
#include "rom/CopierFormats.h"
#include "rom/Digests.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillet {

struct HashedBytes {
    std::uint64_t offset = 0; // where they start in the file
    std::uint64_t size = 0;
    Digests digests;
};

struct HeaderOpinion {
    HeaderPlace place = HeaderPlace::LoRom;
    std::array<int, 3> scores{}; // in the order of kHeaderPlaces
    bool agreesWithAnalysis = false;
};

enum class ChecksumDiagnosis { Matches, Placeholder, DataChanged, Underdump, Overdump, Padded };

// "matches", "placeholder", "data-changed", "underdump", "overdump", "padded".
const char* DiagnosisCode(ChecksumDiagnosis diagnosis);

struct ChecksumReport {
    std::uint16_t computed = 0; // the data's sum, mirrored up to a power of two
    std::uint16_t header = 0;
    std::uint16_t complement = 0;
    std::vector<ChecksumDiagnosis> diagnosis;
    std::string explanation;
};

struct CopierHeader {
    CopierFormat format = CopierFormat::Unknown;
    std::uint64_t size = 0;
    bool operator==(const CopierHeader&) const = default;
};

struct ImageDetails {
    // The ROM data as the file holds it, after the copier header: the analysis' 512 bytes, or
    // the header of another size found in front of an internal header.
    HashedBytes data;
    HashedBytes file; // the whole file
    // The header at the opinion's place; empty when the data ends before it. For interleaved
    // data, the header, the opinion and the checksum are those of the data de-interleaved.
    std::optional<CartridgeHeader> cartridge;
    HeaderOpinion opinion;
    ChecksumReport checksum;
    std::optional<CopierHeader> copier; // empty when the data starts the file
    bool interleaved = false;
    std::optional<Digests> deinterleaved; // of the data as a cartridge holds it, if interleaved
};

} // namespace quillet

namespace quillet {

// How DAT files know the image's data, for the front ends to show.
enum class DatMatchKind { None, Sha1, Crc32AndSize, Sha256 };

struct DatMatch {
    DatMatchKind kind = DatMatchKind::None;
    std::string game;     // empty when none matched
    std::string rom;      // the ROM's file name in the DAT file
    std::string source;   // the DAT file's name, as it was given or found
    bool badDump = false; // the DAT file lists the data as a known bad dump
    // When the data matched only once transformed: the steps, in the order applied
    // ("strip-header", "deinterleave", "trim-overdump", "trim-padding"). Empty when it matched
    // as it is, or not at all.
    std::vector<std::string> via;
    // Set when the data did not match as it is: how it matched, or what sets it apart from
    // the nearest ROM.
    std::string explanation;
    // When nothing matched: the DAT's ROM named most like the file, if any is close.
    struct Nearest {
        std::string game;
        std::string rom;
        std::uint64_t size = 0;
    };
    std::optional<Nearest> nearest;
};

// "none", "sha256", "sha1" or "crc32+size".
const char* DatMatchCode(DatMatchKind kind);

} // namespace quillet
