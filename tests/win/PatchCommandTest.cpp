// File, Apply Patch...: the main window applies a patch to the image on show as quillet-fix
// --patch does, and says what it did or why not in quillet-fix's words.
#include "app/SnesForm.h"
#include "cli/QuilletFix.h"
#include "rom/PatchMaker.h"
#include "tests/support/TempFolder.h"
#include "tests/win/MainWindowFixture.h"
#include "tests/win/MessageBoxes.h"
#include "tools/RomImageBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace quillet {
namespace {

using namespace samples;
using namespace testing;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kHeader = 512;

// The demo image with a few bytes of its data changed, as a small hack would.
Bytes ChangedDemo() {
    Bytes changed = DemoImage();
    for (std::size_t at = kHeader + 0x1000; at < kHeader + 0x1010; ++at)
        changed[at] ^= 0x5A;
    changed[kHeader + 0x80000] = 0x42;
    return changed;
}

// A BPS patch of the data alone, as today's patches are made.
Bytes DataPatch(const Bytes& from, const Bytes& to) {
    return MakeBps(std::span(from).subspan(kHeader), std::span(to).subspan(kHeader));
}

// What quillet-fix --patch PATCH -o TARGET IMAGE prints, and to which stream.
struct FixSays {
    std::string out, err;
};
FixSays RunFix(const std::string& patch, const std::string& target, const std::string& image) {
    const std::vector<std::string> arguments{"--patch", patch, "-o", target, image};
    std::ostringstream out, err;
    const auto files = MakeSystemFileLayer();
    RunQuilletFix(arguments, out, err, *files);
    return {out.str(), err.str()};
}

class PatchCommand : public MainWindow {
protected:
    // Runs the command with the patch preset in its open dialog; the dialogs whose titles are
    // in `accepted` take the names in them, every other box is cancelled or closed.
    std::vector<SeenBox> Apply(const std::string& patch,
                               const std::vector<std::string>& accepted = {"Apply Patch",
                                                                           "Save Patched Image"}) {
        form.PatchDialog1->FileName = patch;
        MessageBoxAnswerer answerer(IDCANCEL);
        answerer.AnswerFor = [&](const SeenBox& box) {
            if (box.caption == "Quillet")
                return IDOK;
            if (std::ranges::count(accepted, box.caption) == 0)
                return IDCANCEL;
            // A dialog's own question (replace the file?) has a text; the dialog has none.
            return box.text.empty() ? IDOK : IDYES;
        };
        form.ApplyPatch1Click();
        WaitForDetails();
        return answerer.Seen();
    }
    std::string Named(const std::string& name) const { return (folder.Path() / name).string(); }
    std::vector<std::string> Captions(const std::vector<SeenBox>& boxes) const {
        std::vector<std::string> captions;
        for (const SeenBox& box : boxes)
            captions.push_back(box.caption);
        return captions;
    }
};

TEST(PatchedImageName, ThePatchsNameInTheImagesFolderWithTheImagesExtension) {
    const struct {
        const char* image;
        const char* patch;
        const char* suggested;
    } cases[] = {
        {"C:\\roms\\Game.smc", "D:\\hacks\\Hack v1.2.bps", "C:\\roms\\Hack v1.2.smc"},
        {"C:\\roms.d\\Game", "hack.ips", "C:\\roms.d\\hack"}, // a dot in the folder only
        {"C:\\roms\\Game.sfc", "C:\\patches\\.ups", "C:\\roms\\.ups.sfc"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(app::PatchedImageName(c.image, c.patch), c.suggested) << c.image;
}

TEST_F(PatchCommand, WritesThePatchedImageBesideItAndOpensIt) {
    const Bytes demo = DemoImage();
    const Bytes changed = ChangedDemo();
    const std::string image = folder.Write("game.smc", demo);
    const std::string patch = folder.Write("hack v1.2.bps", DataPatch(demo, changed));
    Open(image);
    log.Clear();

    const auto boxes = Apply(patch);
    EXPECT_EQ(Captions(boxes), (std::vector<std::string>{"Apply Patch", "Save Patched Image"}));
    const std::string result = Named("hack v1.2.smc");
    EXPECT_EQ(form.SaveDialog1->FileName, result);
    ASSERT_TRUE(std::filesystem::exists(result));
    // The data changed as the hack has it, the copier header in front as it was.
    EXPECT_EQ(ReadAll(result), changed);
    EXPECT_EQ(ReadAll(image), demo);
    EXPECT_EQ(form.FilenameEdit->Text(), result);
    EXPECT_EQ(form.FFileName, result);
    EXPECT_EQ(form.lblGameName->Caption(), "QUILLET DEMO CART    ");
    ASSERT_TRUE(form.FDetails.has_value());

    // The log says what quillet-fix says of the same patch, and opens the result after.
    const FixSays fix = RunFix(patch, Named("by-fix.smc"), image);
    EXPECT_EQ(fix.err, "");
    EXPECT_EQ(ReadAll(Named("by-fix.smc")), changed);
    const std::string said = fix.out.substr(0, fix.out.find(image + ": wrote "));
    EXPECT_NE(said.find("applied the BPS patch to the data without the copier header"),
              std::string::npos)
        << said;
    const std::string logged = log.Text();
    EXPECT_TRUE(logged.starts_with(said + image + ": wrote " + result + "\n")) << logged;
    EXPECT_TRUE(logged.ends_with("Open Finished...\n")) << logged;

    // Patched again under the name of the image it came from: the dialog asks first, and yes
    // replaces that file.
    Bytes twice = changed;
    twice[kHeader + 0x2000] ^= 0xFF;
    const std::string back = folder.Write("game.bps", DataPatch(changed, twice));
    const auto again = Apply(back);
    EXPECT_EQ(Captions(again), (std::vector<std::string>{"Apply Patch", "Save Patched Image",
                                                         "Save Patched Image"}));
    EXPECT_EQ(ReadAll(image), twice);
    EXPECT_EQ(ReadAll(result), changed);
    EXPECT_EQ(form.FilenameEdit->Text(), image);
}

TEST_F(PatchCommand, CancellingEitherDialogChangesNothing) {
    const Bytes demo = DemoImage();
    const std::string image = folder.Write("game.smc", demo);
    const std::string patch = folder.Write("hack.bps", DataPatch(demo, ChangedDemo()));
    Open(image);
    const auto before = Names(folder.Path());
    log.Clear();

    EXPECT_EQ(Captions(Apply(patch, {})), std::vector<std::string>{"Apply Patch"});
    EXPECT_EQ(Captions(Apply(patch, {"Apply Patch"})),
              (std::vector<std::string>{"Apply Patch", "Save Patched Image"}));
    // The save dialog started from the suggestion, with the image's extension for names typed
    // without one.
    EXPECT_EQ(form.SaveDialog1->FileName, Named("hack.smc"));
    EXPECT_EQ(form.SaveDialog1->DefaultExt, "smc");
    EXPECT_EQ(Names(folder.Path()), before);
    EXPECT_EQ(form.FilenameEdit->Text(), image);
    EXPECT_EQ(log.Text(), "");
}

TEST_F(PatchCommand, WithNoImageOpenItSaysThereIsNothingToPatch) {
    MessageBoxAnswerer ok(IDOK);
    form.ApplyPatch1Click();
    ASSERT_EQ(ok.Seen().size(), 1u);
    EXPECT_EQ(ok.Seen()[0].caption, "Quillet");
    EXPECT_EQ(ok.Seen()[0].text, "There is no image to patch: open one first.");
}

// A patch for another image, and one cut short: the box says what quillet-fix says of it,
// and no file is written.
TEST_F(PatchCommand, ARefusedPatchIsShownInQuilletFixsWordsAndNothingIsWritten) {
    const Bytes demo = DemoImage();
    const std::string image = folder.Write("game.smc", demo);
    Bytes other = MakeRomData(1048576, 7);
    Bytes otherChanged = other;
    otherChanged[100] ^= 1;
    const Bytes good = DataPatch(demo, ChangedDemo());
    const struct {
        const char* name;
        Bytes patch;
        const char* begins;
    } cases[] = {
        {"other.bps", MakeBps(other, otherChanged), "This patch is for an image whose CRC32 is "},
        {"short.bps",
         Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() / 2)), ""},
        {"notes.txt", Bytes{'h', 'e', 'l', 'l', 'o'}, "not a patch: "},
    };
    Open(image);
    for (const auto& c : cases) {
        const std::string patch = folder.Write(c.name, c.patch);
        const auto before = Names(folder.Path());
        log.Clear();
        const auto boxes = Apply(patch);
        ASSERT_EQ(boxes.size(), 3u) << c.name;
        EXPECT_EQ(boxes[2].caption, "Quillet");
        EXPECT_TRUE(boxes[2].text.starts_with(image + ": " + c.begins)) << boxes[2].text;
        EXPECT_EQ(Names(folder.Path()), before) << c.name;
        EXPECT_EQ(log.Text(), "") << c.name;
        EXPECT_EQ(form.FilenameEdit->Text(), image);

        const FixSays fix = RunFix(patch, Named("by-fix.smc"), image);
        EXPECT_EQ(fix.err, "quillet-fix: " + boxes[2].text + "\n");
        EXPECT_EQ(Names(folder.Path()), before) << c.name;
    }
}

} // namespace
} // namespace quillet
