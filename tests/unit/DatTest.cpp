#include "dat/DatFile.h"

#include "base/Utf8.h"

#include "tests/support/ArchiveMaker.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <string>
#include <string_view>
#include <vector>

namespace quillet {
namespace {

constexpr std::string_view kDat = R"dat(<?xml version="1.0"?>
<!DOCTYPE datafile PUBLIC "-//Logiqx//DTD ROM Management Datafile//EN" "http://www.logiqx.com/Dats/datafile.dtd">
<datafile>
  <header><name>Nintendo - Super Nintendo Entertainment System</name></header>
  <game name="Tom &amp; Jerry &quot;Caf&#233;&quot; (USA)">
    <description>Tom &amp; Jerry</description>
    <rom name="a.sfc" size="1048576" crc="1A2B3C4D" sha1="AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA"/>
  </game>
  <machine name="No SHA-1 (Japan)">
    <rom name="b.sfc" size="524288" crc="00c0ffee"/>
  </machine>
</datafile>
)dat";

std::string Message(const std::string& name, std::string_view document) {
    try {
        DatCollection dats;
        dats.LoadDocument(name, document);
    } catch (const EDatError& failure) {
        return failure.Message();
    }
    return "";
}

TEST(Dat, EntitiesDecodedAndMatchingBySha1ElseCrc32AndSize) {
    DatCollection dats;
    dats.LoadDocument("nes.dat", kDat);
    ASSERT_EQ(dats.Roms().size(), 2u);
    const std::string sha1(40, 'a');
    const auto bySha1 = dats.Find("", sha1, "ffffffff", 1);
    ASSERT_TRUE(bySha1);
    EXPECT_EQ(bySha1->game, "Tom & Jerry \"Caf\xC3\xA9\" (USA)");
    EXPECT_EQ(bySha1->key, DatKey::Sha1);
    const auto byCrc = dats.Find("", std::string(40, '0'), "00c0ffee", 524288);
    ASSERT_TRUE(byCrc);
    EXPECT_EQ(byCrc->game, "No SHA-1 (Japan)");
    EXPECT_EQ(byCrc->key, DatKey::Crc32AndSize);
    // An entry with a SHA-1 is never matched on its CRC alone, nor one of another size.
    EXPECT_FALSE(dats.Find("", std::string(40, '0'), "1a2b3c4d", 1048576));
    EXPECT_FALSE(dats.Find("", std::string(40, '0'), "00c0ffee", 524289));
}

TEST(Dat, MalformedAndEmptyDocumentsNameTheFileTheFormatAndTheLine) {
    const std::string xml = "DAT file x.dat: looks like a Logiqx XML DAT, but ";
    const struct {
        std::string document;
        std::string message; // the start of it
    } cases[] = {
        {"<datafile>\n<game name=\"a\">\n</datafile>", xml + "line "},
        // Cut off after the root's start tag: an error, not an endless wait for more.
        {"<datafile>\n", xml + "line 1: the file ends before its elements are closed: cut off?"},
        {"<datafile><a></b></datafile>", xml + "line 1: Start-end tags mismatch"},
        {"<datafile>\n<game name=\"a\"><rom crc=\"xyz\"/></game></datafile>",
         xml + "line 2: ROM \"\" of \"a\" has a malformed crc \"xyz\""},
        {"<datafile><game name=\"a\"><rom sha1=\"12\"/></game></datafile>",
         xml + "line 1: ROM \"\" of \"a\" has a malformed sha1 \"12\""},
        {"<datafile><game name=\"a\"><rom sha256=\"" + std::string(63, 'a') +
             "\"/></game></datafile>",
         xml + "line 1: ROM \"\" of \"a\" has a malformed sha256"},
        {"<datafile><game><rom/></game></datafile>", xml + "line 1: a <game> without"},
        {"<html><body/></html>", xml + "line 1: the root element is <html>, not <datafile>"},
        {"<?xml version=\"1.0\"?>\n<!-- nothing but a comment -->\n",
         xml + "the document has no root element"},
    };
    for (const auto& c : cases) {
        const std::string message = Message("x.dat", c.document);
        EXPECT_TRUE(message.starts_with(c.message)) << message;
    }
    DatCollection empty;
    empty.LoadDocument("empty.dat", "<datafile>\n</datafile>");
    EXPECT_TRUE(empty.Roms().empty());
}

TEST(Dat, ContentOfNeitherFormatIsSaidToBeSo) {
    constexpr std::string_view kNeither =
        "DAT file x.dat: neither a Logiqx XML nor a clrmamepro DAT";
    const struct {
        std::string_view document;
        std::string_view message;
    } cases[] = {
        {"", "DAT file x.dat: the file is empty"},
        {" \r\n\t\n", kNeither},
        {"hello world", kNeither},
        {"# a list\ngame ( name x )", kNeither},
        {"( game )", kNeither},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Message("x.dat", c.document), c.message) << "document: " << c.document;

    // A ROM image: every byte value, a copier header of zeros first.
    std::string image(512, '\0');
    for (int round = 0; round < 64; ++round) {
        for (int value = 0; value < 256; ++value)
            image += static_cast<char>(value ^ round);
    }
    EXPECT_EQ(Message("x.dat", image), kNeither);
}

TEST(Dat, TheFormatIsToldByTheFirstThingInTheDocument) {
    const struct {
        std::string_view start;
        DatFormat format;
    } cases[] = {
        {"<?xml version=\"1.0\"?>", DatFormat::LogiqxXml},
        {"\xEF\xBB\xBF\r\n  <datafile>", DatFormat::LogiqxXml},
        {std::string_view("\xFF\xFE<\0d\0", 6), DatFormat::LogiqxXml},
        {"clrmamepro (", DatFormat::Clrmamepro},
        {"\xEF\xBB\xBF\n\tclrmamepro\r\n(\n", DatFormat::Clrmamepro},
        {"game(", DatFormat::Clrmamepro},
        {"clrmamepro", DatFormat::Unknown}, // cut off before the block opens
        {"clrmamepro name", DatFormat::Unknown},
        {"\"game\" (", DatFormat::Unknown},
        {"", DatFormat::Unknown},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DetectDatFormat(c.start), c.format) << "start: " << c.start;
}

// The layout of the No-Intro DAT that RetroArch ships: a header block, upper-case hex, serials,
// regions, a bad dump and a SHA-256.
constexpr std::string_view kLibretro = R"dat(clrmamepro (
	name "Nintendo - Super Nintendo Entertainment System"
	description "Nintendo - Super Nintendo Entertainment System"
	version "20240101-000000"
	homepage "No-Intro"
)

