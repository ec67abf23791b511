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
#include <iterator>
#include <map>

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
using testing::FailingFileLayer;
using testing::MessageOf;
using testing::TempFolder;
using testing::WriteStep;

using testing::Names;
using testing::ReadAll;

const Bytes kOld(1000, 0x11);
const Bytes kNew(70000, 0x22);

TEST(SafeWrite, AFailureAtAnyStepLeavesTheTargetAsItWasAndNoFileBehind) {
    const struct {
        WriteStep step;
        const char* doing; // what the message says was being done; "*" stands for the target
    } steps[] = {
        {WriteStep::Create, "cannot create a file in "},
        {WriteStep::Permissions, "cannot write *"},
        {WriteStep::Write, "cannot write *"},
        {WriteStep::Flush, "cannot write *"},
        {WriteStep::Close, "cannot write *"},
        {WriteStep::Rename, "cannot * *"},
    };
    for (const bool replacing : {false, true}) {
        for (const auto& s : steps) {
            if (s.step == WriteStep::Permissions && !replacing)
                continue; // only a file replaced has permissions to pass on
            SCOPED_TRACE((replacing ? "replacing, step " : "new file, step ") +
                         std::to_string(static_cast<int>(s.step)));
            TempFolder folder;
            folder.Write("game.sfc", kOld);
            folder.Write("other.sfc", kOld);
            const std::string target =
                (folder.Path() / (replacing ? "game.sfc" : "new.sfc")).string();
            FailingFileLayer files(s.step);

            const std::string message =
                MessageOf([&] { WriteFileSafely(files, target, kNew, true); });

            std::string expected = s.doing;
            if (s.step == WriteStep::Create)
                expected += folder.Path().string();
            if (s.step == WriteStep::Rename)
                expected = (replacing ? "cannot replace " : "cannot create ") + target;
            if (expected.ends_with('*'))
                expected = expected.substr(0, expected.size() - 1) + target;
            EXPECT_EQ(message, expected + ": injected failure");
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

    files.namesTaken = true;
    EXPECT_EQ(MessageOf([&] { WriteFileSafely(files, old, kOld, true); }),
              "cannot create a file in " + folder.Path().string() +
                  ": no free name for a temporary file");
    EXPECT_EQ(Names(folder.Path()),
              (std::vector<std::string>{"fresh.sfc", "game.sfc", "late.sfc"}));
}

TEST(SafeWrite, AFolderThatCannotBeWrittenToIsAClearFailure) {
    TempFolder folder;
    const std::string target = (folder.Path() / "no-such-folder" / "game.sfc").string();
    const auto files = MakeSystemFileLayer();
    const std::string message = MessageOf([&] { WriteFileSafely(*files, target, kNew, false); });
    EXPECT_TRUE(message.starts_with("cannot create a file in " +
                                    (folder.Path() / "no-such-folder").string() + ": "))
        << message;
    EXPECT_FALSE(fs::exists(folder.Path() / "no-such-folder"));
}

TEST(SafeWrite, AHeldFileChangedMeanwhileStaysAsTheOtherProgramLeftIt) {
    TempFolder folder;
    const std::string game = folder.Write("game.sfc", kOld);
    const std::string other = folder.Write("other.sfc", kNew);
    FailingFileLayer files(std::nullopt);
    Bytes appended = kOld;
    appended.push_back(0x33);
    struct Change {
        const char* what;
        std::function<void()> change;
        Bytes left;
    };
    std::vector<Change> changes = {
        {"written to", [&] { std::ofstream(game, std::ios::binary | std::ios::app) << '\x33'; },
         appended},
    };
#ifndef _WIN32
    // Windows lets nobody rename over a file that is held open.
    changes.push_back({"replaced",
                       [&] {
                           fs::copy_file(other, folder.Path() / "game.new");
                           fs::rename(folder.Path() / "game.new", game);
                       },
                       kNew});
#endif
    for (const Change& c : changes) {
        SCOPED_TRACE(c.what);
        folder.Write("game.sfc", kOld);
        std::unique_ptr<HeldFile> held = files.Hold(game);
        EXPECT_EQ(held->LinkCount(), 1u);
        files.beforeCheck = c.change;
        EXPECT_EQ(
            MessageOf([&] { WriteFileSafely(files, game, Bytes(10, 0x44), true, held.get()); }),
            game + " was changed by another program while it was repaired");
        EXPECT_EQ(ReadAll(game), c.left);
        EXPECT_EQ(Names(folder.Path()), (std::vector<std::string>{"game.sfc", "other.sfc"}));
    }
    files.beforeCheck = nullptr;
    std::unique_ptr<HeldFile> held = files.Hold(game);
    WriteFileSafely(files, game, kOld, true, held.get());
    EXPECT_EQ(ReadAll(game), kOld);
}

TEST(SafeWrite, ATargetOpenElsewhereIsTriedAgainAndLookedAtEachTime) {
    TempFolder folder;
    const std::string game = folder.Write("game.sfc", kOld);
    FailingFileLayer files(std::nullopt);
    files.busyRenames = 3;
    int looks = 0;
    files.beforeCheck = [&] { ++looks; };
    std::unique_ptr<HeldFile> held = files.Hold(game);
    WriteFileSafely(files, game, kNew, true, held.get());
    EXPECT_EQ(ReadAll(game), kNew);
    EXPECT_EQ(looks, 4);

    // Whoever had it open replaced it meanwhile: that shows before the next try.
    folder.Write("game.sfc", kOld);
    held = files.Hold(game);
    looks = 0;
    files.busyRenames = 1;
    files.beforeCheck = [&] {
        if (++looks == 2)
            std::ofstream(game, std::ios::binary | std::ios::app) << '\x33';
    };
    EXPECT_THROW(WriteFileSafely(files, game, kNew, true, held.get()), ETargetChanged);
    EXPECT_EQ(ReadAll(game).size(), kOld.size() + 1);

    // One that stays open is given up after a while, with the system's word for it.
    files.beforeCheck = nullptr;
    files.busyRenames = 1000;
    EXPECT_EQ(MessageOf([&] { WriteFileSafely(files, game, kNew, true); }),
              "cannot replace " + game + ": busy");
    EXPECT_EQ(Names(folder.Path()), (std::vector<std::string>{"game.sfc"}));
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
    const std::vector<std::string> others = {"game.sfc.quillet-7x.tmp", "game.sfc.quillet-.tmp",
                                             TemporaryNameFor("game.sfc2", 7),
                                             TemporaryNameFor("other.sfc", 7)};
    for (const std::string& name : others)
        folder.Write(name, kNew);
    const auto files = MakeSystemFileLayer();

    WriteFileSafely(*files, game, kNew, true); // not held: another run may be writing them
    EXPECT_EQ(Names(folder.Path()).size(), others.size() + 4);
    std::unique_ptr<HeldFile> held = files->Hold(game);
    WriteFileSafely(*files, game, kOld, true, held.get());
    std::vector<std::string> left = others;
    left.push_back("game.sfc");
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
}

// The mode of each file this process has open, by descriptor: a file without a name too.
std::map<std::string, mode_t> OpenFileModes() {
    std::map<std::string, mode_t> modes;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        struct stat info {};
        if (::stat(entry.path().c_str(), &info) == 0 && S_ISREG(info.st_mode))
            modes[entry.path().filename().string()] = info.st_mode & 07777;
    }
    return modes;
}

TEST(SafeWrite, APrivateNewFileIsItsOwnersAloneFromTheStart) {
    TempFolder folder;
    const auto files = MakeSystemFileLayer();
    const mode_t mask = ::umask(0); // the widest a new file may be made
    const std::string replaced = folder.Write("game.sfc", kOld);
    for (const bool isPrivate : {true, false}) {
        const std::map<std::string, mode_t> before = OpenFileModes();
        const auto file =
            files->CreateNew((folder.Path() / "new.tmp").string(), isPrivate ? &replaced : nullptr);
        ASSERT_TRUE(file);
        std::map<std::string, mode_t> after = OpenFileModes();
        for (const auto& [descriptor, mode] : before)
            after.erase(descriptor);
        ASSERT_EQ(after.size(), 1u);
        EXPECT_EQ(after.begin()->second, isPrivate ? 0600u : 0666u);
    }
    ::umask(mask);
    // Neither was closed, and both are gone.
    EXPECT_EQ(Names(folder.Path()), (std::vector<std::string>{"game.sfc"}));
}

TEST(SafeWrite, AFileTheUserMayNotWriteIsNotReplaced) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may write any file";
    TempFolder folder;
    const std::string game = folder.Write("game.sfc", kOld);
    ASSERT_EQ(::chmod(game.c_str(), 0444), 0);
    const auto files = MakeSystemFileLayer();
    EXPECT_EQ(MessageOf([&] { WriteFileSafely(*files, game, kNew, true); }),
              "cannot replace " + game + ": Permission denied");
    EXPECT_EQ(ReadAll(game), kOld);
    EXPECT_EQ(Names(folder.Path()), (std::vector<std::string>{"game.sfc"}));
}

#endif

} // namespace
} // namespace quillet
