#include "app/ROMLoad.h"
#include "app/SnesForm.h"

#include "tests/support/TempFolder.h"
#include "tests/win/MessageBoxes.h"
#include "tools/RomImageBuilder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace quillet {
namespace {

using namespace samples;
using app::TForm1;
using testing::MessageBoxAnswerer;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kMbit = 131072;

std::string SettingsPath() {
    char folder[MAX_PATH] = {};
    GetWindowsDirectoryA(folder, MAX_PATH);
    return std::string(folder) + "\\QUILLET.INI";
}

Bytes LoRom(std::size_t size, InternalHeader header) {
    Bytes rom = MakeRomData(size, 5);
    WriteInternalHeader(rom, kLoRomArea, header);
    FixChecksum(rom, kLoRomArea);
    return rom;
}

// The main window and its loading window, with the log kept; the open dialog is cancelled at
// once, so the command goes on with the name preset in it.
class OpenCommand : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteFileA(SettingsPath().c_str());
        form.SetLoadWindow(load);
        form.SetLog(log);
    }
    void TearDown() override { DeleteFileA(SettingsPath().c_str()); }

    std::vector<testing::SeenBox> Open(const std::string& path) {
        form.OpenDialog1->FileName = path;
        MessageBoxAnswerer cancel(IDCANCEL);
        form.btnOpenClick();
        return cancel.Seen();
    }
    std::string StatusMessage() {
        MessageBoxAnswerer ok(IDOK);
        form.SpeedButton1Click();
        EXPECT_EQ(ok.Seen().size(), 1u);
        EXPECT_EQ(ok.Seen().at(0).caption, "Information");
        EXPECT_FALSE(ok.Seen().at(0).hasCancel);
        return ok.Seen().at(0).text;
    }
    int VisibleStatusButton() const {
        int visible = -1;
        for (int i = 0; i < 4; ++i) {
            if (form.SpeedButtons[static_cast<std::size_t>(i)]->Visible())
                visible = visible == -1 ? i : 99;
        }
        return visible;
    }

    testing::TempFolder folder;
    TForm1 form;
    app::TLoad load;
    StringSink log;
};

TEST_F(OpenCommand, ShowsEveryFieldOfAHeaderedImageAndLoadsItsData) {
    const Bytes image = DemoImage();
    const std::string path = folder.Write("demo.smc", image);
    const auto boxes = Open(path);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Open Game");

    EXPECT_EQ(form.FilenameEdit->Text(), path);
    EXPECT_EQ(form.DOSSizeEdit->Text(), "1049088 bytes (1024 KB, 1 MB)");
    EXPECT_EQ(form.edtFileFmt->Text(), "Super Wild Card (SWC)");
    EXPECT_EQ(form.edtRomFmt->Text(), "LoRom");
    EXPECT_EQ(form.edtRomSize->Text(), "8Mbits (8Mbits actual size)");
    EXPECT_EQ(form.edtSRAMSize->Text(), "16kbits");
    EXPECT_EQ(form.edtSpecial->Text(), "SRAM");
    EXPECT_EQ(form.edtCountry->Text(), "North America (NTSC)");
    EXPECT_EQ(form.edtMaker->Text(), "Unknown Company (ID:0x33)");
    EXPECT_EQ(form.lblGameName->Caption(), "QUILLET DEMO CART    ");
    EXPECT_EQ(form.Memo1->Text(), "\r\n");
    EXPECT_EQ(VisibleStatusButton(), 1);
    EXPECT_TRUE(form.btnEmu->Enabled());
    EXPECT_TRUE(form.btnEmu->Default());
    EXPECT_FALSE(form.btnOpen->Default());
    EXPECT_TRUE(form.Timer1->Enabled());
    EXPECT_FALSE(load.Visible());
    EXPECT_EQ(load.ProgressBar1->Position(), 100);

    // The buffer starts with the byte after the copier header.
    EXPECT_TRUE(std::equal(image.begin() + 512, image.end(), form.FRomBuffer.begin()));
    EXPECT_EQ(log.Text().rfind("Open clicked...\nSuper Wild Card (SWC)\n", 0), 0u);
    EXPECT_NE(log.Text().find("\nName:QUILLET DEMO CART    \n1\nOpen Finished...\n"),
              std::string::npos);
    EXPECT_EQ(StatusMessage(), "Valid SNES ROM Image loaded and ready.\rErrors:\r(None)");
}

TEST_F(OpenCommand, RawImagesSramOnlyForSramCartridgesAndUnknownTypes) {
    struct Case {
        std::uint8_t type;
        const char* special;
        const char* sram;
    };
    const Case cases[] = {{1, "RAM", "(None)"},
                          {4, "DSP1 and RAM", "(None)"},
                          {5, "DSP1 and SRAM", "64kbits"},
                          {9, "Unknown (ID:0x09)", "(None)"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.type));
        const std::string path = folder.Write(
            "raw.sfc",
            LoRom(8 * kMbit, {.title = "RAW", .cartridgeType = c.type, .sramSizeCode = 3}));
        Open(path);
        EXPECT_EQ(form.DOSSizeEdit->Text(), "1048576 bytes (1024 KB, 1 MB)");
        EXPECT_EQ(form.edtSpecial->Text(), c.special);
        EXPECT_EQ(form.edtSRAMSize->Text(), c.sram);
        EXPECT_EQ(VisibleStatusButton(), 2);
        EXPECT_TRUE(form.btnEmu->Enabled());
        EXPECT_EQ(form.Memo1->Text(), "No header -- Raw Image\r\n\r\n");
    }
    EXPECT_EQ(StatusMessage(), "SNES Image loaded, Unknown format, or minor errors in "
                               "image.\rErrors:\rNo header -- Raw Image\r\n");

    Open(folder.Write("small.sfc", LoRom(kMbit, {.title = "SMALL"})));
    EXPECT_EQ(form.DOSSizeEdit->Text(), "131072 bytes (128 KB, 0.12 MB)"); // 12.5 rounds to even
}

