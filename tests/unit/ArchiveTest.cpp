#include "archive/Archive.h"

#include "tests/support/ArchiveMaker.h"
#include "tests/support/TempFolder.h"
#include "tools/RomImageBuilder.h"

#include <gtest/gtest.h>

#include <array>

namespace quillet {
namespace {

using namespace testing;
using Bytes = std::vector<std::uint8_t>;

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Names that must come back exactly: a '#', a folder, Latin and Japanese letters.
std::vector<ArchiveItem> Items() {
    return {
        {"first.sfc", samples::MakeRomData(65536, 1)},
        {"readme.txt", {'h', 'i', '\n'}},
        {"sub/we#ird.SMC", samples::MakeRomData(4096, 2)},
        {"Pok\xC3\xA9mon \xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88.fig", samples::MakeRomData(512, 3)},
        {"empty.bin", {}}};
}

struct Case {
    const char* file;
    ArchiveFormat format;
    const char* options;
};

TEST(Archive, MembersComeBackInOrderWithTheirNamesSizesAndBytes) {
    TempFolder folder;
    const std::vector<ArchiveItem> items = Items();
    for (const Case& c :
         {Case{"a.zip", ArchiveFormat::Zip, ""}, Case{"b.7z", ArchiveFormat::SevenZip, ""},
          Case{"c.7Z", ArchiveFormat::SevenZip, "7zip:compression=lzma2"},
          Case{"d.7z", ArchiveFormat::SevenZip, "7zip:compression=deflate"}}) {
        SCOPED_TRACE(c.file);
        const std::string path = folder.Write(c.file, MakeArchive(c.format, items, c.options));
        const std::vector<ArchiveMember> members = ListArchive(path);
        ASSERT_EQ(members.size(), items.size());
        for (std::size_t i = 0; i < items.size(); ++i) {
            EXPECT_EQ(members[i].name, items[i].name);
            EXPECT_EQ(members[i].size, items[i].bytes.size());
            EXPECT_TRUE(members[i].regular);
        }
        ArchiveReader reader(path);
        EXPECT_EQ(reader.Format(), c.format);
        for (const ArchiveItem& item : items) {
            ASSERT_TRUE(reader.Next());
            EXPECT_EQ(reader.ReadAll(), item.bytes) << item.name;
        }
        EXPECT_FALSE(reader.Next());
        EXPECT_FALSE(reader.Next());
    }

    // A gz file holds one member, named after the file, of a size only its data tells.
    const Bytes image = samples::MakeRomData(131072, 4);
    const std::string gz =
        folder.Write("Game (USA).sfc.GZ", MakeArchive(ArchiveFormat::Gzip, {{"x", image}}));
    ArchiveReader reader(gz);
    const std::optional<ArchiveMember> member = reader.Next();
    ASSERT_TRUE(member);
    EXPECT_EQ(member->name, "Game (USA).sfc");
    EXPECT_EQ(reader.ReadAll(), image);
    EXPECT_FALSE(reader.Next());
}

TEST(Archive, StreamingAMemberGivesItsBytesInPieces) {
    TempFolder folder;
    const Bytes image = samples::MakeRomData(200000, 7);
    const std::string path =
        folder.Write("s.7z", MakeArchive(ArchiveFormat::SevenZip, {{"s.sfc", image}}));
    ArchiveReader reader(path);
    ASSERT_TRUE(reader.Next());
    Bytes read;
    std::array<std::uint8_t, 1000> piece{};
    while (const std::size_t count = reader.Read(piece))
        read.insert(read.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(count));
    EXPECT_EQ(read, image);
}

TEST(Archive, NoMemberIsReadPastTheLimitWhateverItsHeaderSays) {
    TempFolder folder;
    constexpr std::uint64_t kLimit = 4096;
    const std::vector<ArchiveItem> items = {{"at-limit.sfc", Bytes(kLimit, 1)},
                                            {"over.sfc", Bytes(kLimit + 1, 2)},
                                            {"after.sfc", Bytes(10, 3)}};
    for (const ArchiveFormat format : {ArchiveFormat::Zip, ArchiveFormat::SevenZip}) {
        const std::string path = folder.Write(format == ArchiveFormat::Zip ? "l.zip" : "l.7z",
                                              MakeArchive(format, items));
        ArchiveReader reader(path, kLimit);
        ASSERT_TRUE(reader.Next());
        EXPECT_EQ(reader.ReadAll().size(), kLimit);
        ASSERT_TRUE(reader.Next());
        try {
            reader.ReadAll();
            ADD_FAILURE() << "a member over the limit was read";
        } catch (const EMemberTooLarge& failure) {
            EXPECT_EQ(failure.Message(), "Cannot read " + path +
                                             "#over.sfc: 4097 bytes, more than the 4096 bytes an "
                                             "image in an archive may have");
        }
        // The next member is still there.
        ASSERT_TRUE(reader.Next());
        EXPECT_EQ(reader.ReadAll(), items[2].bytes);
    }

    // A zip that says its member is small, which decompresses to far more: what came out
    // counts, and no more than one byte past the limit does.
    Bytes zip = MakeArchive(ArchiveFormat::Zip, {{"bomb.sfc", Bytes(1 << 20, 0)}});
    ForgeZipSizes(zip, 100);
    const std::string bomb = folder.Write("bomb.zip", zip);
    {
        ArchiveReader reader(bomb, kLimit);
        const std::optional<ArchiveMember> member = reader.Next();
        ASSERT_TRUE(member);
        EXPECT_EQ(member->size, 100u);
        std::uint64_t total = 0;
        std::array<std::uint8_t, 1000> piece{};
        try {
            while (const std::size_t count = reader.Read(piece))
                total += count;
            ADD_FAILURE() << "the whole member came out";
        } catch (const EMemberTooLarge& failure) {
            EXPECT_EQ(failure.Message(), "Cannot read " + bomb +
                                             "#bomb.sfc: more than the 4096 bytes an image in "
                                             "an archive may have, though the archive says 100 "
                                             "bytes");
        }
        EXPECT_EQ(total, 4000u); // the last piece's bytes went past the limit
    }
    // One that says its member is larger than it is: refused before anything is decompressed.
    Bytes large = MakeArchive(ArchiveFormat::Zip, {{"small.sfc", Bytes(100, 5)}});
    ForgeZipSizes(large, 1u << 30);
    ArchiveReader reader(folder.Write("large.zip", large));
    ASSERT_TRUE(reader.Next());
    EXPECT_THROW(reader.ReadAll(), EMemberTooLarge);
}

struct Finding {
    std::string name;
    std::string reason;
};

struct Visit {
    std::vector<std::string> read;
    std::vector<Finding> failed;
    std::size_t wanted = 0;
};

Visit VisitImages(const std::string& path) {
    Visit visit;
    visit.wanted =
        VisitMembers(path, {.wanted = [](const std::string& name) { return IsImageName(name); },
                            .member =
                                [&](std::unique_ptr<MemberSource> member) {
                                    visit.read.push_back(member->Name());
                                    return true;
                                },
                            .failure =
                                [&](const std::string& name, const std::string& reason) {
                                    visit.failed.push_back({name, reason});
                                }});
    return visit;
}

TEST(Archive, CorruptArchivesAreFindingsWithLibarchivesReason) {
    TempFolder folder;
    const Bytes first = samples::MakeRomData(8192, 1);
    const Bytes second = samples::MakeRomData(262144, 2);
    const std::vector<ArchiveItem> items = {{"one.sfc", first}, {"two.sfc", second}};
    const Bytes garbage = samples::MakeRomData(3000, 9);
    for (const Case& c :
         {Case{"x.zip", ArchiveFormat::Zip, ""}, Case{"x.7z", ArchiveFormat::SevenZip, ""},
          Case{"x.sfc.gz", ArchiveFormat::Gzip, ""}}) {
        SCOPED_TRACE(c.file);
        const Bytes whole = MakeArchive(c.format, items);
        const std::string name = c.file;

        const std::string bad = folder.Write("garbage-" + name, garbage);
        const Visit junk = VisitImages(bad);
        EXPECT_TRUE(junk.read.empty());
        ASSERT_EQ(junk.failed.size(), 1u);
        EXPECT_EQ(junk.failed[0].name, bad);
        EXPECT_TRUE(junk.failed[0].reason.starts_with("Cannot read archive " + bad + ": "));
        EXPECT_GT(junk.failed[0].reason.size(), ("Cannot read archive " + bad + ": ").size());

        // Cut in the middle of the last member's data.
        const std::string cut =
            folder.Write("cut-" + name,
                         Bytes(whole.begin(),
                               whole.begin() + static_cast<std::ptrdiff_t>(whole.size() * 3 / 4)));
        const Visit truncated = VisitImages(cut);
        ASSERT_EQ(truncated.failed.size(), 1u) << truncated.failed.size();
        // The archive, or the member that was cut, by name.
        EXPECT_TRUE(truncated.failed[0].name.starts_with(cut)) << truncated.failed[0].name;
        EXPECT_TRUE(truncated.failed[0].reason.starts_with("Cannot read "))
            << truncated.failed[0].reason;
        EXPECT_TRUE(Has(truncated.failed[0].reason, truncated.failed[0].name + ": "));
        // What was whole before the cut is still read, in a zip at least.
        if (c.format == ArchiveFormat::Zip) {
            EXPECT_EQ(truncated.read, std::vector<std::string>{cut + "#one.sfc"});
        }
    }
    const std::string missing = (folder.Path() / "missing.zip").string();
    const Visit none = VisitImages(missing);
    ASSERT_EQ(none.failed.size(), 1u);
    EXPECT_TRUE(none.failed[0].reason.starts_with("Cannot open file " + missing + ": "));
    EXPECT_EQ(none.wanted, 0u);
}

TEST(Archive, TheFirstImageIsFoundPastOtherMembers) {
    TempFolder folder;
    const Bytes image = samples::MakeRomData(4096, 6);
    const std::string path = folder.Write(
        "f.zip", MakeArchive(ArchiveFormat::Zip,
                             {{"notes.txt", {'x'}}, {"Game.SWC", image}, {"later.sfc", {1}}}));
    const std::unique_ptr<MemberSource> first = ReadFirstImage(path);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->Name(), path + "#Game.SWC");
    EXPECT_EQ(*first->Bytes(), image);
    Bytes tail(10);
    EXPECT_EQ(first->ReadAt(4090, tail), 6u);
    EXPECT_EQ(first->ReadAt(4096, tail), 0u);
    EXPECT_EQ(ReadFirstImage(folder.Write("none.zip",
                                          MakeArchive(ArchiveFormat::Zip, {{"notes.txt", {'x'}}}))),
              nullptr);
}

TEST(Archive, FormatsAndImagesAreKnownByExtensionInAnyCase) {
    EXPECT_EQ(ArchiveFormatOf("roms/Game (USA).ZIP"), ArchiveFormat::Zip);
    EXPECT_EQ(ArchiveFormatOf("a.7z"), ArchiveFormat::SevenZip);
    EXPECT_EQ(ArchiveFormatOf("a.sfc.Gz"), ArchiveFormat::Gzip);
    EXPECT_EQ(ArchiveFormatOf("a.tgz"), std::nullopt);
    EXPECT_EQ(ArchiveFormatOf("zip"), std::nullopt);
    for (const char* name : {"a.sfc", "A.SMC", "b/c.078", "x.Fig", "y.swc", "z.BIN"})
        EXPECT_TRUE(IsImageName(name)) << name;
    for (const char* name : {"a.txt", "sfc", "a.sfc/readme", "a.sfc.bak", ".dat"})
        EXPECT_FALSE(IsImageName(name)) << name;
    EXPECT_EQ(MemberPath("roms/Game (USA).zip", "Game (USA).sfc"),
              "roms/Game (USA).zip#Game (USA).sfc");
}

} // namespace
} // namespace quillet
