#include "dat/DatFile.h"

#include "base/Utf8.h"

#include "tests/support/ArchiveMaker.h"
#include "tests/support/MessageOf.h"
#include "tests/support/TempFolder.h"
#include "tests/support/ToolRuns.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <string>
#include <string_view>
#include <vector>

namespace quillet {
namespace {

using testing::Listed;
using testing::MessageOf;

constexpr std::string_view kDat = R"dat(<?xml version="1.0"?>
<!DOCTYPE datafile PUBLIC "-//Logiqx//DTD ROM Management Datafile//EN" "http://www.logiqx.com/Dats/datafile.dtd">
<datafile>
  <header><name>Nintendo - Super Nintendo Entertainment System</name></header>
  <game name="Tom &amp; Jerry &quot;Caf&#233;&quot; (USA)">
    <description>Tom &amp; Jerry</description>
    <rom name="a.sfc" size="1048576" crc="1A2B3C4D" sha1="AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA"/>
  </game>
  <machine name="No SHA-1 (Japan)">
    <rom name="b.sfc" size="524288" crc="00c0ffee" status="baddump"/>
  </machine>
</datafile>
)dat";

// The layout of the No-Intro DAT that RetroArch ships: a header block, upper-case hex, serials,
// regions, a bad dump and a SHA-256.
constexpr std::string_view kLibretro = R"dat(clrmamepro (
	name "Nintendo - Super Nintendo Entertainment System"
	version "20240101-000000"
)

game (
	name "Super Mario World (USA)"
	region "USA"
	rom ( name "Super Mario World (USA).sfc" size 524288 crc B19ED489 md5 CDD3C8C37322978CA8669B34BC89C804 sha1 6B47BB75D16514B6A476AA0C73A683A2A4C18765 serial "SNS-MW-USA" )
)

game (
	name "Hanguk (Korea) [b]"
	rom ( name "Hanguk (Korea) [b].sfc" size 1048576 crc 0000ABCD sha1 1111111111111111111111111111111111111111 flags baddump )
)

game (
	name "Two Chips (Japan)"
	rom ( name "Two Chips (Japan).sfc" size 2097152 crc 12345678 sha1 2222222222222222222222222222222222222222 sha256 AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA )
	rom ( name "Two Chips (Japan).msu" size 10 crc FFFFFFFF )
)
)dat";

std::string Message(std::string_view document) {
    return MessageOf([&] { DatCollection().LoadDocument("x.dat", document); });
}

std::vector<std::uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

// What Find gives, in one line: game, ROM, DAT file, key and whether it is a known bad dump.
std::string Found(const DatCollection& dats, std::string_view sha256, std::string_view sha1,
                  std::string_view crc32, std::uint64_t size) {
    const std::optional<DatHit> hit = dats.Find(sha256, sha1, crc32, size);
    if (!hit)
        return "none";
    const char* keys[] = {"sha256", "sha1", "crc32+size"};
    return hit->game + ", " + hit->rom + ", " + hit->source + ", " +
           keys[static_cast<int>(hit->key)] + (hit->badDump ? ", bad dump" : "");
}