game (
	name "Super Mario World (USA)"
	description "Super Mario World (USA)"
	region "USA"
	serial "SNS-MW-USA"
	releaseyear "1991"
	rom ( name "Super Mario World (USA).sfc" size 524288 crc B19ED489 md5 CDD3C8C37322978CA8669B34BC89C804 sha1 6B47BB75D16514B6A476AA0C73A683A2A4C18765 serial "SNS-MW-USA" )
)

game (
	name "Hanguk (Korea) [b]"
	region "Korea"
	rom ( name "Hanguk (Korea) [b].sfc" size 1048576 crc 0000ABCD md5 00000000000000000000000000000000 sha1 1111111111111111111111111111111111111111 flags baddump )
)

game (
	name "Two Chips (Japan)"
	rom ( name "Two Chips (Japan).sfc" size 2097152 crc 12345678 sha1 2222222222222222222222222222222222222222 sha256 AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA )
	rom ( name "Two Chips (Japan).msu" size 10 crc FFFFFFFF )
)
)dat";

TEST(Dat, ClrmameproTextInTheLayoutRetroArchShipsIsRead) {
    DatCollection dats;
    dats.LoadDocument("snes.dat", kLibretro);
    const std::vector<DatRom>& roms = dats.Roms();
    ASSERT_EQ(roms.size(), 4u);
    EXPECT_EQ(roms[0].game, "Super Mario World (USA)");
    EXPECT_EQ(roms[0].name, "Super Mario World (USA).sfc");
    EXPECT_EQ(roms[0].size, 524288u);
    EXPECT_EQ(roms[0].crc32, "b19ed489") << "hex is kept lower-case";
    EXPECT_EQ(roms[0].sha1, "6b47bb75d16514b6a476aa0c73a683a2a4c18765");
    EXPECT_FALSE(roms[0].badDump);
    EXPECT_TRUE(roms[1].badDump) << "flags baddump";
    EXPECT_EQ(roms[1].crc32, "0000abcd");
    EXPECT_EQ(roms[2].sha256, std::string(64, 'a'));
    EXPECT_EQ(roms[3].game, "Two Chips (Japan)") << "a second ROM of the same game";
    EXPECT_EQ(roms[3].sha1, "");
    ASSERT_EQ(dats.Sources(), std::vector<std::string>{"snes.dat"});

    const auto mario =
        dats.Find(std::string(64, '0'), "6b47bb75d16514b6a476aa0c73a683a2a4c18765", "00000000", 1);
    ASSERT_TRUE(mario);
    EXPECT_EQ(mario->rom, "Super Mario World (USA).sfc");
    EXPECT_EQ(mario->source, "snes.dat");
    const auto msu = dats.Find(std::string(64, '0'), std::string(40, '0'), "ffffffff", 10);
    ASSERT_TRUE(msu);
    EXPECT_EQ(msu->key, DatKey::Crc32AndSize);
}

