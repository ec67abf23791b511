#include "gamelib/MxILib.h"
#include "gamelib/mxslib.h"

#include "base/FormStream.h"
#include "tests/support/LibraryBytes.h"
#include "tests/support/MessageOf.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <limits>

namespace quillet {
namespace {

using testing::Bytes;
using testing::ImageLibrary;
using testing::MessageOf;
using testing::SoundLibrary;

constexpr const char* kLoaded = "(nothing raised)";

template <typename List> Bytes Saved(const List& list) {
    TMemoryStream out;
    list.SaveToStream(out);
    return out.Memory();
}

template <typename List> std::string Load(List& list, const Bytes& bytes) {
    TMemoryStream in(bytes);
    return MessageOf([&] { list.LoadFromStream(in); });
}

TEST(LibraryFiles, LoadAnyCaseSignatureAndSaveTheSameBytes) {
    // Width 5 takes 8 bytes a row, 640 takes 640, and an empty image takes none.
    const Bytes imageFile = ImageLibrary("iL10", {{5, 3, 24}, {640, 2, 1280}, {0, 7, 0}});
    TMxImages images;
    ASSERT_EQ(Load(images, imageFile), kLoaded);
    EXPECT_EQ(Saved(images), imageFile);

    const Bytes soundFile = SoundLibrary("sL10", {{5, 5, -1000, -200}, {0, 0}, {3, 3, 10000}});
    TMxSounds sounds;
    ASSERT_EQ(Load(sounds, soundFile), kLoaded);
    EXPECT_EQ(Saved(sounds), soundFile);
}

// Loads `file` over a list of two; returns the message and the count left, which must agree
// with what the list holds.
template <typename List> std::string LoadOver(const Bytes& previous, const Bytes& file) {
    List list;
    EXPECT_EQ(Load(list, previous), kLoaded);
    const std::string message = Load(list, file);
    List copy;
    copy.Assign(list);
    EXPECT_EQ(copy.Count(), list.Count());
    EXPECT_EQ(Saved(copy).size(), Saved(list).size());
    return message + ", " + std::to_string(list.Count());
}

// A library file that claims to go on for ever after its header.
class TLyingLibrary final : public TStream {
public:
    explicit TLyingLibrary(const Bytes& head) : head_(head) {}
    std::size_t Read(void* buffer, std::size_t count) override { return head_.Read(buffer, count); }
    std::size_t Write(const void*, std::size_t) override { return 0; }
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override {
        return head_.Seek(offset, origin);
    }
    std::int64_t Size() const override { return std::numeric_limits<std::int64_t>::max(); }
    std::int64_t Position() const override { return head_.Position(); }

private:
    TMemoryStream head_;
};

template <typename List> std::string LoadLying(const Bytes& head) {
    List list;
    TLyingLibrary stream(head);
    return MessageOf([&] { list.LoadFromStream(stream); }) + ", " + std::to_string(list.Count());
}

TEST(LibraryFiles, BadFilesFailClearlyAndLeaveAConsistentList) {
    const auto images = [](const Bytes& file) {
        return LoadOver<TMxImages>(ImageLibrary("IL10", {{2, 2, 8}, {2, 2, 8}}), file);
    };
    EXPECT_EQ(images(ImageLibrary("IL11", {})), "Not a valid Image Library File, 0");
    EXPECT_EQ(images(ImageLibrary("IL10", {{1, 1, 4}, {-8, 2, 0}})),
              "Image 1 of the Image Library File has a bad size (-8 x 2), 1");
    EXPECT_EQ(images(ImageLibrary("IL10", {{4, 4, 16}, {4, 4, 15}})), "Stream read error, 1");
    EXPECT_EQ(images(ImageLibrary("IL10", {{2000000000, 2000000000, 0}})), "Stream read error, 0");

    const auto sounds = [](const Bytes& file) {
        return LoadOver<TMxSounds>(SoundLibrary("SL10", {{2, 2}, {2, 2}}), file);
    };
    EXPECT_EQ(sounds(SoundLibrary("IL10", {})), "Not a valid Sound Library File, 0");
    EXPECT_EQ(sounds(SoundLibrary("SL10", {}, -5)),
              "Sound Library File has a bad sound count (-5), 0");
    EXPECT_EQ(sounds(SoundLibrary("SL10", {{1, 1}, {2147483647, 10}})), "Stream read error, 1");

    // Where the file could hold them, lists and images too large to allocate.
    EXPECT_EQ(LoadLying<TMxSounds>(SoundLibrary("SL10", {}, 2147483647)),
              "TMxSounds: GemMem Failed for FSounds, 0");
    EXPECT_EQ(LoadLying<TMxImages>(ImageLibrary("IL10", {}, 2147483647)),
              "TMxImage: GemMem Failed for FImages, 0");
    // One image of 2^40 bytes: more than any machine here will hand out.
    EXPECT_EQ(LoadLying<TMxImages>(ImageLibrary("IL10", {{1 << 20, 1 << 20, 0}})),
              "TMxImage: GemMem Failed for ImgHdr.Bits, 0");
}

TEST(LibraryComponent, ReloadsOnlyTheFileItLoadedAndStoresTheListInItsForm) {
    testing::TempFolder folder;
    const std::string path = folder.Write("tiles.iml", ImageLibrary("IL10", {{8, 8, 64}}));
    TMxImageLib lib;
    EXPECT_EQ(MessageOf([&] { lib.Reload(); }), "LoadFromFile must be called first");
    lib.LoadFromFile(path);
    folder.Write("tiles.iml", ImageLibrary("IL10", {{8, 8, 64}, {4, 1, 4}}));
    lib.Reload();
    EXPECT_EQ(lib.Count(), 2);

    TMemoryStream form;
    WriteComponent(form, lib);
    TMxImageLib restored;
    form.SetPosition(0);
    ReadComponent(form, restored);
    EXPECT_EQ(Saved(restored.Images()), Saved(lib.Images()));
    EXPECT_EQ(restored.FileName(), "");
}

} // namespace
} // namespace quillet
