#include "gamelib/MxILib.h"

#include "base/FormStream.h"
#include "tests/support/LibraryBytes.h"
#include "tests/support/MessageOf.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

using testing::Bytes;
using testing::ImageLibrary;
using testing::MessageOf;

Bytes Saved(const TMxImages& images) {
    TMemoryStream out;
    images.SaveToStream(out);
    return out.Memory();
}

void Load(TMxImages& images, const Bytes& bytes) {
    TMemoryStream in(bytes);
    images.LoadFromStream(in);
}

TEST(ImageLibrary, LoadsAnyCaseSignatureAndSavesTheSameBytes) {
    // Width 5 takes 8 bytes a row, 640 takes 640, and an empty image takes none.
    const auto file = ImageLibrary("iL10", {{5, 3, 24}, {640, 2, 1280}, {0, 7, 0}, {3, 0, 0}});
    TMxImages images;
    Load(images, file);
    ASSERT_EQ(images.Count(), 4);
    EXPECT_EQ(images.Image(0).BitsSize(), 24u);
    EXPECT_EQ(images.Image(0).Bits[23], 24);
    EXPECT_EQ(images.Image(1).Width, 640);
    EXPECT_EQ(images.Image(1).BitsSize(), 1280u);
    EXPECT_EQ(images.Image(2).BitsSize(), 0u);
    EXPECT_EQ(images.Palette()[3], (TPaletteEntry{3, 6, 9, 12}));
    EXPECT_EQ(images.Header().Reserved, 0xCAFEF00Du);
    EXPECT_EQ(Saved(images), file);

    TMxImages empty;
    Load(empty, ImageLibrary("IL10", {}));
    EXPECT_EQ(empty.Count(), 0);
}

TEST(ImageLibrary, RowBytesRoundsUpToFourBytes) {
    EXPECT_EQ(RowBytes(0), 0);
    EXPECT_EQ(RowBytes(1), 4);
    EXPECT_EQ(RowBytes(4), 4);
    EXPECT_EQ(RowBytes(5), 8);
    EXPECT_EQ(RowBytes(640), 640);
}

TEST(ImageLibrary, BadFilesFailClearlyAndLeaveAConsistentList) {
    struct Case {
        const char* what;
        testing::Bytes file;
        std::string message;
        std::int32_t countAfter;
    };
    const Case cases[] = {
        {"wrong signature", ImageLibrary("IL11", {{1, 1, 4}}), "Not a valid Image Library File", 0},
        {"ends in the last image's pixels", ImageLibrary("IL10", {{4, 4, 16}, {4, 4, 15}}),
         "Stream read error", 1},
        {"ends in the header", testing::Bytes{'I', 'L', '1', '0', 1, 0}, "Stream read error", 0},
        {"negative count", ImageLibrary("IL10", {}, -1),
         "Image Library File has a bad image count (-1)", 0},
        {"count beyond the file", ImageLibrary("IL10", {{1, 1, 4}}, 100000000), "Stream read error",
         0},
        {"negative width", ImageLibrary("IL10", {{1, 1, 4}, {-8, 2, 0}}),
         "Image 1 of the Image Library File has a bad size (-8 x 2)", 1},
        {"pixels beyond the file", ImageLibrary("IL10", {{2000000000, 2000000000, 0}}),
         "Stream read error", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TMxImages images;
        Load(images, ImageLibrary("IL10", {{2, 2, 8}, {2, 2, 8}, {2, 2, 8}}));
        EXPECT_EQ(MessageOf([&] { Load(images, c.file); }), c.message);
        EXPECT_EQ(images.Count(), c.countAfter);
        for (int i = 0; i < images.Count(); ++i)
            EXPECT_NE(images.Image(i).Bits, nullptr);
        TMxImages copy;
        copy.Assign(images);
        EXPECT_EQ(copy.Count(), c.countAfter);
        images.Clear();
    }
}

TEST(ImageLibrary, AssignCopiesEverythingOrEmptiesKeepingSignatureAndPalette) {
    TMxImages source;
    Load(source, ImageLibrary("il10", {{5, 3, 24}, {1, 1, 4}}));
    TMxImageLib lib;
    lib.SetImages(source);
    EXPECT_EQ(lib.Count(), 2);
    EXPECT_EQ(Saved(lib.Images()), Saved(source));
    EXPECT_NE(lib.Images().Image(0).Bits.get(), source.Image(0).Bits.get());

    TMxImages empty;
    lib.SetImages(empty);
    EXPECT_EQ(lib.Count(), 0);
    EXPECT_EQ(lib.Images().Palette(), source.Palette());
    EXPECT_EQ(lib.Images().Header().Signature, source.Header().Signature);

    lib.Images().Assign(lib.Images());
    EXPECT_EQ(lib.Count(), 0);

    class TOther : public TPersistent {
        std::string ClassName() const override { return "TOther"; }
    } other;
    EXPECT_EQ(MessageOf([&] { other.Assign(source); }), "Cannot assign a TMxImages to a TOther");
}

TEST(ImageLibrary, ComponentRemembersItsFileForReload) {
    testing::TempFolder folder;
    const std::string path = folder.Write("tiles.iml", ImageLibrary("IL10", {{8, 8, 64}}));
    TMxImageLib lib;
    EXPECT_EQ(MessageOf([&] { lib.Reload(); }), "LoadFromFile must be called first");
    lib.LoadFromFile(path);
    EXPECT_EQ(lib.FileName(), path);
    lib.Images().Clear();
    folder.Write("tiles.iml", ImageLibrary("IL10", {{8, 8, 64}, {4, 1, 4}}));
    lib.Reload();
    EXPECT_EQ(lib.Count(), 2);

    const std::string missing = (folder.Path() / "missing.iml").string();
    EXPECT_EQ(MessageOf([&] { lib.LoadFromFile(missing); }), "Cannot open file " + missing);
    EXPECT_EQ(lib.FileName(), "");
    lib.LoadFromFile(path);
    EXPECT_NE(MessageOf([&] { lib.LoadFromFile(folder.Write("bad.iml", {'X'})); }),
              "(nothing raised)");
    EXPECT_EQ(lib.FileName(), "");
}

TEST(ImageLibrary, FormDescriptionCarriesTheImagesAsRawData) {
    TMxImageLib lib;
    lib.SetName("ImageLib1");
    lib.SetTag(7);
    Load(lib.Images(), ImageLibrary("IL10", {{5, 3, 24}, {0, 0, 0}}));
    TMemoryStream form;
    WriteComponent(form, lib);

    TMxImageLib restored;
    form.SetPosition(0);
    ReadComponent(form, restored);
    EXPECT_EQ(restored.Name(), "ImageLib1");
    EXPECT_EQ(restored.Tag(), 7);
    EXPECT_EQ(Saved(restored.Images()), Saved(lib.Images()));
    EXPECT_EQ(restored.FileName(), "");
    EXPECT_EQ(MessageOf([&] { restored.Reload(); }), "LoadFromFile must be called first");

    // An empty list stores nothing.
    TMxImageLib emptyLib;
    TMemoryStream emptyForm;
    WriteComponent(emptyForm, emptyLib);
    const std::string text(emptyForm.Memory().begin(), emptyForm.Memory().end());
    EXPECT_EQ(text.find("Images"), std::string::npos);
}

} // namespace
} // namespace quillet