// One game, written in ways the format allows: each must read as the same ROM.
TEST(Dat, ClrmameproFieldsInAnyOrderWithAnySpacingAndEscapesReadTheSame) {
    const std::string sha1(40, 'c');
    const struct {
        std::string_view what;
        std::string document;
        std::string game;
        std::string rom;
    } cases[] = {
        {"one line, bare words",
         "game ( name G rom ( name r.sfc size 16 crc 1F sha1 " + sha1 + " ) )", "G", "r.sfc"},
        {"the name after the ROM, hashes before the name",
         "game (\n rom ( sha1 " + sha1 + " crc 0000001f size 16 name \"r.sfc\" )\n name \"G\"\n)",
         "G", "r.sfc"},
        {"CRLF, tabs and no spaces around parentheses",
         "clrmamepro(name x)\r\ngame(\r\n\tname\t\"G\"\r\n\trom(name \"r.sfc\" size 16 crc 1f "
         "sha1 " +
             sha1 + ")\r\n)\r\n",
         "G", "r.sfc"},
        {"escaped quotes and backslashes; other backslashes stay",
         "game ( name \"A \\\"B\\\" C\\\\D\" rom ( name \"dir\\r.sfc\" size 16 crc 1f sha1 " +
             sha1 + " ) )",
         "A \"B\" C\\D", "dir\\r.sfc"},
        {"machine and resource blocks, unknown fields and blocks",
         "resource ( name bios rom ( name b size 1 crc 2 ) )\nmachine ( name G year 1990 "
         "driver ( status good ( nested ) ) rom ( name r.sfc size 16 crc 1f region \"(x)\" "
         "sha1 " +
             sha1 + " ) )",
         "G", "r.sfc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DatCollection dats;
        ASSERT_NO_THROW(dats.LoadDocument("x.dat", c.document));
        const auto hit = dats.Find("", sha1, "", 0);
        ASSERT_TRUE(hit);
        EXPECT_EQ(hit->game, c.game);
        EXPECT_EQ(hit->rom, c.rom);
        const DatRom& rom = dats.Roms().back();
        EXPECT_EQ(rom.size, 16u);
        EXPECT_EQ(rom.crc32, "0000001f");
    }
}

TEST(Dat, BrokenClrmameproTextNamesTheLineAndWhatWasExpected) {
    const std::string cmp = "DAT file x.dat: looks like a clrmamepro DAT, but ";
    const std::string good = "game (\n\tname \"A\"\n\trom ( name \"a\" size 1 crc 1 )\n)\n";
    const struct {
        std::string_view what;
        std::string document;
        std::string message;
    } cases[] = {
        {"a game's ')' missing before the next game",
         "game (\n\tname \"A\"\n\trom ( name \"a\" size 1 crc 1 )\n" + good,
         "line 4: ')' expected to close the game of line 1 before \"game\""},
        {"a ROM's ')' missing: the game's closes it",
         "game (\n\tname \"A\"\n\trom ( name \"a\" size 1\n)\n" + good,
         "line 5: ')' expected to close the game of line 1 before \"game\""},
        {"both missing", "game (\n\tname \"A\"\n\trom ( name \"a\" size 1\n" + good,
         "line 4: ')' expected to close the rom of line 3 before \"game\""},
        {"cut off inside a ROM", good + "game (\n\tname \"B\"\n\trom ( name \"b\" size",
         "line 7: a value expected after \"size\", found the end of the file"},
        {"cut off after a ROM", good + "game (\n\tname \"B\"\n\trom ( name \"b\" size 1 )\n",
         "line 7: ')' expected, but the file ends inside the game of line 5: cut off?"},
        {"cut off inside a quoted string", good + "game (\n\tname \"B",
         "line 6: a quoted string that never ends: cut off?"},
        {"cut off in the header", "clrmamepro (\n\tname \"x\"\n",
         "line 2: ')' expected, but the file ends inside the clrmamepro of line 1: cut off?"},
        {"a field without a value", "game ( name )", "line 1: a value expected after \"name\""},
        {"a quoted field name", "game ( \"name\" x )",
         "line 1: a field name expected in the game of line 1, found the quoted string"},
        {"a stray ')'", good + ")", "line 5: a block such as game ( ... ) expected, found ')'"},
        {"a block without '('", "game (\n name x\n)\ngame name y",
         "line 4: '(' expected after \"game\", found \"name\""},
        {"a game without a name", "\ngame ( rom ( name a size 1 crc 1 ) )",
         "line 2: a game without a name"},
        {"a malformed crc", "game ( name G\n rom ( name r\n size 1\n crc 12345678A ) )",
         "line 4: ROM \"r\" of \"G\" has a malformed crc \"12345678A\""},
        {"a malformed size", "game ( name G rom ( name r size -1 ) )",
         "line 1: ROM \"r\" of \"G\" has a malformed size \"-1\""},
        {"a malformed sha1", "game ( name G rom ( name r sha1 XYZ ) )",
         "line 1: ROM \"r\" of \"G\" has a malformed sha1 \"XYZ\""},
    };
    for (const auto& c : cases) {
        const std::string message = Message("x.dat", c.document);
        EXPECT_TRUE(message.starts_with(cmp + c.message)) << c.what << ":\n" << message;
    }
    // A file whose last ')' is missing is cut off too, and nothing of it stays.
    DatCollection dats;
    dats.LoadDocument("good.dat", good);
    EXPECT_THROW(dats.LoadDocument("x.dat", good + good.substr(0, good.size() - 2)), EDatError);
    EXPECT_EQ(dats.Roms().size(), 1u);
    EXPECT_EQ(dats.Sources().size(), 1u);
}

TEST(Dat, Sha256WinsWhereTheDatHasItAndBadDumpsAreMarked) {
    const std::string sha256(64, 'e');
    const std::string sha1(40, 'f');
    // The same data listed by SHA-1 in one game and by SHA-256 in another, and a bad dump.
    const std::string xml =
        "<datafile><game name=\"By SHA-1\"><rom name=\"one.sfc\" size=\"4\" crc=\"1\" sha1=\"" +
        sha1 +
        "\"/></game><game name=\"Bad\"><rom name=\"bad.sfc\" size=\"4\" crc=\"2\" "
        "status=\"baddump\"/></game></datafile>";
    const std::string text = "game ( name \"By SHA-256\" rom ( name two.sfc size 4 crc 1 sha1 " +
                             std::string(40, '0') + " sha256 " + sha256 + " ) )";
    DatCollection dats;
    dats.LoadDocument("a.xml", xml);
    dats.LoadDocument("b.dat", text);
    const auto strongest = dats.Find(sha256, sha1, "00000001", 4);
    ASSERT_TRUE(strongest);
    EXPECT_EQ(strongest->game, "By SHA-256");
    EXPECT_EQ(strongest->key, DatKey::Sha256);
    EXPECT_EQ(strongest->source, "b.dat");
    // Without the SHA-256 the SHA-1 entry is found; the SHA-256 entry's own SHA-1 counts not.
    const auto bySha1 = dats.Find(std::string(64, '1'), sha1, "00000001", 4);
    ASSERT_TRUE(bySha1);
    EXPECT_EQ(bySha1->game, "By SHA-1");
    EXPECT_EQ(bySha1->source, "a.xml");
    EXPECT_FALSE(bySha1->badDump);
    EXPECT_FALSE(dats.Find(std::string(64, '1'), std::string(40, '0'), "", 4));

    const auto bad = dats.Find("", "", "00000002", 4);
    ASSERT_TRUE(bad);
    EXPECT_TRUE(bad->badDump) << "status=\"baddump\"";
}

std::vector<std::uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

// A path as a folder's listing gives it: with the system's separators.
std::string Listed(const std::string& path) {
    return Utf8FromPath(PathFromUtf8(path).make_preferred());
}

TEST(Dat, FilesAreReadByContentAndFoldersWithTheirSubfolders) {
    testing::TempFolder folder;
    const std::string xmlNamedDat = folder.Write("xml.dat", Bytes(kDat));
    const std::string textNamedXml = folder.Write("text.xml", Bytes(kLibretro));
    DatCollection files;
    files.Load(xmlNamedDat);
    files.Load(textNamedXml);
    EXPECT_EQ(files.Roms().size(), 6u);
    EXPECT_EQ(files.Sources(), (std::vector<std::string>{xmlNamedDat, textNamedXml}));

    std::filesystem::create_directories(folder.Path() / "dats" / "sub");
    const std::string top = folder.Write("dats/snes.DAT", Bytes(kDat));
    const std::string nested = folder.Write("dats/sub/no-intro.xml", Bytes(kLibretro));
    // The header and the first game, under a name no DAT file has.
    const std::string other = std::string(kLibretro.substr(0, kLibretro.find("game (", 300)));
    const std::string odd = folder.Write("dats/sub/list.cmp", Bytes(other));
    folder.Write("dats/readme.txt", Bytes("Read me (twice)."));           // starts like a block
    folder.Write("dats/notes.md", Bytes("<b>bold</b> and more"));         // starts like markup
    folder.Write("dats/game.sfc", std::vector<std::uint8_t>(4096, 0xEA)); // an image
    DatCollection dats;
    EXPECT_EQ(dats.LoadFolder((folder.Path() / "dats").string()), 3u);
    EXPECT_EQ(dats.Sources(), (std::vector<std::string>{Listed(top), Listed(odd), Listed(nested)}));
    EXPECT_EQ(dats.Roms().size(), 2u + 1u + 4u);

    // A file named as a DAT file must be one.
    const std::string broken = folder.Write("dats/sub/broken.dat", Bytes("game ( name x"));
    DatCollection again;
    try {
        again.LoadFolder((folder.Path() / "dats").string());
        ADD_FAILURE() << "a broken .dat file was left out";
    } catch (const EDatError& failure) {
        EXPECT_TRUE(failure.Message().starts_with("DAT file " + Listed(broken) +
                                                  ": looks like a clrmamepro DAT, but line 1: "))
            << failure.Message();
    }
}

TEST(Dat, ADatInAnArchiveIsItsFirstDatMember) {
    testing::TempFolder folder;
    const auto item = [](const char* name, std::string_view text) {
        return testing::ArchiveItem{name, std::vector<std::uint8_t>(text.begin(), text.end())};
    };
    const std::string zip = folder.Write(
        "no-intro.zip", testing::MakeArchive(ArchiveFormat::Zip, {item("readme.txt", "hello"),
                                                                  item("snes.dat", kLibretro),
                                                                  item("other.xml", kDat)}));
    DatCollection dats;
    dats.Load(zip);
    EXPECT_EQ(dats.Sources(), std::vector<std::string>{zip + "#snes.dat"});
    EXPECT_EQ(dats.Roms().size(), 4u);

    const std::string none = folder.Write(
        "none.zip", testing::MakeArchive(ArchiveFormat::Zip, {item("readme.txt", "hello")}));
    const std::string garbage = folder.Write("garbage.zip", Bytes("not a zip at all"));
    for (const std::string& path : {none, garbage}) {
        try {
            DatCollection other;
            other.Load(path);
            ADD_FAILURE() << path << " was taken for a DAT file";
        } catch (const EDatError& failure) {
            EXPECT_NE(failure.Message().find(path), std::string::npos) << failure.Message();
        }
    }
}

// `<datafile>`, then `depth` nested unknown elements, closed again and followed by a game, or
// cut off after the innermost start tag.
std::string Nested(int depth, bool closed) {
    std::string document = "<datafile>\n";
    for (int i = 0; i < depth; ++i)
        document += "<a>";
    if (!closed)
        return document;
    for (int i = 0; i < depth; ++i)
        document += "</a>";
    return document + "\n<game name=\"after\"><rom name=\"r\" size=\"1\" crc=\"1\"/></game>\n"
                      "</datafile>\n";
}

TEST(Dat, DeeplyNestedDocumentsAreReadWithoutExhaustingTheStack) {
    // Far deeper than a recursive walk gets on Linux's 8 MiB stack or Windows' 2 MiB one.
    constexpr int kDepth = 100000;
    DatCollection dats;
    dats.LoadDocument("deep.dat", Nested(kDepth, true));
    // The unknown elements hold no ROMs; the game after them is still seen as a game.
    ASSERT_EQ(dats.Roms().size(), 1u);
    EXPECT_EQ(dats.Roms()[0].game, "after");

    const std::string message = Message("deep.dat", Nested(kDepth, false));
    EXPECT_TRUE(message.starts_with("DAT file deep.dat: looks like a Logiqx XML DAT, but line 2: "))
        << message;
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
        for (int i = 0; document.size() < 6 * 32768; ++i) {
            std::string name = "\xE5\x90\x8D" + std::to_string(i); // a kanji, then a number
            std::string attribute = name;
            for (int unit = 0; unit < 40 + i % 5; ++unit) {
                name += decoded;
                attribute += encoded;
            }
            document += "<game name=\"" + attribute + "\"><rom name=\"r\" size=\"1\" crc=\"" +
                        std::to_string(i) + "\"/></game>\n";
            names.push_back(name);
        }
        document += "</datafile>\n";

        DatCollection dats;
        dats.LoadDocument("utf8.dat", document);
        ASSERT_EQ(dats.Roms().size(), names.size()) << "shift " << shift;
        for (std::size_t i = 0; i < names.size(); ++i)
            ASSERT_EQ(dats.Roms()[i].game, names[i]) << "shift " << shift << ", game " << i;
    }
}

