#include "dat/DatFile.h"

#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

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
    const auto bySha1 = dats.Find(sha1, "ffffffff", 1);
    ASSERT_TRUE(bySha1);
    EXPECT_EQ(bySha1->game, "Tom & Jerry \"Caf\xC3\xA9\" (USA)");
    EXPECT_EQ(bySha1->key, DatKey::Sha1);
    const auto byCrc = dats.Find(std::string(40, '0'), "00c0ffee", 524288);
    ASSERT_TRUE(byCrc);
    EXPECT_EQ(byCrc->game, "No SHA-1 (Japan)");
    EXPECT_EQ(byCrc->key, DatKey::Crc32AndSize);
    // An entry with a SHA-1 is never matched on its CRC alone, nor one of another size.
    EXPECT_FALSE(dats.Find(std::string(40, '0'), "1a2b3c4d", 1048576));
    EXPECT_FALSE(dats.Find(std::string(40, '0'), "00c0ffee", 524289));
}

TEST(Dat, MalformedAndEmptyDocumentsNameTheFileAndTheLine) {
    const struct {
        std::string_view document;
        std::string_view start;
    } cases[] = {
        {"<datafile>\n<game name=\"a\">\n</datafile>", "DAT file x.dat: line "},
        // Cut off after the root's start tag: an error, not an endless wait for more.
        {"<datafile>\n",
         "DAT file x.dat: line 1: the file ends before its elements are closed: cut off?"},
        {"<datafile><a></b></datafile>", "DAT file x.dat: line 1: Start-end tags mismatch"},
        {"<datafile>\n<game name=\"a\"><rom crc=\"xyz\"/></game></datafile>",
         "DAT file x.dat: line 2: ROM \"\" of \"a\" has a malformed crc \"xyz\""},
        {"<datafile><game name=\"a\"><rom sha1=\"12\"/></game></datafile>",
         "DAT file x.dat: line 1: ROM \"\" of \"a\" has a malformed sha1 \"12\""},
        {"<datafile><game><rom/></game></datafile>", "DAT file x.dat: line 1: a <game> without"},
        {"<html><body/></html>", "DAT file x.dat: line 1: not a Logiqx DAT file: the root"},
    };
    for (const auto& c : cases) {
        const std::string message = Message("x.dat", c.document);
        EXPECT_TRUE(message.starts_with(c.start)) << message;
    }
    DatCollection empty;
    empty.LoadDocument("empty.dat", "<datafile>\n</datafile>");
    EXPECT_TRUE(empty.Roms().empty());
}

TEST(Dat, DocumentsWithoutARootElementAreErrorsWithTheReason) {
    constexpr std::string_view kNoRoot = "DAT file x.dat: no root element: not an XML document";
    const struct {
        std::string_view document;
        std::string_view message;
    } cases[] = {
        {"", "DAT file x.dat: the file is empty"},
        {" \r\n\t\n", kNoRoot},
        {"hello world", kNoRoot},
        {"<?xml version=\"1.0\"?>\n<!-- nothing but a comment -->\n", kNoRoot},
        // The other DAT format, which the XML reader must not take for an empty list.
        {"clrmamepro (\n\tname \"Nintendo - Super Nintendo Entertainment System\"\n)\n\n"
         "game (\n\tname \"A (USA)\"\n\trom ( name \"A (USA).sfc\" size 524288 crc 1A2B3C4D "
         "sha1 AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA )\n)\n",
         kNoRoot},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Message("x.dat", c.document), c.message) << "document: " << c.document;

    // A ROM image: every byte value, a copier header of zeros first.
    std::string image(512, '\0');
    for (int round = 0; round < 64; ++round) {
        for (int value = 0; value < 256; ++value)
            image += static_cast<char>(value ^ round);
    }
    const std::string message = Message("x.dat", image);
    EXPECT_TRUE(message.starts_with("DAT file x.dat: ")) << message;
    EXPECT_GT(message.size(), std::string_view("DAT file x.dat: ").size()) << message;
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
    EXPECT_TRUE(message.starts_with("DAT file deep.dat: line 2: ")) << message;
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
