#include "app/ROMLoad.h"
#include "app/SnesForm.h"
#include "app/Warning.h"

#include "app/DirectX.h"
#include "app/Settings.h"
#include "base/Utf8.h"
#include "tests/support/ArchiveMaker.h"
#include "tests/support/TempFolder.h"
#include "tests/win/FakeDirectX.h"
#include "tests/win/MainWindowFixture.h"
#include "tests/win/MessageBoxes.h"
#include "tools/RomImageBuilder.h"
#include "ui/TextCoding.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace quillet {
namespace {

using namespace samples;
using namespace testing;
using app::TForm1;
using Bytes = std::vector<std::uint8_t>;

using OpenCommand = MainWindow;

TEST_F(MainWindow, EscapeCloseBoxAndMenuAskFirstAndSaveTheBindingsWhateverTheAnswer) {
    ShowWindow(form.Handle(), SW_SHOW);
    const UINT menuExit = TForm1::cmdExit;
    const MSG ways[] = {{form.btnExit->Handle(), WM_KEYDOWN, VK_ESCAPE},
                        {form.Handle(), WM_SYSCOMMAND, SC_CLOSE},
                        {form.Handle(), WM_COMMAND, menuExit}};
    for (const MSG& way : ways) {
        for (const int answer : {IDCANCEL, IDOK}) {
            DeleteFileA(SettingsPath().c_str());
            MessageBoxAnswerer answerer(answer);
            PostMessageA(way.hwnd, way.message, way.wParam, 0);
            EXPECT_EQ(PumpMessages(50), answer == IDOK) << way.message << " answered " << answer;
            ASSERT_EQ(answerer.Seen().size(), 1u) << way.message << " answered " << answer;
            EXPECT_EQ(answerer.Seen()[0].text, "Are you sure you want to exit?");
            EXPECT_TRUE(IsWindowVisible(form.Handle()));
            EXPECT_EQ(Setting("KeyUp"), 38);
        }
    }
    // The entries older versions read, with the pad's defaults.
    const std::pair<const char*, int> expected[] = {
        {"KeyUp", 38},    {"KeyUp2", 8},    {"KeyDown", 40},   {"KeyDown2", 8},  {"KeyLeft", 37},
        {"KeyLeft2", 8},  {"KeyRight", 39}, {"KeyRight2", 8},  {"KeyA", 90},     {"KeyA2", 0},
        {"KeyB", 88},     {"KeyB2", 0},     {"KeyX", 65},      {"KeyX2", 0},     {"KeyY", 83},
        {"KeyY2", 0},     {"KeyR", 65},     {"KeyR2", 0},      {"KeyL", 81},     {"KeyL2", 0},
        {"KeyStart", 13}, {"KeyStart2", 0}, {"KeySelect", 32}, {"KeySelect2", 0}};
    for (const auto& [key, value] : expected)
        EXPECT_EQ(Setting(key), value) << key;
}

BOOL CALLBACK CollectId(HWND child, LPARAM ids) {
    reinterpret_cast<std::vector<int>*>(ids)->push_back(GetDlgCtrlID(child));
    return TRUE;
}

TEST_F(MainWindow, NoControlSharesAnIdWithAMenuCommand) {
    std::vector<int> ids;
    EnumChildWindows(form.Handle(), CollectId, reinterpret_cast<LPARAM>(&ids));
    ASSERT_GT(ids.size(), 20u);
    const int commands[] = {TForm1::cmdOpenGame,  TForm1::cmdResetStaticRam, TForm1::cmdExit,
                            TForm1::cmdDetails,   TForm1::cmdDatFiles,       TForm1::cmdAbout,
                            TForm1::cmdApplyPatch};
    for (const int id : ids) {
        if (id == 0)
            continue; // windows the system made inside a control
        EXPECT_LT(id, ui::kFirstCommandId);
        EXPECT_EQ(std::ranges::count(commands, id), 0) << id;
    }
}

// Alt+F and a letter choose one item: no letter marks two items of the File menu.
TEST_F(MainWindow, FileMenuHasApplyPatchAfterDatFilesAndEachMnemonicOnce) {
    HMENU file = GetSubMenu(GetMenu(form.Handle()), 0);
    ASSERT_NE(file, nullptr);
    std::vector<std::string> items;
    std::string letters;
    for (int i = 0; i < GetMenuItemCount(file); ++i) {
        char text[128] = {};
        GetMenuStringA(file, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        items.push_back(text);
        if (const char* amp = std::strchr(text, '&'))
            letters += static_cast<char>(std::toupper(static_cast<unsigned char>(amp[1])));
    }
    const std::vector<std::string> expected{"&Open Game...",
                                            "&Details...\tCtrl+D",
                                            "DAT &Files...",
                                            "Apply &Patch...",
                                            "",
                                            "&Reset Static RAM",
                                            "",
                                            "E&xit"};
    EXPECT_EQ(items, expected);
    std::string sorted = letters;
    std::ranges::sort(sorted);
    EXPECT_EQ(std::ranges::adjacent_find(sorted), sorted.end()) << letters;
    EXPECT_EQ(GetMenuItemID(file, 3), static_cast<UINT>(TForm1::cmdApplyPatch));
}

TEST_F(MainWindow, BindingsComeBackAfterARestartAndBadEntriesAreHandledAsBefore) {
    constexpr BYTE kModifiers = HOTKEYF_SHIFT | HOTKEYF_CONTROL | HOTKEYF_ALT | HOTKEYF_EXT;
    form.HotKeyUp->SetKey(VK_UP, kModifiers);
    form.SaveKeys("Main");
    EXPECT_EQ(Setting("KeyUp"), 0xE026);
    EXPECT_EQ(Setting("KeyUp2"), 15);
    EXPECT_EQ(KeyOf(TForm1().HotKeyUp), MAKEWORD(VK_UP, kModifiers));

    // A modifier entry missing or 255 leaves a field the modifiers it had: Up's extended flag
    // over the Ctrl of its key entry.
    std::ofstream(SettingsPath()) << "[Main]\r\nKeyUp=16422\r\nKeyDown=40\r\nKeyDown2=255\r\n";
    const TForm1 restarted;
    EXPECT_EQ(KeyOf(restarted.HotKeyUp), MAKEWORD(VK_UP, HOTKEYF_EXT));
    EXPECT_EQ(KeyOf(restarted.HotKeyDown), MAKEWORD(VK_DOWN, HOTKEYF_EXT));

    // A key entry out of range stops the loading with an error.
    for (const char* bad : {"70000", "-5"}) {
        std::ofstream(SettingsPath())
            << "[Main]\r\nKeyUp=40\r\nKeyDown=" << bad << "\r\nKeyLeft=38";
        MessageBoxAnswerer ok(IDOK);
        const TForm1 f;
        EXPECT_EQ(ok.Seen().at(0).text, "Range check error.");
        EXPECT_EQ(f.HotKeyUp->VirtualKey(), VK_DOWN);   // read before the bad entry
        EXPECT_EQ(f.HotKeyLeft->VirtualKey(), VK_LEFT); // left at its default
        EXPECT_FALSE(f.Timer1->Enabled());
    }
}

TEST_F(MainWindow, AnimationRunsOnlyWhileTheGeneralPageIsInUse) {
    PumpMessages(350);
    const int moved = form.Tag();
    EXPECT_GT(moved, 1);
    form.PageControl1->SetActivePageIndex(1);
    PumpMessages(350);
    EXPECT_EQ(form.Tag(), moved);
    form.PageControl1->SetActivePageIndex(0);
    PumpMessages(250);
    EXPECT_GT(form.Tag(), moved);
    // Leaving the page's fields for the buttons below stops it too.
    form.Show();
    form.FilenameEdit->SetFocus();
    form.btnOpen->SetFocus();
    EXPECT_FALSE(form.Timer1->Enabled());
    form.DOSSizeEdit->SetFocus();
    EXPECT_TRUE(form.Timer1->Enabled());
}

TEST_F(OpenCommand, FillsEveryFieldAndLoadsTheDataAfterTheCopierHeader) {
    // Status buttons shown, status message, then every field.
    const auto shown = [&] {
        std::string text;
        for (const ui::TSpeedButton* button : form.SpeedButtons)
            text += button->Visible() ? '1' : '0';
        MessageBoxAnswerer ok(IDOK);
        form.SpeedButton1Click();
        text += "|" + ok.Seen().at(0).text + "|";
        for (const ui::TWinControl* field : std::initializer_list<const ui::TWinControl*>{
                 form.edtFileFmt, form.edtRomFmt, form.edtRomSize, form.edtSRAMSize,
                 form.edtSpecial, form.edtCountry, form.edtMaker, form.lblGameName, form.Memo1,
                 form.DOSSizeEdit})
            text += field->Caption() + "|";
        return text;
    };
    // Cancelled before any choice, the command changes nothing but saves the bindings.
    Open("");
    EXPECT_EQ(shown(), "1000|No SNES ROM Image has been loaded yet!||||||||(No Game Loaded)|||");
    EXPECT_EQ(log.Text(), "Open clicked...\nOpen Finished...\n");
    EXPECT_EQ(Setting("KeyUp"), 38);

    // Title, makeup, type, ROM size, SRAM size, country, maker: SRAM shows for SRAM types only.
    Bytes hiRom = MakeRomData(2097152, 5);
    WriteInternalHeader(hiRom, kHiRomArea, {"RAW", 0x21, 9, 0x0B, 3, 0, 0x08});
    FixChecksum(hiRom, kHiRomArea);
    const struct {
        Bytes image;
        std::size_t header;
        const char* shown;
    } cases[] = {
        {DemoImage(), 512,
         "0100|Valid SNES ROM Image loaded and ready.\rErrors:\r(None)|Super Wild Card (SWC)|"
         "LoRom|8Mbits (8Mbits actual size)|16kbits|SRAM|North America (NTSC)|Unknown Company "
         "(ID:0x33)|QUILLET DEMO CART    |\r\n|1049088 bytes (1024 KB, 1 MB)|"},
        {hiRom, 0,
         "0010|SNES Image loaded, Unknown format, or minor errors in image.\rErrors:\rNo header "
         "-- Raw Image\r\n|Unheadered image (Raw copy)|HiRom|16Mbits (16Mbits actual size)|"
         "(None)|Unknown (ID:0x09)|Japan (NTSC)|Capcom|RAW                  |No header -- Raw "
         "Image\r\n\r\n|2097152 bytes (2048 KB, 2 MB)|"},
        {MakeRomData(3 * 8192 + 100, 2), 0,
         "0001|Image loaded, but fatal errors in ROM may prevent execution.\rErrors:\rNo header "
         "-- Raw Image\r\nHeader Size is incorrect (Header is 100bytes, should be 0 or 512)\r\n"},
    };
    for (const auto& c : cases) {
        const std::string path = folder.Write("image", c.image);
        Open(path);
        EXPECT_EQ(form.FilenameEdit->Text(), path);
        const std::string now = shown();
        EXPECT_EQ(now.substr(0, std::string_view(c.shown).size()), c.shown);
        EXPECT_EQ(form.btnEmu->Enabled(), now[3] == '0'); // unless the image is unusable
        EXPECT_EQ(form.btnOpen->Default(), now[3] == '1');
        EXPECT_TRUE(std::equal(c.image.begin() + static_cast<std::ptrdiff_t>(c.header),
                               c.image.end(), form.FRomBuffer.begin()));
        EXPECT_TRUE(form.Timer1->Enabled());
        EXPECT_FALSE(load.Visible());
    }
    // After a choice, a cancelled dialog opens the same image again, and no longer saves.
    DeleteFileA(SettingsPath().c_str());
    log.Clear();
    MessageBoxAnswerer cancel(IDCANCEL);
    form.btnOpenClick();
    EXPECT_NE(log.Text().find("\n3\nOpen Finished...\n"), std::string::npos) << log.Text();
    EXPECT_EQ(Setting("KeyUp"), -1);
}

// Clicked for real: the error is shown with a full stop, and the program goes on.
TEST_F(OpenCommand, OverflowEndsTheCommandWhereItArises) {
    Open(folder.Write("demo.smc", DemoImage()));
    const std::string huge = folder.Write("huge.bin", {});
    std::filesystem::resize_file(huge, 268435456);
    form.OpenDialog1->FileName = huge;
    MessageBoxAnswerer cancel(IDCANCEL);
    SendMessageA(form.btnOpen->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(cancel.Seen().at(1).text, "Integer overflow.");
    EXPECT_EQ(form.FilenameEdit->Text(), huge);
    EXPECT_EQ(form.edtFileFmt->Text(), "Super Wild Card (SWC)"); // written by the open before
    EXPECT_FALSE(form.Timer1->Enabled());
}

TEST_F(OpenCommand, OversizedEmptyAndMissingFilesLoadWhatThereIsAndSaySo) {
    const Bytes rom = MakeRomData(5 * 1048576, 9);
    const std::string path = (folder.Path() / "image.smc").string();
    const std::pair<Bytes, std::string> cases[] = {
        {Concatenate(SuperWildCardHeader(0, 0), rom),
         "Only the first 4194305 of the 5242880 bytes of image data were loaded: Quillet holds "
         "images of up to 32 megabits."},
        {SuperWildCardHeader(0, 0),
         "The file " + path + " holds no image data after its copier header."},
        {{}, "Cannot open file " + path + ": No such file or directory."}, // with its reason
    };
    for (const auto& [image, message] : cases) {
        std::filesystem::remove(path);
        if (!image.empty())
            folder.Write("image.smc", image);
        const auto boxes = Open(path);
        EXPECT_EQ(boxes.at(1).caption + ": " + boxes[1].text, "Quillet: " + message);
        EXPECT_FALSE(load.Visible());
    }
    EXPECT_FALSE(boxUnderLoadingWindow);
    EXPECT_EQ(form.FRomBuffer.back(), rom[4194304]);
}

// A file named on the command line opens as a choice in the dialog would.
TEST_F(OpenCommand, AFileFromOutsideTheDialogOpensLikeAChoiceInIt) {
    const std::string demo = folder.Write("demo.smc", DemoImage());
    form.OpenFile(demo);
    EXPECT_EQ(form.FilenameEdit->Text(), demo);
    EXPECT_EQ(form.lblGameName->Caption(), "QUILLET DEMO CART    ");
    EXPECT_EQ(form.OpenDialog1->FileName, demo); // the dialog starts from it next time
    const std::string logged = log.Text();
    EXPECT_EQ(logged.find("Open clicked..."), std::string::npos);
    EXPECT_TRUE(logged.ends_with("\n1\nOpen Finished...\n")) << logged;

    const std::string raw = folder.Write("raw.sfc", MakeRomData(1048576, 3));
    form.OpenFile(raw);
    // A file that is not there: the load step's message, and the pages as they were.
    MessageBoxAnswerer ok(IDOK);
    const std::string missing = (folder.Path() / "missing.sfc").string();
    form.OpenFile(missing);
    ASSERT_EQ(ok.Seen().size(), 1u);
    EXPECT_EQ(ok.Seen()[0].caption + ": " + ok.Seen()[0].text,
              "Quillet: Cannot open file " + missing + ".");
    EXPECT_EQ(form.FilenameEdit->Text(), raw);
    EXPECT_EQ(form.OpenDialog1->FileName, raw);
}

// Names in any script, in a folder named in Japanese, from the command line, the open dialog
// and a drop (which Windows gives as UTF-16): the image opens, and the Filename field shows
// the name as it is.
TEST_F(OpenCommand, NamesInAnyScriptOpenFromTheCommandLineTheDialogAndADrop) {
    std::filesystem::create_directory(folder.Path() / PathFromUtf8("ロム"));
    const std::string japan = folder.Write("ロム/テスト (Japan).sfc", DemoImage());
    const std::string pokemon = folder.Write("ロム/Pokémon.smc", MakeRomData(1048576, 3));
    const auto shownName = [this] {
        std::wstring text(1024, L'\0');
        text.resize(static_cast<std::size_t>(
            GetWindowTextW(form.FilenameEdit->Handle(), text.data(), 1024)));
        return text;
    };

    form.OpenFile(japan);
    EXPECT_EQ(shownName(), ui::Utf8ToWide(japan));
    EXPECT_EQ(form.lblGameName->Caption(), "QUILLET DEMO CART    ");
    EXPECT_EQ(form.FInfo.Status, kStatusValid);

    Open(pokemon);
    EXPECT_EQ(shownName(), ui::Utf8ToWide(pokemon));
    EXPECT_EQ(form.edtFileFmt->Text(), "Unheadered image (Raw copy)");

    // Dropped, as Windows gives names (UTF-16): of several at once, the first opens.
    const std::wstring files =
        ui::Utf8ToWide(japan) + L'\0' + ui::Utf8ToWide(pokemon) + L'\0' + L'\0';
    HGLOBAL drop = GlobalAlloc(GHND, sizeof(DROPFILES) + files.size() * sizeof(wchar_t));
    auto* header = static_cast<DROPFILES*>(GlobalLock(drop));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    std::copy(files.begin(), files.end(), reinterpret_cast<wchar_t*>(header + 1));
    GlobalUnlock(drop);
    PostMessageW(form.Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
    PumpMessages();
    EXPECT_EQ(shownName(), ui::Utf8ToWide(japan));
    EXPECT_EQ(form.edtFileFmt->Text(), "Super Wild Card (SWC)");
}

// A zipped image opens as its first image member would, named ARCHIVE#MEMBER; an archive
// without one is refused before anything changes.
TEST_F(OpenCommand, AnArchiveOpensItsFirstImage) {
    const Bytes demo = DemoImage();
    const std::string zip = folder.Write(
        "games.zip", MakeArchive(ArchiveFormat::Zip, {{"readme.txt", {'h', 'i'}},
                                                      {"Demo (World).smc", demo},
                                                      {"other.sfc", MakeRomData(65536, 2)}}));
    Open(zip);
    EXPECT_EQ(form.FilenameEdit->Text(), zip + "#Demo (World).smc");
    EXPECT_EQ(form.edtFileFmt->Text(), "Super Wild Card (SWC)");
    EXPECT_EQ(form.lblGameName->Caption(), "QUILLET DEMO CART    ");
    EXPECT_TRUE(std::equal(demo.begin() + 512, demo.end(), form.FRomBuffer.begin()));
    ASSERT_TRUE(form.FDetails);
    EXPECT_EQ(form.FDetails->file.size, demo.size());
    EXPECT_TRUE(log.Text().ends_with("\n1\nOpen Finished...\n")) << log.Text();

    const std::string empty =
        folder.Write("empty.zip", MakeArchive(ArchiveFormat::Zip, {{"readme.txt", {'h'}}}));
    const std::string broken = folder.Write("broken.zip", {'P', 'K', 3, 4, 0});
    for (const std::string& archive : {empty, broken}) {
        const auto boxes = Open(archive);
        ASSERT_EQ(boxes.size(), 2u) << archive; // the dialog, then why
        EXPECT_NE(boxes[1].text.find(archive), std::string::npos) << boxes[1].text;
        EXPECT_EQ(form.FilenameEdit->Text(), zip + "#Demo (World).smc");
        EXPECT_TRUE(form.Timer1->Enabled());
    }
}

TEST_F(MainWindow, EmulateWarnsWithEveryErrorAndAgainWhenTheTitleCannotBeStored) {
    // The placeholder closes at once: its screen cannot start here.
    auto dx = std::make_shared<FakeDirectX>();
    dx->failures["SetDisplayMode"] = DDERR_INVALIDMODE;
    app::TdlgWarn warn(form.FInfo);
    app::TfrmDirectX placeholder;
    placeholder.MxScreen1->DirectDrawFactory = FakeDirectDraw(dx);
    form.SetEmulationWindows(warn, placeholder);
    // A raw image (status 2) whose title would write a [Main] of its own into the file.
    Bytes rom = MakeRomData(1048576, 4);
    WriteInternalHeader(rom, kLoRomArea, {"X]\r\n[Main]\r\nKeyUp=9"});
    FixChecksum(rom, kLoRomArea);
    Open(folder.Write("evil.sfc", rom));
    ASSERT_EQ(form.FInfo.Status, kStatusMinor);

    std::vector<std::string> memos;
    MessageBoxAnswerer ok(IDOK);
    for (int round = 0; round < 2; ++round) {
        warn.CheckBox1->SetChecked(true);
        ui::Application().Post([&] {
            memos.push_back(warn.Memo1->Text());
            PressKey(GetFocus(), VK_RETURN);
        });
        form.btnEmuClick();
        PumpMessages();
    }
    // Warned both times, every error listed, the last one ended like any entry.
    ASSERT_EQ(memos.size(), 2u);
    EXPECT_EQ(memos[0], "This ROM may be unusable because of the following errors: \r\n" +
                            form.FInfo.Errors + "\r\n");
    EXPECT_EQ(Setting("KeyUp"), 38); // written by the first open, and by nothing else
}

TEST(LoadingWindow, BarStartsAtZeroIsPaintedAtOnceAfterAPauseAndEndsAtTheLastValue) {
    app::TLoad load;
    load.Restart();
    EXPECT_EQ(load.ProgressBar1->Position(), 0);
    ShowWindow(load.Handle(), SW_SHOWNOACTIVATE);
    UpdateWindow(load.Handle());
    Sleep(60);
    load.ShowProgress(8);
    EXPECT_EQ(load.ProgressBar1->Position(), 8);
    EXPECT_FALSE(GetUpdateRect(load.ProgressBar1->Handle(), nullptr, FALSE));
    load.ShowProgress(100); // too soon after the last paint: kept for the end
    load.Finish();
    EXPECT_FALSE(load.Visible());
    EXPECT_EQ(load.ProgressBar1->Position(), 100);
}

TEST(WarningDialog, TickedBoxStoresWarnErrorsUnderThePaddedTitleAndNeverUnderAnUnsafeOne) {
    const NoSettings noSettings;
    SNESImageInfo image;
    image.Name = "SHORT" + std::string(16, ' ');
    app::TdlgWarn warn(image);
    warn.BitBtn1Click(); // not ticked: nothing stored
    EXPECT_EQ(GetPrivateProfileIntA(image.Name.c_str(), "WarnErrors", 0, "QUILLET.INI"), 0u);

    warn.CheckBox1->SetChecked(true);
    warn.BitBtn1Click();
    EXPECT_EQ(warn.ModalResult(), ui::mrOk);
    // The section is the title with its padding, as older files have it.
    const auto file = [] {
        std::ifstream in(SettingsPath(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    EXPECT_EQ(file(), "[SHORT                ]\r\nWarnErrors=1\r\n");

    // The box stays ticked: the next image is silenced too, up to the zero byte of its title.
    image.Name = std::string("OTHER\0GAME", 10) + std::string(11, ' ');
    warn.BitBtn1Click();
    EXPECT_EQ(GetPrivateProfileIntA("OTHER", "WarnErrors", 0, "QUILLET.INI"), 1u);

    // A title that would end the section name early or write lines of its own is never used
    // as a section: the file keeps its one [Main] and its bindings.
    WritePrivateProfileStringA("Main", "KeyUp", "38", "QUILLET.INI");
    const std::string before = file();
    for (const char* title : {"X]\r\n[Main]\r\nKeyUp=99", "A]B", "TAB\tTITLE"}) {
        image.Name = title;
        image.Name.resize(21, ' ');
        warn.BitBtn1Click();
        EXPECT_EQ(file(), before) << title;
    }
    EXPECT_EQ(Setting("KeyUp"), 38);

    // Titles in half-width katakana, which are not UTF-8: one silenced, the other not.
    image.Name = "\xB1\xB2\xB3";
    warn.BitBtn1Click();
    image.Name = "\xB4\xB5\xB6";
    EXPECT_EQ(GetPrivateProfileIntA(app::ImageSection(image.Name)->c_str(), "WarnErrors", 0,
                                    "QUILLET.INI"),
              0u);
    image.Name = "\xB1\xB2\xB3";
    EXPECT_EQ(GetPrivateProfileIntA(app::ImageSection(image.Name)->c_str(), "WarnErrors", 0,
                                    "QUILLET.INI"),
              1u);
}

} // namespace
} // namespace quillet