TEST(Dat, FilesReportProgressAndUnreadableOnesAreErrors) {
    testing::TempFolder folder;
    std::string big(kDat.substr(0, kDat.find("</datafile>")));
    for (int i = 0; i < 30000; ++i)
        big += "<game name=\"g" + std::to_string(i) + "\"><rom name=\"r\" size=\"1\" crc=\"" +
               std::to_string(10000000 + i) + "\"/></game>\n";
    big += "</datafile>\n";
    const std::string path =
        folder.Write("big.dat", std::vector<std::uint8_t>(big.begin(), big.end()));
    std::vector<std::pair<std::uint64_t, std::uint64_t>> calls;
    DatCollection dats;
    dats.Load(path,
              [&](std::uint64_t done, std::uint64_t total) { calls.emplace_back(done, total); });
    EXPECT_EQ(dats.Roms().size(), 30002u);
    ASSERT_GE(calls.size(), big.size() >> 20);
    EXPECT_EQ(calls.back(), (std::pair<std::uint64_t, std::uint64_t>(big.size(), big.size())));
    for (std::size_t i = 1; i < calls.size(); ++i)
        EXPECT_LE(calls[i].first - calls[i - 1].first, std::uint64_t{1} << 20);

    const std::string missing = (folder.Path() / "missing.dat").string();
    try {
        dats.Load(missing);
        ADD_FAILURE();
    } catch (const EDatError& failure) {
        EXPECT_NE(failure.Message().find(missing), std::string::npos) << failure.Message();
    }
    EXPECT_EQ(dats.Roms().size(), 30002u);
}

} // namespace
} // namespace quillet
