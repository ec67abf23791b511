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

// The current member, streamed in pieces of 1000 bytes.
Bytes ReadInPieces(ArchiveReader& reader, std::uint64_t* total = nullptr) {
    Bytes read;
    std::array<std::uint8_t, 1000> piece{};
    while (const std::size_t count = reader.Read(piece)) {
        read.insert(read.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(count));
        if (total != nullptr)
            *total += count;
    }
    return read;
}

TEST(Archive, MembersComeBackInOrderWithTheirNamesSizesAndBytes) {
    TempFolder folder;
    // Names that must come back exactly: a '#', a folder, Latin and Japanese letters.
    const std::vector<ArchiveItem> items = {
        {"readme.txt", {'h', 'i', '\n'}},
        {"first.sfc", samples::MakeRomData(200000, 1)},
        {"sub/we#ird.SMC", samples::MakeRomData(4096, 2)},
        {"Pok\xC3\xA9mon \xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88.fig", samples::MakeRomData(512, 3)},
        {"empty.bin", {}}};
    for (const auto& [file, format] :
         {std::pair{"a.zip", ArchiveFormat::Zip}, {"b.7Z", ArchiveFormat::SevenZip}}) {
        SCOPED_TRACE(file);
        const std::string path = folder.Write(file, MakeArchive(format, items));
        ArchiveReader reader(path);
        EXPECT_EQ(reader.Format(), format);
        for (const ArchiveItem& item : items) {
            const std::optional<ArchiveMember> member = reader.Next();
            ASSERT_TRUE(member);
            EXPECT_EQ(member->name, item.name);
            EXPECT_EQ(member->size, item.bytes.size());
            EXPECT_TRUE(member->regular);
            EXPECT_EQ(ReadInPieces(reader), item.bytes) << item.name;
        }
        EXPECT_FALSE(reader.Next());
        // The first image, past the member that is none.
        const std::unique_ptr<MemberSource> first = ReadFirstImage(path);
        ASSERT_TRUE(first);
        EXPECT_EQ(first->Name(), path + "#first.sfc");
        EXPECT_EQ(*first->Bytes(), items[1].bytes);
    }

    // A gz file's one member, named after the file, is quillet-info's folder test.
    EXPECT_EQ(ReadFirstImage(folder.Write("none.zip",
                                          MakeArchive(ArchiveFormat::Zip, {{"notes.txt", {'x'}}}))),
              nullptr);
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
        EXPECT_THROW(reader.ReadAll(), EMemberTooLarge); // worded in quillet-info's test
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
        EXPECT_THROW(ReadInPieces(reader, &total), EMemberTooLarge);
        EXPECT_EQ(total, 4000u); // the last piece's bytes went past the limit
    }
    // One that says its member is larger than it is: refused before anything is decompressed.
    Bytes large = MakeArchive(ArchiveFormat::Zip, {{"small.sfc", Bytes(100, 5)}});
    ForgeZipSizes(large, 1u << 30);
    ArchiveReader reader(folder.Write("large.zip", large));
    ASSERT_TRUE(reader.Next());
    EXPECT_THROW(reader.ReadAll(), EMemberTooLarge);
}

TEST(Archive, CorruptArchivesAreFindingsWithLibarchivesReason) {
    TempFolder folder;
    const std::vector<ArchiveItem> items = {{"one.sfc", samples::MakeRomData(8192, 1)},
                                            {"two.sfc", samples::MakeRomData(262144, 2)}};
    // The names of the members read, then each failure's name and reason.
    const auto visit = [](const std::string& path) {
        std::vector<std::string> seen;
        VisitMembers(path, {.wanted = [](const std::string& name) { return IsImageName(name); },
                            .member =
                                [&](std::unique_ptr<MemberSource> member) {
                                    seen.push_back(member->Name());
                                    return true;
                                },
                            .failure =
                                [&](const std::string& name, const std::string& reason) {
                                    seen.push_back("failed " + name + " | " + reason);
                                }});
        return seen;
    };
    // Not an archive: libarchive's reason after ours.
    const std::string bad = folder.Write("garbage.7z", samples::MakeRomData(3000, 9));
    const std::vector<std::string> junk = visit(bad);
    ASSERT_EQ(junk.size(), 1u);
    const std::string prefix = "failed " + bad + " | Cannot read archive " + bad + ": ";
    EXPECT_TRUE(junk[0].starts_with(prefix) && junk[0].size() > prefix.size()) << junk[0];
    // Cut in the middle of the last member's data: the archive, or the member that was cut, by
    // name; what was whole before the cut is still read, in a zip at least.
    for (const auto& [name, format] : {std::pair{"x.zip", ArchiveFormat::Zip},
                                       {"x.7z", ArchiveFormat::SevenZip},
                                       {"x.sfc.gz", ArchiveFormat::Gzip}}) {
        SCOPED_TRACE(name);
        const Bytes whole = MakeArchive(format, items);
        const std::string cut = folder.Write(
            name, Bytes(whole.begin(),
                        whole.begin() + static_cast<std::ptrdiff_t>(whole.size() * 3 / 4)));
        std::vector<std::string> seen = visit(cut);
        ASSERT_FALSE(seen.empty());
        const std::string failure = seen.back();
        const std::string culprit = failure.substr(7, failure.find(" | ") - 7);
        EXPECT_TRUE(culprit.starts_with(cut)) << failure;
        EXPECT_NE(failure.find(" | Cannot read "), std::string::npos) << failure;
        EXPECT_NE(failure.find(culprit + ": "), std::string::npos) << failure;
        seen.pop_back();
        if (format == ArchiveFormat::Zip) {
            EXPECT_EQ(seen, std::vector<std::string>{cut + "#one.sfc"});
        }
    }
}

} // namespace
} // namespace quillet
