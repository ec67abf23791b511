// What the step search leaves out to be quick must never cost a match: the forms are scanned
// without hashes, the strong hashes are computed only as the DAT files know the ROMs of a
// form's CRC32 and size, and the data is not scanned again where the details already did.
#include "dat/DatSteps.h"
#include "rom/Digests.h"
#include "rom/ImageScanner.h"
#include "rom/RomAnalysis.h"
#include "tests/support/GameImages.h"

#include "tools/RomImageBuilder.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace quillet {
namespace {

using namespace samples;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kKiB = 1024;

Bytes Game(std::uint32_t seed) {
    Bytes rom = MakeRomData(512 * kKiB, seed);
    WriteInternalHeader(rom, kLoRomArea, {.title = "SPEED GAME", .romSizeCode = 0x09});
    FixChecksum(rom, kLoRomArea);
    return rom;
}

// A clrmamepro ROM entry; empty hashes are left out.
std::string Entry(const std::string& game, std::uint64_t size, const std::string& crc32,
                  const std::string& sha1, const std::string& sha256) {
    std::string rom = "rom ( name \"" + game + ".sfc\"";
    if (size != 0)
        rom += " size " + std::to_string(size);
    if (!crc32.empty())
        rom += " crc " + crc32;
    if (!sha1.empty())
        rom += " sha1 " + sha1;
    if (!sha256.empty())
        rom += " sha256 " + sha256;
    return "game (\n\tname \"" + game + "\"\n\t" + rom + " )\n)\n";
}

DatCollection Dat(const std::string& entries) {
    DatCollection dats;
    dats.LoadDocument("speed.dat", "clrmamepro (\n\tname \"Speed\"\n)\n\n" + entries);
    return dats;
}

TEST(ImageScanner, LeavingTheHashesOutChangesNothingElse) {
    Bytes hiRom = MakeRomData(512 * kKiB, 63);
    WriteInternalHeader(hiRom, kHiRomArea,
                        {.title = "SPEED HIROM", .makeup = 0x21, .romSizeCode = 0x09});
    WriteResetVector(hiRom, kHiRomArea, 0x8000, 0x8000, 0x78);
    FixChecksum(hiRom, kHiRomArea);
    const Bytes game = Game(67);
    const struct {
        const char* name;
        Bytes image;
    } images[] = {
        {"padded", Concatenate(game, Bytes(512 * kKiB, 0xFF))},
        {"overdumped", Concatenate(game, game)},
        {"behind a Game Doctor header", Concatenate(GameDoctorHeader(), game)},
        {"interleaved", InterleavedCopy(hiRom)},
    };
    for (const auto& c : images) {
        SCOPED_TRACE(c.name);
        const SNESImageInfo info = AnalyseImageBytes(c.image);
        const auto scan = [&](ScanHashes hashes) {
            ImageScanner scanner(c.image.size(), static_cast<std::uint64_t>(info.HeaderSize),
                                 hashes);
            scanner.Feed(c.image);
            return scanner.Finish(info);
        };
        const ImageDetails with = scan(ScanHashes::Computed);
        const ImageDetails without = scan(ScanHashes::LeftOut);
        EXPECT_EQ(without.cartridge, with.cartridge);
        EXPECT_EQ(without.opinion.place, with.opinion.place);
        EXPECT_EQ(without.opinion.scores, with.opinion.scores);
        EXPECT_EQ(without.checksum.computed, with.checksum.computed);
        EXPECT_EQ(without.checksum.diagnosis, with.checksum.diagnosis);
        EXPECT_EQ(without.checksum.explanation, with.checksum.explanation);
        EXPECT_EQ(without.copier, with.copier);
        EXPECT_EQ(without.interleaved, with.interleaved);
        EXPECT_EQ(without.data.offset, with.data.offset);
        EXPECT_EQ(without.data.digests, Digests{});
        EXPECT_EQ(without.file.digests, Digests{});
        EXPECT_FALSE(without.deinterleaved.has_value());
        EXPECT_EQ(with.deinterleaved.has_value(), with.interleaved);
    }
}

TEST(DatSteps, AFormMatchesByWhicheverHashTheDatKnowsItWithTheDetailsOrWithout) {
    const Bytes game = Game(61);
    const Digests digests = testing::DigestsOf(game);
    const std::string crc = digests.crc32;
    const std::uint64_t size = game.size();
    // Another ROM of the same CRC32 and size, known by a hash of other data.
    const std::string decoy256 = Entry("Decoy", size, crc, "", std::string(64, 'c'));
    const std::string decoy1 = Entry("Decoy", size, crc, std::string(40, 'c'), "");
    const struct {
        const char* name;
        std::string entries;
        DatKey key;
    } dats[] = {
        {"by SHA-256", Entry("Game", size, crc, digests.sha1, digests.sha256), DatKey::Sha256},
        {"by SHA-1", Entry("Game", size, crc, digests.sha1, ""), DatKey::Sha1},
        {"by CRC32 and size", Entry("Game", size, crc, "", ""), DatKey::Crc32AndSize},
        {"by SHA-1 beside one by SHA-256", decoy256 + Entry("Game", size, crc, digests.sha1, ""),
         DatKey::Sha1},
        {"by SHA-256 beside one by SHA-1",
         decoy1 + Entry("Game", size, crc, digests.sha1, digests.sha256), DatKey::Sha256},
        {"by SHA-1 without a CRC32", Entry("Game", size, "", digests.sha1, ""), DatKey::Sha1},
        {"by SHA-256 without a size", Entry("Game", 0, crc, "", digests.sha256), DatKey::Sha256},
    };
    const Bytes header(512, 0);
    const Bytes padded = Concatenate(game, Bytes(512 * kKiB, 0xFF));
    const Bytes overdumped = Concatenate(game, game);
    const struct {
        const char* name;
        Bytes image;
        DatStep step;
    } forms[] = {
        {"padded", padded, DatStep::TrimPadding},
        {"overdumped", overdumped, DatStep::TrimOverdump},
        // The details' scan is of the file then, not of the data from its first byte on.
        {"padded behind a copier header", Concatenate(header, padded), DatStep::TrimPadding},
    };
    for (const auto& dat : dats) {
        const DatCollection collection = Dat(dat.entries);
        for (const auto& form : forms) {
            SCOPED_TRACE(std::string(dat.name) + ", " + form.name);
            // As the front ends have the image: its details, and the data they hash.
            const SNESImageInfo info = AnalyseImageBytes(form.image);
            ImageScanner scanner(form.image.size(), static_cast<std::uint64_t>(info.HeaderSize));
            scanner.Feed(form.image);
            const ImageDetails details = scanner.Finish(info);
            const auto data =
                std::span(form.image).subspan(static_cast<std::size_t>(details.data.offset));
            for (const ImageDetails* given :
                 {&details, static_cast<const ImageDetails*>(nullptr)}) {
                const std::optional<DatStepsMatch> found = FindViaSteps(collection, data, given);
                ASSERT_TRUE(found.has_value());
                EXPECT_EQ(found->hit.game, "Game");
                EXPECT_EQ(found->hit.key, dat.key);
                EXPECT_EQ(found->steps, std::vector<DatStep>{form.step});
                EXPECT_TRUE(found->bytes == game);
            }
        }
    }
}

} // namespace
} // namespace quillet