TEST(Dat, BothFormatsAreReadAndMatchedByTheStrongestHashEachRomHas) {
    DatCollection dats;
    dats.LoadDocument("a.xml", kDat);
    dats.LoadDocument("snes.dat", kLibretro);
    ASSERT_EQ(dats.Roms().size(), 6u);
    const std::string no256(64, '0'), no1(40, '0');
    // The same data by SHA-1 in the first file and by SHA-256 in the second: the SHA-256 wins.
    // Hex is read in any case; entities are decoded.
    EXPECT_EQ(Found(dats, std::string(64, 'a'), std::string(40, 'a'), "", 0),
              "Two Chips (Japan), Two Chips (Japan).sfc, snes.dat, sha256");
    EXPECT_EQ(Found(dats, no256, std::string(40, 'a'), "ffffffff", 1),
              "Tom & Jerry \"Caf\xC3\xA9\" (USA), a.sfc, a.xml, sha1");
    EXPECT_EQ(Found(dats, no256, std::string(40, '1'), "", 0),
              "Hanguk (Korea) [b], Hanguk (Korea) [b].sfc, snes.dat, sha1, bad dump");
    EXPECT_EQ(Found(dats, no256, no1, "00c0ffee", 524288),
              "No SHA-1 (Japan), b.sfc, a.xml, crc32+size, bad dump");
    // A second ROM of a game, known by its CRC32 and size only.
    EXPECT_EQ(Found(dats, no256, no1, "ffffffff", 10),
              "Two Chips (Japan), Two Chips (Japan).msu, snes.dat, crc32+size");
    // An entry is matched by its strongest hash only, and the size counts.
    EXPECT_EQ(Found(dats, no256, std::string(40, '2'), "12345678", 2097152), "none");
    EXPECT_EQ(Found(dats, no256, no1, "00c0ffee", 524289), "none");
}

TEST(Dat, TheFormatIsToldByTheFirstThingInTheDocumentAndNeitherIsSaidToBeSo) {
    const struct {
        std::string_view start;
        DatFormat format;
    } cases[] = {
        {"\xEF\xBB\xBF\r\n  <datafile>", DatFormat::LogiqxXml},
        {std::string_view("\xFF\xFE<\0d\0", 6), DatFormat::LogiqxXml},
        {"\xEF\xBB\xBF\n\tclrmamepro\r\n(\n", DatFormat::Clrmamepro},
        {"clrmamepro", DatFormat::Unknown}, // cut off before the block opens
        {"", DatFormat::Unknown},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DetectDatFormat(c.start), c.format) << "start: " << c.start;
        if (c.format == DatFormat::Unknown) {
            EXPECT_EQ(Message(c.start), c.start.empty() ? "DAT file x.dat: the file is empty"
                                                        : "DAT file x.dat: neither a Logiqx XML "
                                                          "nor a clrmamepro DAT")
                << c.start;
        }
    }
}

// Games written in the ways the format allows: the name after the ROM, CRLF, tabs, no spaces
// around parentheses, escapes, machine and resource blocks, bare words, unknown fields and blocks.
TEST(Dat, ClrmameproFieldsInAnyOrderWithAnySpacingAndEscapesReadTheSame) {
    const std::string document =
        "clrmamepro(name x)\r\ngame (\n rom ( sha1 " + std::string(40, 'a') +
        " crc 0000001f size 16 name \"r.sfc\" )\n name \"G\"\n)\r\n"
        "game(\r\n\tname\t\"A \\\"B\\\" C\\\\D\"\r\n\trom(name \"dir\\r.sfc\" size 16 crc 1f "
        "sha1 " +
        std::string(40, 'b') +
        ")\r\n)\r\nresource ( name bios rom ( name b size 1 crc 2 ) )\nmachine ( name M year 1990 "
        "driver ( status good ( nested ) ) rom ( name m.sfc size 16 crc 1f region \"(x)\" sha1 " +
        std::string(40, 'c') + " ) )";
    DatCollection dats;
    ASSERT_NO_THROW(dats.LoadDocument("x.dat", document));
    EXPECT_EQ(Found(dats, "", std::string(40, 'a'), "", 0), "G, r.sfc, x.dat, sha1");
    // Escaped quotes and backslashes; other backslashes stay.
    EXPECT_EQ(Found(dats, "", std::string(40, 'b'), "", 0),
              "A \"B\" C\\D, dir\\r.sfc, x.dat, sha1");
    EXPECT_EQ(Found(dats, "", std::string(40, 'c'), "", 0), "M, m.sfc, x.dat, sha1");
    ASSERT_EQ(dats.Roms().size(), 4u); // the BIOS's too
    for (const std::size_t i : {0u, 1u, 3u})
        EXPECT_EQ(std::pair(dats.Roms()[i].size, dats.Roms()[i].crc32),
                  std::pair(std::uint64_t{16}, std::string("0000001f")));
}

