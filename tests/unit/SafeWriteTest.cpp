#include "files/SafeWrite.h"

#include "base/Utf8.h"
#include "tests/support/FailingFileLayer.h"
#include "tests/support/MessageOf.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quillet {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using namespace testing; // failing file layers, messages, folders and what they hold

const Bytes kOld(1000, 0x11);
const Bytes kNew(70000, 0x22);

TEST(SafeWrite, AFailureAtAnyStepLeavesTheTargetAsItWasAndNoFileBehind) {
    for (const bool replacing : {false, true}) {
        for (const WriteStep step : {WriteStep::Create, WriteStep::Permissions, WriteStep::Write,
                                     WriteStep::Flush, WriteStep::Close, WriteStep::Rename}) {
            if (step == WriteStep::Permissions && !replacing)
                continue; // only a file replaced has permissions to pass on
            SCOPED_TRACE((replacing ? "replacing, step " : "new file, step ") +
                         std::to_string(static_cast<int>(step)));
            TempFolder folder;
            folder.Write("game.sfc", kOld);
            folder.Write("other.sfc", kOld);
            const std::string target =
                (folder.Path() / (replacing ? "game.sfc" : "new.sfc")).string();
            FailingFileLayer files(step);
            const std::string doing = step == WriteStep::Create
                                          ? "cannot create a file in " + folder.Path().string()
                                      : step != WriteStep::Rename ? "cannot write " + target
                                      : replacing                 ? "cannot replace " + target
                                                                  : "cannot create " + target;
            EXPECT_EQ(MessageOf([&] { WriteFileSafely(files, target, kNew, true); }),
                      doing + ": injected failure");
            EXPECT_EQ(Names(folder.Path()), (std::vector<std::string>{"game.sfc", "other.sfc"}));
            EXPECT_EQ(ReadAll(folder.Path() / "game.sfc"), kOld);
        }
    }
}

TEST(SafeWrite, NewFilesReplacedFilesAndTargetsThatMustNotBeReplaced) {
    TempFolder folder;
    const std::string old = folder.Write("game.sfc", kOld);
    const std::string fresh = (folder.Path() / "fresh.sfc").string();
    FailingFileLayer files(std::nullopt);

    WriteFileSafely(files, fresh, kNew, false);
    EXPECT_EQ(ReadAll(fresh), kNew);
    EXPECT_THROW(WriteFileSafely(files, old, kNew, false), ETargetExists);
    EXPECT_EQ(ReadAll(old), kOld);
    WriteFileSafely(files, old, kNew, true);
    EXPECT_EQ(ReadAll(old), kNew);

    // Another program makes the target between our look and our rename: its file stays.
    const std::string late = (folder.Path() / "late.sfc").string();
    files.beforeRename = [&] { folder.Write("late.sfc", kOld); };
    EXPECT_THROW(WriteFileSafely(files, late, kNew, false), ETargetExists);
    EXPECT_EQ(ReadAll(late), kOld);
    files.beforeRename = nullptr;

    // A folder, like a device or a pipe, would turn into a plain file.
    const fs::path sub = folder.Path() / "sub";
    fs::create_directory(sub);
    EXPECT_EQ(MessageOf([&] { WriteFileSafely(files, sub.string(), kNew, true); }),
              "cannot replace " + sub.string() + ": not a regular file");
    EXPECT_EQ(Names(folder.Path()),
              (std::vector<std::string>{"fresh.sfc", "game.sfc", "late.sfc", "sub"}));
    EXPECT_TRUE(fs::is_empty(sub));
}

// A held file that another program writes to or replaces, before the first try of the rename
// or while the target is open elsewhere, stays as that program left it.
TEST(SafeWrite, AHeldFileChangedMeanwhileStaysAsTheOtherProgramLeftIt) {
    TempFolder folder;
    const std::string game = folder.Write("game.sfc", kOld);
    const std::string other = folder.Write("other.sfc", kNew);
    FailingFileLayer files(std::nullopt);
    Bytes appended = kOld;
    appended.push_back(0x33);
    const auto append = [&] { std::ofstream(game, std::ios::binary | std::ios::app) << '\x33'; };
    struct Change {
        int busyRenames; // before the change
        std::function<void()> change;
        Bytes left;
    };
    std::vector<Change> changes = {{0, append, appended}, {1, append, appended}};
#ifndef _WIN32
    // Windows lets nobody rename over a file that is held open.
    changes.push_back({0,
                       [&] {
                           fs::copy_file(other, folder.Path() / "game.new");
                           fs::rename(folder.Path() / "game.new", game);
                       },
                       kNew});
#endif
    for (const Change& c : changes) {
        SCOPED_TRACE(&c - changes.data());
        folder.Write("game.sfc", kOld);
        std::unique_ptr<HeldFile> held = files.Hold(game);
        int looks = 0;
        files.busyRenames = c.busyRenames;
        files.beforeCheck = [&] {
            if (++looks == c.busyRenames + 1)
                c.change();
        };
        EXPECT_EQ(
            MessageOf([&] { WriteFileSafely(files, game, Bytes(10, 0x44), true, held.get()); }),
            game + " was changed by another program while it was repaired");
        EXPECT_EQ(ReadAll(game), c.left);
        EXPECT_EQ(Names(folder.Path()), (std::vector<std::string>{"game.sfc", "other.sfc"}));
    }

    // Unchanged, and open elsewhere for the first three tries: looked at before each.
    int looks = 0;
    files.busyRenames = 3;
    files.beforeCheck = [&] { ++looks; };
    std::unique_ptr<HeldFile> held = files.Hold(game);
    WriteFileSafely(files, game, kNew, true, held.get());
    EXPECT_EQ(ReadAll(game), kNew);
    EXPECT_EQ(looks, 4);
    // One that stays open is given up after a while, with the system's word for it.
    files.beforeCheck = nullptr;
    files.busyRenames = 1000;
    EXPECT_EQ(MessageOf([&] { WriteFileSafely(files, game, kOld, true); }),
              "cannot replace " + game + ": busy");
    EXPECT_EQ(ReadAll(game), kNew);
    EXPECT_EQ(Names(folder.Path()), (std::vector<std::string>{"game.sfc", "other.sfc"}));
}

