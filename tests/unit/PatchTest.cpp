#include "rom/PatchApply.h"
#include "rom/PatchFormats.h"
#include "rom/PatchMaker.h"

#include "rom/Digests.h"
#include "tests/support/GameImages.h"
#include "tests/support/MessageOf.h"
#include "tools/RomImageBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>

namespace quillet {
namespace {

using namespace samples;
using Bytes = std::vector<std::uint8_t>;
using testing::MessageOf;

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes joined;
    for (const Bytes& part : parts)
        joined.insert(joined.end(), part.begin(), part.end());
    return joined;
}

Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t count) {
    return Bytes(bytes.begin() + from, bytes.begin() + from + count);
}

// `count` bytes of `value`, most significant first.
void PutBigEndian(Bytes& out, std::uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

Bytes Le32(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

// A BPS or UPS patch's three CRC32s after its body.
Bytes WithCrcs(Bytes body, const Bytes& source, const Bytes& target) {
    body = Join({body, Le32(Crc32Of(source)), Le32(Crc32Of(target))});
    return Join({body, Le32(Crc32Of(body))});
}

struct IpsBuilder {
    Bytes bytes{'P', 'A', 'T', 'C', 'H'};

    IpsBuilder& Record(std::uint32_t offset, const Bytes& data) {
        PutBigEndian(bytes, offset, 3);
        PutBigEndian(bytes, static_cast<std::uint32_t>(data.size()), 2);
        bytes.insert(bytes.end(), data.begin(), data.end());
        return *this;
    }
    IpsBuilder& Run(std::uint32_t offset, std::uint16_t length, std::uint8_t value) {
        PutBigEndian(bytes, offset, 3);
        PutBigEndian(bytes, 0, 2);
        PutBigEndian(bytes, length, 2);
        bytes.push_back(value);
        return *this;
    }
    Bytes End(std::optional<std::uint32_t> truncation = std::nullopt) const {
        Bytes patch = Join({bytes, {'E', 'O', 'F'}});
        if (truncation)
            PutBigEndian(patch, *truncation, 3);
        return patch;
    }
};

Bytes ApplyIpsBytes(const Bytes& patch, const Bytes& bytes) {
    return ApplyIps(ReadIps(patch), patch, bytes);
}

Bytes ApplyChecked(const Bytes& patch, const Bytes& source) {
    return ApplyCheckedPatch(ReadCheckedPatch(patch), patch, source);
}

TEST(Patch, IpsRecordsRunsExtensionAndTruncationAndWhatIsRefused) {
    const Bytes image = MakeRomData(32, 40);
    for (const auto& [patch, expected] : std::vector<std::pair<Bytes, Bytes>>{
             // Bytes and an RLE run; a record past the end, with zeros between.
             {IpsBuilder().Record(2, {0xA1, 0xA2}).Run(10, 4, 0xEE).End(),
              Join({Slice(image, 0, 2), Bytes{0xA1, 0xA2}, Slice(image, 4, 6), Bytes(4, 0xEE),
                    Slice(image, 14, 18)})},
             {IpsBuilder().Record(34, {7, 8}).End(), Join({image, {0, 0, 7, 8}})},
             // Truncation after EOF; beyond the end it leaves the size.
             {IpsBuilder().Record(0, {5}).End(20), Join({{5}, Slice(image, 1, 19)})},
             {IpsBuilder().End(100), image}})
        EXPECT_EQ(ApplyIpsBytes(patch, image), expected);

    // Cut before "EOF", inside a record, or with a short truncation size after it.
    const Bytes whole = IpsBuilder().Record(4, {1, 2, 3}).End();
    EXPECT_EQ(MessageOf([&] { ReadIps(Slice(whole, 0, whole.size() - 4)); }),
              "the IPS patch is truncated: it ends at byte 12 in the middle of a record");
    EXPECT_THROW(ReadIps(Slice(whole, 0, whole.size() - 3)), EPatchRefused);
    EXPECT_THROW(ReadIps(Join({whole, {0, 1}})), EPatchRefused);
}

TEST(Patch, BpsEveryActionWithRelativeOffsetsBothWays) {
    const Bytes source = MakeRomData(32, 10);
    const Bytes literal = {0xAA, 0xBB, 0xCC};
    Bytes target = Join({Slice(source, 0, 4), literal, Slice(source, 20, 5), Slice(source, 10, 3)});
    target = Join({target, Slice(target, 4, 6), Slice(target, 0, 4)});
    target = Join({target, Bytes(5, target.back())}); // a copy of the byte before, overlapping
    const Bytes body = {'B',  'P',  'S',  '1',  0xA0 /* 32 */, 0x9E /* 30 */, 0x82, 'h', 'i',
                        0x8C,                         // SourceRead 4
                        0x89,                         // TargetRead 3
                        0xAA, 0xBB, 0xCC, 0x92, 0xA8, // SourceCopy 5 from +20
                        0x8A, 0x9F,                   // SourceCopy 3 from -15: 25 back to 10
                        0x97, 0x88,                   // TargetCopy 6 from +4
                        0x8F, 0x95,                   // TargetCopy 4 from -10: 10 back to 0
                        0x93, 0xA8};                  // TargetCopy 5 from +20, the byte just made
    EXPECT_EQ(ApplyChecked(WithCrcs(body, source, target), source), target);
}

TEST(Patch, BpsThatGoesOutOfBoundsOrDoesNotCheckIsRefused) {
    const Bytes source = MakeRomData(16, 0);
    const Bytes target(8, 0x77);
    const auto bps = [&](const Bytes& actions, std::uint8_t targetSize = 0x88) {
        return WithCrcs(Join({{'B', 'P', 'S', '1', 0x90, targetSize, 0x80}, actions}), source,
                        target);
    };
    EXPECT_EQ(MessageOf([&] {
                  ApplyChecked(bps({0x81, 0x77, 0x83, 0x82}), source);
              }),
              "the BPS patch copies from a part of its target not yet written (at byte 9 of the "
              "patch)");
    Bytes damaged = bps({0x9D, 0x77});
    damaged[8] ^= 1;
    // Each refusal by the words that tell it from the others.
    for (const auto& [patch, refusal] : std::vector<std::pair<Bytes, std::string>>{
             {bps({0xA0}), "writes past the end of its target"},
             {bps({0xC0}, 0x98), "reads past the end of its source"},
             {bps({0x8E, 0xC2}), "copies from outside its source"},
             {bps({0x9D, 0x76, 0x76, 0x76, 0x76, 0x76, 0x76, 0x76, 0x76}), "made a result whose"},
             {damaged, "is damaged or truncated: its CRC32 is"}})
        EXPECT_NE(MessageOf([&] { ApplyChecked(patch, source); }).find(refusal), std::string::npos)
            << refusal;
}

TEST(Patch, UpsXorsHunksAndGrowsWithZeros) {
    const Bytes source = MakeRomData(16, 20);
    Bytes target = Join({source, Bytes(4, 0)});
    target[2] ^= 0x01;
    target[3] ^= 0x02;
    target[15] ^= 0xFF;
    target[16] = 0x33;
    target[17] = 0x44;
    // Through ApplyPatch, which knows UPS by its start and decides by its CRC32s as for BPS.
    const auto apply = [&](const Bytes& body, const Bytes& made) {
        return ApplyPatch(source, WithCrcs(Join({{'U', 'P', 'S', '1', 0x90}, body}), source, made))
            .image;
    };
    EXPECT_EQ(apply({0x94, 0x82, 0x01, 0x02, 0x00, 0x8A, 0xFF, 0x33, 0x44, 0x00}, target), target);
    EXPECT_EQ(MessageOf([&] {
                  apply({0x84, 0x83, 0x01, 0x02, 0x00}, target);
              }),
              "the UPS patch writes past the end of its target (at byte 8 of the patch)");
}

// A LoROM game whose checksum matches, and a changed version of it whose checksum matches too.
Bytes Game(std::uint32_t seed) {
    return testing::ScoredGame(256 * 1024, kLoRomArea, {.title = "PATCH TEST", .romSizeCode = 0x08},
                               seed);
}

Bytes Translated(Bytes rom) {
    for (std::size_t at = 0x9000; at < 0x9400; at += 3)
        rom[at] = static_cast<std::uint8_t>(at * 7);
    FixChecksum(rom, kLoRomArea);
    return rom;
}

TEST(Patch, BpsGoesWhereItsSourceCrcSaysAndIpsWhereTheResultsChecksumMatches) {
    const Bytes data = Game(1);
    const Bytes changed = Translated(data);
    const Bytes swc = SuperWildCardHeader(32, 0);
    const Bytes headered = Concatenate(swc, data);
    const Bytes bps = MakeBps(data, changed), ips = MakeIps(data, changed);
    const Bytes ipsForHeadered = MakeIps(headered, Concatenate(swc, changed));
    // Made for the data, on a headered file the header goes back in front; else the file.
    for (const auto& [image, patch, target, expected] :
         std::vector<std::tuple<Bytes, Bytes, PatchTarget, Bytes>>{
             {headered, bps, PatchTarget::Data, Concatenate(swc, changed)},
             {data, bps, PatchTarget::File, changed},
             {headered, ips, PatchTarget::Data, Concatenate(swc, changed)},
             {data, ips, PatchTarget::File, changed},
             {headered, ipsForHeadered, PatchTarget::File, Concatenate(swc, changed)},
             {data, ipsForHeadered, PatchTarget::AddedHeader, changed}}) {
        const PatchOutcome outcome = ApplyPatch(image, patch);
        EXPECT_EQ(outcome.target, target) << outcome.reason;
        EXPECT_EQ(outcome.image, expected) << outcome.reason;
        EXPECT_FALSE(outcome.unchecked);
    }
    EXPECT_EQ(ApplyPatch(headered, ips).reason,
              "only that result has a matching internal checksum");

    // The data grows: the blocks count follows, the rest of the header stays.
    const Bytes grown = Join({changed, MakeRomData(64 * 1024, 9)});
    PatchOutcome outcome = ApplyPatch(headered, MakeBps(data, grown));
    EXPECT_EQ(outcome.copierBlocks, 40);
    EXPECT_EQ(outcome.image, Join({{40, 0}, Slice(swc, 2, 510), grown}));

    // A forced way still needs a matching CRC32.
    EXPECT_THROW(ApplyPatch(headered, bps, PatchWay::File), EPatchRefused);

    // An IPS record inside the first 512 bytes: made for headered images, whatever the checksum.
    const Bytes touchesHeader = IpsBuilder().Record(8, {1, 2, 3}).Record(0x9000, {7}).End();
    outcome = ApplyPatch(headered, touchesHeader);
    EXPECT_EQ(outcome.target, PatchTarget::File);
    EXPECT_EQ(outcome.image, ApplyIpsBytes(touchesHeader, headered));
    // Neither result checks out: the file as it is, said to be unchecked.
    outcome = ApplyPatch(headered, IpsBuilder().Record(0x9000, {0x55, 0x66}).End());
    EXPECT_EQ(outcome.target, PatchTarget::File);
    EXPECT_TRUE(outcome.unchecked);
    // Forced ways: a truncation size counts from the start of what the patch goes to.
    const Bytes cut = IpsBuilder().Record(0, {0}).End(128 * 1024);
    outcome = ApplyPatch(headered, cut, PatchWay::Data);
    EXPECT_EQ(outcome.image.size(), 512u + 128 * 1024);
    EXPECT_EQ(Slice(outcome.image, 0, 2), (Bytes{16, 0}));
    EXPECT_EQ(ApplyPatch(headered, cut, PatchWay::File).image.size(), 128u * 1024);
}

TEST(Patch, ResultsTooLargeForACartridgeAreRefused) {
    const Bytes data = Game(3);
    const Bytes headered = Concatenate(SuperWildCardHeader(32, 0), data);
    const Bytes pastEightMiB = IpsBuilder().Record(8 * 1024 * 1024, {1}).End();
    EXPECT_EQ(MessageOf([&] { ApplyPatch(data, pastEightMiB, PatchWay::File); }),
              "the result would hold 8388609 bytes of data, more than the 8 MiB a cartridge can "
              "hold");
    // Counted without the copier header: the same record on the file is one byte less data.
    EXPECT_EQ(
        ApplyPatch(headered, IpsBuilder().Record(8 * 1024 * 1024 + 511, {1}).End(), PatchWay::File)
            .image.size(),
        8u * 1024 * 1024 + 512);
    // BPS says its target size first.
    Bytes bps = {'B', 'P', 'S', '1'};
    AppendPatchNumber(bps, data.size());
    AppendPatchNumber(bps, 8 * 1024 * 1024 + 1);
    EXPECT_THROW(ApplyPatch(data, WithCrcs(Join({bps, {0x80}}), data, data)), EPatchRefused);
}

// Random edits of the kinds patches carry: blocks replaced, in place or not, by random bytes, by
// one byte repeated or by bytes from elsewhere in the source, and the end grown or cut.
Bytes Edited(const Bytes& source, std::mt19937& random) {
    Bytes target = source;
    for (int edits = 1 + static_cast<int>(random() % 12); edits > 0; --edits) {
        const std::size_t at = target.empty() ? 0 : random() % target.size();
        const std::size_t end = std::min(target.size(), at + random() % 300);
        Bytes piece(random() % 2 == 0 ? end - at : random() % 300,
                    static_cast<std::uint8_t>(random()));
        if (random() % 3 == 0) {
            for (std::uint8_t& byte : piece)
                byte = static_cast<std::uint8_t>(random());
        } else if (random() % 2 == 0 && piece.size() < source.size()) {
            const std::size_t from = random() % (source.size() - piece.size());
            std::copy_n(source.begin() + from, piece.size(), piece.begin());
        }
        target.erase(target.begin() + at, target.begin() + end);
        target.insert(target.begin() + at, piece.begin(), piece.end());
    }
    if (random() % 4 == 0)
        target.resize(random() % (target.size() + 1000));
    return target;
}

TEST(Patch, MadePatchesGiveTheTargetBack) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 300; ++round) {
        const Bytes source = MakeRomData(random() % 20000, static_cast<std::uint32_t>(round));
        const Bytes target = Edited(source, random);
        SCOPED_TRACE("round " + std::to_string(round) + ": " + std::to_string(source.size()) +
                     " to " + std::to_string(target.size()) + " bytes");
        ASSERT_EQ(ApplyChecked(MakeBps(source, target), source), target);
        ASSERT_EQ(ApplyIpsBytes(MakeIps(source, target), source), target);
    }
    // Two 64 KiB blocks swapped, and 1 KiB of zeros put in between: copied, not carried.
    const Bytes source = MakeRomData(512 * 1024, 7);
    const Bytes target = Join({Slice(source, 0, 0x10000), Slice(source, 0x30000, 0x10000),
                               Bytes(1024, 0), Slice(source, 0x20000, 0x10000),
                               Slice(source, 0x10000, 0x10000), Slice(source, 0x40000, 0x40000)});
    EXPECT_LT(MakeBps(source, target).size(), 100u);
    // Empty files both ways.
    EXPECT_EQ(ApplyChecked(MakeBps({}, Bytes{1, 2}), {}), (Bytes{1, 2}));
    EXPECT_EQ(ApplyChecked(MakeBps(Bytes{1, 2}, {}), Bytes{1, 2}), Bytes{});
    EXPECT_EQ(ApplyIpsBytes(MakeIps(Bytes{1, 2}, {}), Bytes{1, 2}), Bytes{});
}

TEST(Patch, MadeIpsNeverStartsARecordAtEof) {
    // A record at 0x454F46 would read as the end of the patch.
    const Bytes source(0x454F46 + 64, 0);
    for (const auto& [at, run] : {std::pair{0x454F46, 12}, {0x454F46, 0}}) {
        Bytes target = source;
        std::fill_n(target.begin() + at, run, 0x99); // an RLE run
        target[at + run] = 1;
        EXPECT_EQ(ApplyIpsBytes(MakeIps(source, target), source), target) << at << " " << run;
    }
}

} // namespace
} // namespace quillet
