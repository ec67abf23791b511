#include "base/Streams.h"

#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(Streams, ExactReadsAndWritesRaiseTheClassLibraryErrors) {
    TMemoryStream memory(std::vector<std::uint8_t>{1, 2, 3});
    std::uint8_t buffer[4] = {};
    EXPECT_THROW(memory.ReadBuffer(buffer, 4), EReadError);
    memory.SetPosition(1);
    memory.ReadBuffer(buffer, 2);
    EXPECT_EQ(buffer[1], 3);
    EXPECT_EQ(memory.Remaining(), 0);
    memory.Seek(10, SeekOrigin::End);
    EXPECT_EQ(memory.Remaining(), 0);
    memory.WriteBuffer(buffer, 2);
    EXPECT_EQ(memory.Size(), 15);
}

TEST(Streams, FilesOpenReadAndReportWhatTheyCannotOpen) {
    testing::TempFolder folder;
    const std::string path = (folder.Path() / "data.bin").string();
    {
        TFileStream out(path, FileMode::Create);
        const std::uint8_t bytes[] = {9, 8, 7, 6, 5};
        out.WriteBuffer(bytes, 5);
        EXPECT_EQ(out.Size(), 5);
    }
    TFileStream in(path, FileMode::OpenRead);
    EXPECT_EQ(in.Size(), 5);
    in.SetPosition(3);
    EXPECT_EQ(in.Remaining(), 2);
    std::uint8_t buffer[3] = {};
    EXPECT_THROW(in.ReadBuffer(buffer, 3), EReadError);

    const std::string missing = (folder.Path() / "none" / "x.bin").string();
    try {
        TFileStream failed(missing, FileMode::OpenRead);
        FAIL();
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message(), "Cannot open file " + missing);
    }
    EXPECT_THROW(TFileStream(missing, FileMode::Create), EFCreateError);
}

} // namespace
} // namespace quillet