TEST(SafeWrite, WhatAKilledRunLeftGoesWhenTheFileIsNextHeld) {
    TempFolder folder;
    const std::string game = folder.Write("game.sfc", kOld);
    // Left by runs killed two minutes ago.
    for (const unsigned number : {4000000000u, 7u}) {
        const std::string left = folder.Write(TemporaryNameFor("game.sfc", number), kNew);
        fs::last_write_time(PathFromUtf8(left),
                            fs::file_time_type::clock::now() - std::chrono::minutes(2));
    }
    // Written a moment ago: on Windows, where a run lets the file go before its rename, this
    // may be a live run's.
    const std::string fresh = TemporaryNameFor("game.sfc", 8);
    folder.Write(fresh, kNew);
    // Names that only look like one of ours, or are another file's, stay.
    std::vector<std::string> left = {"game.sfc", "game.sfc.quillet-7x.tmp", "game.sfc.quillet-.tmp",
                                     TemporaryNameFor("game.sfc2", 7),
                                     TemporaryNameFor("other.sfc", 7)};
    for (const std::string& name : left)
        folder.Write(name, kNew);
    const auto files = MakeSystemFileLayer();

    WriteFileSafely(*files, game, kNew, true); // not held: another run may be writing them
    EXPECT_EQ(Names(folder.Path()).size(), left.size() + 3);
    std::unique_ptr<HeldFile> held = files->Hold(game);
    WriteFileSafely(*files, game, kOld, true, held.get());
#ifdef _WIN32
    left.push_back(fresh);
#endif
    std::ranges::sort(left);
    EXPECT_EQ(Names(folder.Path()), left);
    EXPECT_EQ(ReadAll(game), kOld);
}

#ifdef _WIN32

TEST(SafeWrite, AReplacedFileKeepsItsAttributesAndAReadOnlyOneIsNotReplaced) {
    TempFolder folder;
    const std::string hidden = folder.Write("hidden.sfc", kOld);
    if (!SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE) ||
        (GetFileAttributesA(hidden.c_str()) & FILE_ATTRIBUTE_HIDDEN) == 0)
        GTEST_SKIP() << "this file system keeps no hidden attribute";
    const auto files = MakeSystemFileLayer();
    WriteFileSafely(*files, hidden, kNew, true);
    EXPECT_EQ(ReadAll(hidden), kNew);
    EXPECT_NE(GetFileAttributesA(hidden.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);

    const std::string readOnly = folder.Write("read-only.sfc", kOld);
    ASSERT_TRUE(SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(MessageOf([&] {
                    WriteFileSafely(*files, readOnly, kNew, true);
                }).starts_with("cannot replace " + readOnly + ": "));
    EXPECT_EQ(ReadAll(readOnly), kOld);
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(Names(folder.Path()), (std::vector<std::string>{"hidden.sfc", "read-only.sfc"}));
}

#else

// A link stays a link to the file replaced, which keeps its mode; one the user may not write
// to is not replaced.
TEST(SafeWrite, AReplacedFileKeepsItsModeAndALinkStaysALink) {
    TempFolder folder;
    const std::string game = folder.Write("game.sfc", kOld);
    ASSERT_EQ(::chmod(game.c_str(), 0640), 0);
    const fs::path link = folder.Path() / "link.sfc";
    fs::create_symlink("game.sfc", link);
    const auto files = MakeSystemFileLayer();

    WriteFileSafely(*files, link.string(), kNew, true);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadAll(game), kNew);
    struct stat info {};
    ASSERT_EQ(::stat(game.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(Names(folder.Path()), (std::vector<std::string>{"game.sfc", "link.sfc"}));

    if (::geteuid() == 0)
        GTEST_SKIP() << "root may write any file";
    ASSERT_EQ(::chmod(game.c_str(), 0444), 0);
    EXPECT_EQ(MessageOf([&] { WriteFileSafely(*files, game, kOld, true); }),
              "cannot replace " + game + ": Permission denied");
    EXPECT_EQ(ReadAll(game), kNew);
    EXPECT_EQ(Names(folder.Path()), (std::vector<std::string>{"game.sfc", "link.sfc"}));
}

#endif

} // namespace
} // namespace quillet
