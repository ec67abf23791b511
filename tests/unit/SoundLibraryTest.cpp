#include "gamelib/mxslib.h"

#include "base/FormStream.h"
#include "gamelib/MxILib.h"
#include "tests/support/LibraryBytes.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <limits>

namespace quillet {
namespace {

using testing::Bytes;
using testing::ImageLibrary;
using testing::SoundLibrary;

Bytes Saved(const TMxSounds& sounds) {
    TMemoryStream out;
    sounds.SaveToStream(out);
    return out.Memory();
}

std::string LoadMessage(TMxSounds& sounds, const Bytes& bytes) {
    TMemoryStream in(bytes);
    try {
        sounds.LoadFromStream(in);
    } catch (const Exception& e) {
        return e.Message();
    }
    return "";
}

TEST(SoundLibrary, LoadsAnyCaseSignatureAndSavesTheSameBytes) {
    const Bytes file = SoundLibrary("sL10", {{5, 5, -1000, -200}, {0, 0}, {3, 3, 10000, 0}});
    TMxSounds sounds;
    EXPECT_EQ(LoadMessage(sounds, file), "");
    ASSERT_EQ(sounds.Count(), 3);
    EXPECT_EQ(sounds.Sound(0).Pan, -1000);
    EXPECT_EQ(sounds.Sound(0).Volume, -200);
    EXPECT_EQ(sounds.Sound(0).Data[4], 5);
    // Sound 2's data follows its 44-byte header directly: the bytes continue from sound 0's.
    EXPECT_EQ(sounds.Sound(2).Data[0], 6);
    EXPECT_EQ(sounds.Sound(1).Size, 0);
    EXPECT_EQ(sounds.Sound(1).Format[18], 0xEE);
    EXPECT_EQ(Saved(sounds), file);

    EXPECT_EQ(LoadMessage(sounds, SoundLibrary("SL10", {})), "");
    EXPECT_EQ(sounds.Count(), 0);
}

TEST(SoundLibrary, BadFilesFailClearlyAndLeaveAConsistentList) {
    struct Case {
        const char* what;
        Bytes file;
        std::string message;
        std::int32_t countAfter;
    };
    const Case cases[] = {
        {"image library signature", SoundLibrary("IL10", {{1, 1}}),
         "Not a valid Sound Library File", 0},
        {"ends in the last sound's data", SoundLibrary("SL10", {{4, 4}, {9, 8}}),
         "Stream read error", 1},
        {"negative count", SoundLibrary("SL10", {}, -5),
         "Sound Library File has a bad sound count (-5)", 0},
        {"count beyond the file", SoundLibrary("SL10", {{1, 1}}, 2000000000), "Stream read error",
         0},
        {"negative size", SoundLibrary("SL10", {{1, 1}, {-1, 0}}),
         "Sound 1 of the Sound Library File has a bad size (-1)", 1},
        {"size beyond the file", SoundLibrary("SL10", {{2147483647, 10}}), "Stream read error", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TMxSounds sounds;
        EXPECT_EQ(LoadMessage(sounds, SoundLibrary("SL10", {{2, 2}, {2, 2}, {2, 2}})), "");
        EXPECT_EQ(LoadMessage(sounds, c.file), c.message);
        EXPECT_EQ(sounds.Count(), c.countAfter);
        TMxSounds copy;
        copy.Assign(sounds);
        EXPECT_EQ(copy.Count(), c.countAfter);
    }
}

TEST(SoundLibrary, ComponentCopiesReloadsAndStoresItsSounds) {
    testing::TempFolder folder;
    const std::string path = folder.Write("effects.sdl", SoundLibrary("SL10", {{16, 16, 5, 6}}));
    TMxSoundLib lib;
    EXPECT_THROW(lib.Reload(), Exception);
    lib.LoadFromFile(path);
    EXPECT_EQ(lib.FileName(), path);
    lib.Sounds().Clear();
    lib.Reload();
    EXPECT_EQ(lib.Count(), 1);
    EXPECT_THROW(lib.LoadFromFile(folder.Write("image.iml", {'I', 'L', '1', '0', 0, 0, 0, 0})),
                 Exception);
    EXPECT_EQ(lib.FileName(), "");
    lib.LoadFromFile(path);

    TMxSoundLib copy;
    copy.SetSounds(lib.Sounds());
    EXPECT_EQ(Saved(copy.Sounds()), Saved(lib.Sounds()));
    EXPECT_NE(copy.Sounds().Sound(0).Data.get(), lib.Sounds().Sound(0).Data.get());

    TMemoryStream form;
    WriteComponent(form, lib);
    TMxSoundLib restored;
    form.SetPosition(0);
    ReadComponent(form, restored);
    EXPECT_EQ(Saved(restored.Sounds()), Saved(lib.Sounds()));
    EXPECT_EQ(restored.FileName(), "");
}

} // namespace
} // namespace quillet

namespace quillet {
namespace {

// A library file with a given header, then endless zeros.
class TLyingLibrary final : public TStream {
public:
    explicit TLyingLibrary(Bytes head) : head_(std::move(head)) {}
    std::size_t Read(void* buffer, std::size_t count) override {
        auto* out = static_cast<std::uint8_t*>(buffer);
        for (std::size_t i = 0; i < count; ++i, ++position_)
            out[i] = position_ < static_cast<std::int64_t>(head_.size())
                         ? head_[static_cast<std::size_t>(position_)]
                         : 0;
        return count;
    }
    std::size_t Write(const void*, std::size_t) override { return 0; }
    std::int64_t Seek(std::int64_t offset, SeekOrigin) override { return position_ = offset; }
    std::int64_t Size() const override { return std::numeric_limits<std::int64_t>::max(); }
    std::int64_t Position() const override { return position_; }

private:
    Bytes head_;
    std::int64_t position_ = 0;
};

std::string MessageLoading(TPersistent& list, TStream& stream) {
    try {
        if (auto* images = dynamic_cast<TMxImages*>(&list))
            images->LoadFromStream(stream);
        else
            dynamic_cast<TMxSounds&>(list).LoadFromStream(stream);
    } catch (const Exception& e) {
        return e.Message();
    }
    return "";
}

TEST(LibraryMemory, AllocationFailuresBecomeTheLibraryMessages) {
    TMxSounds sounds;
    TLyingLibrary manySounds(SoundLibrary("SL10", {}, 2147483647));
    EXPECT_EQ(MessageLoading(sounds, manySounds), "TMxSounds: GemMem Failed for FSounds");
    EXPECT_EQ(sounds.Count(), 0);

    TMxImages images;
    TLyingLibrary manyImages(ImageLibrary("IL10", {}, 2147483647));
    EXPECT_EQ(MessageLoading(images, manyImages), "TMxImage: GemMem Failed for FImages");

    // One image of 2^40 bytes: more than any machine here will hand out.
    TLyingLibrary hugeImage(ImageLibrary("IL10", {{1 << 20, 1 << 20, 0}}));
    EXPECT_EQ(MessageLoading(images, hugeImage), "TMxImage: GemMem Failed for ImgHdr.Bits");
    EXPECT_EQ(images.Count(), 0);
}

} // namespace
} // namespace quillet