// Each branch of the readers by the line it names; the wording where a file was cut off, and
// once for the others of each format.
TEST(Dat, MalformedDocumentsNameTheFileTheFormatTheLineAndWhatWasExpected) {
    const std::string xml = "looks like a Logiqx XML DAT, but ";
    const std::string cmp = "looks like a clrmamepro DAT, but ";
    const std::string good = "game (\n\tname \"A\"\n\trom ( name \"a\" size 1 crc 1 )\n)\n";
    const std::pair<std::string, std::string> cases[] = {
        // Cut off after the root's start tag: an error, not an endless wait for more.
        {"<datafile>\n", xml + "line 1: the file ends before its elements are closed: cut off?"},
        {"<datafile><a></b></datafile>", xml + "line 1: "},
        {"<datafile>\n<game name=\"a\"><rom sha256=\"" + std::string(63, 'a') +
             "\"/></game></datafile>",
         xml + "line 2: ROM \"\" of \"a\" has a malformed sha256"},
        {"<?xml version=\"1.0\"?>\n<!-- nothing but a comment -->\n",
         xml + "the document has no root element"},
        // A missing ')' is told by the next block's start, naming the innermost block left open.
        {"game (\n\tname \"A\"\n\trom ( name \"a\" size 1\n" + good,
         cmp + "line 4: ')' expected to close the rom of line 3 before \"game\""},
        // Cut off inside a ROM, a game, a quoted string.
        {good + "game (\n\tname \"B\"\n\trom ( name \"b\" size", cmp + "line 7: "},
        {good + "game (\n\tname \"B\"\n\trom ( name \"b\" size 1 )\n",
         cmp + "line 7: ')' expected, but the file ends inside the game of line 5: cut off?"},
        {good + "game (\n\tname \"B", cmp + "line 6: a quoted string that never ends: cut off?"},
        {good + ")", cmp + "line 5: "},
        {"game (\n name x\n)\ngame name y", cmp + "line 4: "},
        {"game ( name G\n rom ( name r\n size 1\n crc 12345678A ) )", cmp + "line 4: "},
    };
    for (const auto& [document, message] : cases) {
        const std::string said = Message(document);
        EXPECT_TRUE(said.starts_with("DAT file x.dat: " + message)) << said;
    }
    // A file whose last ')' is missing is cut off too, and nothing of it stays.
    DatCollection dats;
    dats.LoadDocument("good.dat", good);
    EXPECT_THROW(dats.LoadDocument("x.dat", good + good.substr(0, good.size() - 2)), EDatError);
    EXPECT_EQ(dats.Sources().size(), 1u);
    // A DAT file without games is one all the same.
    dats.LoadDocument("empty.dat", "<datafile>\n</datafile>");
    EXPECT_EQ(dats.Roms().size(), 1u);
    EXPECT_EQ(dats.Sources().size(), 2u);
}

TEST(Dat, FoldersAreReadWithTheirSubfoldersAndEachFileByItsContent) {
    testing::TempFolder folder;
    std::filesystem::create_directories(folder.Path() / "dats" / "sub");
    const std::string top = folder.Write("dats/snes.DAT", Bytes(kDat));
    const std::string nested = folder.Write("dats/sub/no-intro.xml", Bytes(kLibretro));
    // The header and the first game, under a name no DAT file has.
    const std::string other = std::string(kLibretro.substr(0, kLibretro.find("game (", 200)));
    const std::string odd = folder.Write("dats/sub/list.cmp", Bytes(other));
    folder.Write("dats/readme.txt", Bytes("Read me (twice)."));           // starts like a block
    folder.Write("dats/game.sfc", std::vector<std::uint8_t>(4096, 0xEA)); // an image
    DatCollection dats;
    EXPECT_EQ(dats.LoadFolder((folder.Path() / "dats").string()), 3u);
    EXPECT_EQ(dats.Sources(), (std::vector<std::string>{Listed(top), Listed(odd), Listed(nested)}));
    EXPECT_EQ(dats.Roms().size(), 2u + 1u + 4u);
    // A file that cannot be read is an error, and the collection stays as it was.
    EXPECT_THROW(dats.Load((folder.Path() / "missing.dat").string()), EDatError);
    EXPECT_EQ(dats.Roms().size(), 2u + 1u + 4u);

    // A file named as a DAT file must be one.
    const std::string broken = folder.Write("dats/sub/broken.dat", Bytes("game ( name x"));
    EXPECT_TRUE(MessageOf([&] { DatCollection().LoadFolder((folder.Path() / "dats").string()); })
                    .starts_with("DAT file " + Listed(broken) +
                                 ": looks like a clrmamepro DAT, but line 1: "));
}