TEST_F(OpenCommand, UnusableImageLeavesOpenAsTheDefaultButton) {
    Open(folder.Write("garbage.bin", MakeRomData(3 * 8192 + 100, 2)));
    EXPECT_EQ(VisibleStatusButton(), 3);
    EXPECT_FALSE(form.btnEmu->Enabled());
    EXPECT_TRUE(form.btnOpen->Default());
    EXPECT_EQ(StatusMessage().rfind(
                  "Image loaded, but fatal errors in ROM may prevent execution.\rErrors:\r"
                  "No header -- Raw Image\r\nHeader Size is incorrect",
                  0),
              0u);
}

TEST_F(OpenCommand, CancelBeforeAnyChoiceChangesNothingButSavesTheBindings) {
    EXPECT_EQ(StatusMessage(), "No SNES ROM Image has been loaded yet!");
    Open("");
    EXPECT_EQ(log.Text(), "Open clicked...\nOpen Finished...\n");
    EXPECT_EQ(form.FilenameEdit->Text(), "");
    EXPECT_EQ(form.lblGameName->Caption(), "(No Game Loaded)");
    EXPECT_EQ(VisibleStatusButton(), 0);
    EXPECT_EQ(GetPrivateProfileIntA("Main", "KeyUp", -1, "QUILLET.INI"), 38);

    // After a choice, a cancelled dialog opens the same image again; the bindings are no longer
    // saved by the open command.
    const std::string path = folder.Write("demo.smc", DemoImage());
    Open(path);
    DeleteFileA(SettingsPath().c_str());
    log.Clear();
    form.OpenDialog1->FileName = path;
    MessageBoxAnswerer cancel(IDCANCEL);
    form.btnOpenClick();
    EXPECT_NE(log.Text().find("Super Wild Card (SWC)"), std::string::npos);
    EXPECT_EQ(GetPrivateProfileIntA("Main", "KeyUp", -1, "QUILLET.INI"), -1);
}

TEST_F(OpenCommand, OverflowEndsTheCommandWhereItArises) {
    Open(folder.Write("demo.smc", DemoImage()));
    const std::string huge = (folder.Path() / "huge.bin").string();
    { std::ofstream{huge}; }
    std::filesystem::resize_file(huge, 268435456);
    log.Clear();
    form.OpenDialog1->FileName = huge;
    MessageBoxAnswerer cancel(IDCANCEL);
    EXPECT_THROW(form.btnOpenClick(), EIntOverflow);
    EXPECT_EQ(form.FilenameEdit->Text(), huge);
    EXPECT_EQ(form.edtFileFmt->Text(), "Super Wild Card (SWC)"); // written by the open before
    EXPECT_FALSE(form.Timer1->Enabled());
    EXPECT_EQ(log.Text().find("Open Finished..."), std::string::npos);
}

TEST_F(OpenCommand, OversizedAndEmptyImagesLoadWhatThereIsAndSaySo) {
    Bytes rom = MakeRomData(5 * 1048576, 9);
    const std::string big = folder.Write("big.smc", Concatenate(SuperWildCardHeader(0, 0), rom));
    const auto boxes = Open(big);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text,
              "Only the first 4194305 of the 5242880 bytes of image data were loaded: "
              "Quillet holds images of up to 32 megabits.");
    EXPECT_EQ(form.FRomBuffer.back(), rom[4194304]);
    EXPECT_FALSE(load.Visible());

    log.Clear();
    const auto empty = Open(folder.Write("header-only.smc", SuperWildCardHeader(0, 0)));
    ASSERT_EQ(empty.size(), 2u);
    EXPECT_NE(empty[1].text.find("holds no image data after its copier header"), std::string::npos);
    EXPECT_FALSE(load.Visible());
    EXPECT_NE(log.Text().find("Open Finished..."), std::string::npos);
}

TEST(LoadingWindow, BarIsPaintedAtMostEvery40MsAndEndsAtTheLastValue) {
    app::TLoad load;
    load.Restart();
    EXPECT_EQ(load.ProgressBar1->Position(), 0);
    ShowWindow(load.Handle(), SW_SHOWNOACTIVATE);
    UpdateWindow(load.Handle());
    // Long enough after the last paint, a new value is shown before the call returns.
    Sleep(60);
    load.ShowProgress(8);
    EXPECT_EQ(load.ProgressBar1->Position(), 8);
    EXPECT_FALSE(GetUpdateRect(load.ProgressBar1->Handle(), nullptr, FALSE));
    load.ShowProgress(9);
    load.ShowProgress(100);
    load.Finish();
    EXPECT_FALSE(load.Visible());
    EXPECT_EQ(load.ProgressBar1->Position(), 100);
}

TEST(LoadingWindow, LayoutAsDesigned) {
    app::TLoad load;
    EXPECT_EQ(load.ClientWidth(), 272);
    EXPECT_EQ(load.ClientHeight(), 86);
    EXPECT_EQ(load.Caption(), "");
    EXPECT_TRUE(GetWindowLongA(load.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_FALSE(GetWindowLongA(load.Handle(), GWL_STYLE) & WS_SYSMENU);
    EXPECT_EQ(load.ProgressBar1->Position(), 50);
    EXPECT_EQ(load.Label1->Caption(), "Loading...");
    EXPECT_EQ(load.Label2->Caption(), "Please Wait...");
}

} // namespace
} // namespace quillet