TEST(Dat, ADatInAnArchiveIsItsFirstDatMember) {
    testing::TempFolder folder;
    const auto item = [](const char* name, std::string_view text) {
        return testing::ArchiveItem{name, Bytes(text)};
    };
    const std::string zip = folder.Write(
        "no-intro.zip", testing::MakeArchive(ArchiveFormat::Zip, {item("readme.txt", "hello"),
                                                                  item("snes.dat", kLibretro),
                                                                  item("other.xml", kDat)}));
    DatCollection dats;
    dats.Load(zip);
    EXPECT_EQ(dats.Sources(), std::vector<std::string>{zip + "#snes.dat"});
    EXPECT_EQ(dats.Roms().size(), 4u);
}

TEST(Dat, DeeplyNestedDocumentsAreReadWithoutExhaustingTheStack) {
    // Far deeper than a recursive walk gets on Linux's 8 MiB stack or Windows' 2 MiB one.
    constexpr std::size_t kDepth = 100000;
    std::string open = "<datafile>\n";
    for (std::size_t i = 0; i < kDepth; ++i)
        open += "<a>";
    std::string closed = open;
    for (std::size_t i = 0; i < kDepth; ++i)
        closed += "</a>";
    DatCollection dats;
    dats.LoadDocument("deep.dat", closed + "\n<game name=\"after\"><rom name=\"r\" size=\"1\" "
                                           "crc=\"1\"/></game>\n</datafile>\n");
    // The unknown elements hold no ROMs; the game after them is still seen as a game.
    ASSERT_EQ(dats.Roms().size(), 1u);
    EXPECT_EQ(dats.Roms()[0].game, "after");
    // Cut off after the innermost start tag.
    EXPECT_TRUE(
        Message(open).starts_with("DAT file x.dat: looks like a Logiqx XML DAT, but line 2: "));
}

TEST(Dat, EntitiesAndUtf8AcrossManyBufferBoundariesAreReadExactly) {
    // "&" and a Japanese word, encoded and decoded. Readers that refill a buffer in blocks
    // have cut entities and multi-byte characters at the blocks' ends: the document runs past
    // six 32 KiB boundaries, most of them inside a name, and one document per shift puts each
    // byte of the repeated unit on those.
    const std::string encoded = "&amp;\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0";
    const std::string decoded = "&\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0";
    for (std::size_t shift = 0; shift < encoded.size(); ++shift) {
        std::string document = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<datafile>" +
                               std::string(shift, ' ') + "\n";
        std::vector<std::string> names;
        while (document.size() < 6 * 32768) {
            // A kanji and a number, then the unit 40 to 44 times.
            std::string name = "\xE5\x90\x8D" + std::to_string(names.size());
            std::string attribute = name;
            for (std::size_t unit = 0; unit < 40 + names.size() % 5; ++unit) {
                name += decoded;
                attribute += encoded;
            }
            document += "<game name=\"" + attribute + "\"><rom name=\"r\" size=\"1\"/></game>\n";
            names.push_back(name);
        }
        DatCollection dats;
        dats.LoadDocument("utf8.dat", document + "</datafile>\n");
        std::vector<std::string> games;
        for (const DatRom& rom : dats.Roms())
            games.push_back(rom.game);
        EXPECT_TRUE(games == names) << "shift " << shift;
    }
}

} // namespace
} // namespace quillet
