#include "app/SnesForm.h"

#include "tests/win/MessageBoxes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

namespace quillet {
namespace {

using app::TForm1;
using testing::MessageBoxAnswerer;
using testing::PumpMessages;

std::string SettingsPath() {
    char folder[MAX_PATH] = {};
    GetWindowsDirectoryA(folder, MAX_PATH);
    return std::string(folder) + "\\QUILLET.INI";
}

int Setting(const char* section, const char* key, int absent = -99999) {
    return static_cast<int>(GetPrivateProfileIntA(section, key, absent, "QUILLET.INI"));
}

void WriteSettings(const std::string& text) {
    std::ofstream(SettingsPath(), std::ios::trunc) << text;
}

// Each test starts without a settings file, as on a new machine.
class MainWindow : public ::testing::Test {
protected:
    void SetUp() override { DeleteFileA(SettingsPath().c_str()); }
    void TearDown() override {
        form.reset();
        PumpMessages();
        DeleteFileA(SettingsPath().c_str());
    }
    TForm1& Form() {
        if (!form)
            form = std::make_unique<TForm1>();
        return *form;
    }
    std::unique_ptr<TForm1> form;
};

RECT PlaceInClient(HWND control, HWND form) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

LOGFONTA FontOf(HWND control) {
    LOGFONTA font{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)), sizeof font,
               &font);
    return font;
}

std::string ToolTipOf(const ui::TForm& form, HWND control) {
    char text[256] = {};
    TTTOOLINFOA tool{};
    tool.cbSize = TTTOOLINFOA_V1_SIZE;
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = form.Handle();
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = text;
    SendMessageA(form.ToolTips(), TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&tool));
    return text;
}

TEST_F(MainWindow, LayoutAsDesigned) {
    TForm1& f = Form();
    RECT client{};
    GetClientRect(f.Handle(), &client);
    EXPECT_EQ(client.right, 433);
    EXPECT_EQ(client.bottom, 389);
    EXPECT_EQ(f.Caption(), "Quillet");
    const LONG style = GetWindowLongA(f.Handle(), GWL_STYLE);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_NE(SendMessageA(f.Handle(), WM_GETICON, ICON_BIG, 0), 0);

    struct Place {
        ui::TWinControl* control;
        RECT expected;
        const char* caption;
    };
    const Place places[] = {
        {f.btnOpen, {168, 352, 249, 382}, "&Open"},
        {f.btnEmu, {256, 352, 337, 382}, "&Emulate"},
        {f.btnExit, {344, 352, 425, 382}, "&Close"},
        {f.PageControl1, {8, 0, 425, 345}, nullptr},
    };
    for (const Place& p : places) {
        const RECT r = PlaceInClient(p.control->Handle(), f.Handle());
        EXPECT_EQ(r.left, p.expected.left) << p.control->ClassName();
        EXPECT_EQ(r.top, p.expected.top);
        EXPECT_EQ(r.right, p.expected.right);
        EXPECT_EQ(r.bottom, p.expected.bottom);
        if (p.caption != nullptr) {
            EXPECT_EQ(p.control->Caption(), p.caption);
        }
    }
    EXPECT_STREQ(FontOf(f.btnOpen->Handle()).lfFaceName, "Arial");
    EXPECT_EQ(FontOf(f.btnOpen->Handle()).lfHeight, -12);
    EXPECT_STREQ(FontOf(f.Label1->Handle()).lfFaceName, "Times New Roman");
    EXPECT_EQ(FontOf(f.Label1->Handle()).lfWeight, FW_BOLD);
    EXPECT_EQ(FontOf(f.lblGameName->Handle()).lfHeight, -24);
    EXPECT_STREQ(FontOf(f.FilenameEdit->Handle()).lfFaceName, "MS Sans Serif");

    // Places inside the pages, relative to their page.
    const RECT hotKey = PlaceInClient(f.HotKeySelect->Handle(), f.TabSheet3->Handle());
    EXPECT_EQ(hotKey.left, 296);
    EXPECT_EQ(hotKey.top, 288);
    EXPECT_EQ(hotKey.right - hotKey.left, 89);
    EXPECT_EQ(hotKey.bottom - hotKey.top, 19);
    const RECT memo = PlaceInClient(f.Memo1->Handle(), f.TabSheet2->Handle());
    EXPECT_EQ(memo.left, 80);
    EXPECT_EQ(memo.bottom - memo.top, 105);
    EXPECT_EQ(f.lblGameName->Caption(), "(No Game Loaded)");
    EXPECT_EQ(f.Label1->Caption(), "Quillet 0.0002 Pre-Alpha");

    // Menus.
    HMENU menu = GetMenu(f.Handle());
    char text[64] = {};
    GetMenuStringA(menu, 0, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&File");
    GetMenuStringA(GetSubMenu(menu, 0), 2, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&Reset Static RAM");
    GetMenuStringA(GetSubMenu(menu, 1), 0, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&About...");
}

TEST_F(MainWindow, StartStateRolesHintsAndTabOrder) {
    TForm1& f = Form();
    EXPECT_EQ(f.PageControl1->ActivePageIndex(), 0);
    EXPECT_TRUE(f.SpeedButtons[0]->Visible());
    for (int i = 1; i < 4; ++i)
        EXPECT_FALSE(f.SpeedButtons[static_cast<std::size_t>(i)]->Visible());
    EXPECT_FALSE(f.btnEmu->Enabled());
    EXPECT_EQ(LOWORD(SendMessageA(f.Handle(), DM_GETDEFID, 0, 0)),
              GetDlgCtrlID(f.btnOpen->Handle()));
    EXPECT_TRUE(f.btnOpen->Default());
    EXPECT_TRUE(f.btnExit->Cancel());

    EXPECT_EQ(ToolTipOf(f, f.btnEmu->Handle()), "Not yet implemented");
    EXPECT_EQ(ToolTipOf(f, f.ProgramIcon->Handle()), "Cool picture eh?");
    EXPECT_EQ(ToolTipOf(f, f.SpeedButtons[2]->Handle()),
              "SNES Image loaded, Unknown format, or minor errors in image.");

    // Tab goes Open, Close (Emulate is disabled), then into the page on show; on the settings
    // page the pad buttons go Up, Down, Left, Right, X, Y, A, B, L, R, Start, Select.
    ShowWindow(f.Handle(), SW_SHOW);
    EXPECT_EQ(GetNextDlgTabItem(f.Handle(), f.btnOpen->Handle(), FALSE), f.btnExit->Handle());
    EXPECT_EQ(GetNextDlgTabItem(f.Handle(), f.btnExit->Handle(), FALSE), f.FilenameEdit->Handle());
    f.PageControl1->SetActivePageIndex(2);
    const ui::THotKey* order[] = {f.HotKeyUp, f.HotKeyDown, f.HotKeyLeft,  f.HotKeyRight,
                                  f.HotKeyX,  f.HotKeyY,    f.HotKeyA,     f.HotKeyB,
                                  f.HotKeyL,  f.HotKeyR,    f.HotKeyStart, f.HotKeySelect};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        EXPECT_EQ(GetNextDlgTabItem(f.Handle(), order[i]->Handle(), FALSE), order[i + 1]->Handle())
            << i;
}

TEST_F(MainWindow, EscapeAsksTheExitQuestionAndCancelStillSavesTheBindings) {
    TForm1& f = Form();
    ShowWindow(f.Handle(), SW_SHOW);
    for (int page = 0; page < 3; ++page) {
        f.PageControl1->SetActivePageIndex(page);
        f.btnExit->SetFocus();
        MessageBoxAnswerer cancel(IDCANCEL);
        PostMessageA(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0);
        EXPECT_FALSE(PumpMessages(50));
        ASSERT_EQ(cancel.Seen().size(), 1u) << page;
        EXPECT_EQ(cancel.Seen()[0].caption, "Exit Confirmation");
        EXPECT_EQ(cancel.Seen()[0].text, "Are you sure you want to exit?");
        EXPECT_TRUE(cancel.Seen()[0].hasCancel);
    }
    EXPECT_TRUE(IsWindowVisible(f.Handle()));
    // The 24 entries, with the design defaults.
    const std::pair<const char*, int> expected[] = {
        {"KeyUp", 38},    {"KeyUp2", 8},    {"KeyDown", 40},   {"KeyDown2", 8},  {"KeyLeft", 37},
        {"KeyLeft2", 8},  {"KeyRight", 39}, {"KeyRight2", 8},  {"KeyA", 90},     {"KeyA2", 0},
        {"KeyB", 88},     {"KeyB2", 0},     {"KeyX", 65},      {"KeyX2", 0},     {"KeyY", 83},
        {"KeyY2", 0},     {"KeyR", 65},     {"KeyR2", 0},      {"KeyL", 81},     {"KeyL2", 0},
        {"KeyStart", 13}, {"KeyStart2", 0}, {"KeySelect", 32}, {"KeySelect2", 0}};
    for (const auto& [key, value] : expected)
        EXPECT_EQ(Setting("Main", key), value) << key;
}

TEST_F(MainWindow, OkEndsTheProgramWithoutASecondQuestion) {
    TForm1& f = Form();
    MessageBoxAnswerer ok(IDOK);
    f.btnExit->Click();
    EXPECT_TRUE(PumpMessages());
    EXPECT_EQ(ok.Seen().size(), 1u);
    EXPECT_EQ(Setting("Main", "KeyStart"), 13);
}

TEST_F(MainWindow, CloseBoxAsksTheSameQuestion) {
    TForm1& f = Form();
    ShowWindow(f.Handle(), SW_SHOW);
    {
        MessageBoxAnswerer cancel(IDCANCEL);
        SendMessageA(f.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_FALSE(PumpMessages());
        ASSERT_EQ(cancel.Seen().size(), 1u);
        EXPECT_EQ(cancel.Seen()[0].caption, "Exit Confirmation");
    }
    EXPECT_TRUE(IsWindowVisible(f.Handle()));
    EXPECT_EQ(Setting("Main", "KeyUp"), 38);
    MessageBoxAnswerer ok(IDOK);
    SendMessageA(f.Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(PumpMessages());
}

TEST_F(MainWindow, AnimationStepsHintsAndStopsOffTheGeneralPage) {
    TForm1& f = Form();
    EXPECT_TRUE(f.Timer1->Enabled());
    EXPECT_EQ(f.Tag(), 0);
    EXPECT_TRUE(f.ProgramIcon->Picture().Empty());
    f.Timer1Timer();
    EXPECT_EQ(f.Tag(), 1);
    EXPECT_EQ(f.ProgramIcon->Picture().Width(), 76);
    EXPECT_EQ(f.ProgramIcon->Hint(), "Cool picture, eh?");
    for (int i = 0; i < 15; ++i)
        f.Timer1Timer();
    EXPECT_EQ(f.Tag(), 16);
    EXPECT_EQ(f.ProgramIcon->Hint(), "Pellow made it. hehehe");
    EXPECT_EQ(ToolTipOf(f, f.ProgramIcon->Handle()), "Pellow made it. hehehe");

    // The real timer moves it on; another page stops it where it is.
    PumpMessages(350);
    const int moved = f.Tag();
    EXPECT_GT(moved, 16);
    f.PageControl1->SetActivePageIndex(1);
    EXPECT_FALSE(f.Timer1->Enabled());
    PumpMessages(350);
    EXPECT_EQ(f.Tag(), moved);
    f.PageControl1->SetActivePageIndex(0);
    EXPECT_TRUE(f.Timer1->Enabled());
    PumpMessages(250);
    EXPECT_GT(f.Tag(), moved);
}

TEST_F(MainWindow, BindingsComeBackWholeAfterARestart) {
    Form().HotKeyUp->SetKey(VK_UP, HOTKEYF_CONTROL | HOTKEYF_EXT);
    Form().SaveKeys("Main");
    EXPECT_EQ(Setting("Main", "KeyUp"), 16422);
    EXPECT_EQ(Setting("Main", "KeyUp2"), 10);
    form.reset();
    EXPECT_EQ(Form().HotKeyUp->VirtualKey(), VK_UP);
    EXPECT_EQ(Form().HotKeyUp->Modifiers(), HOTKEYF_CONTROL | HOTKEYF_EXT);
}

TEST_F(MainWindow, SettingsWithoutModifierEntriesOr255KeepTheFieldsModifiers) {
    WriteSettings("[Main]\r\nKeyUp=16422\r\nKeyDown=40\r\nKeyDown2=255\r\nKeyX=8257\r\nKeyY=83\r\n"
                  "KeyY2=255\r\nKeyA=90\r\nKeyA2=1\r\n");
    TForm1& f = Form();
    // Without a modifier entry a field keeps the modifiers it had: Up its extended flag, and
    // the Ctrl of its key entry gives way to them.
    EXPECT_EQ(f.HotKeyUp->Modifiers(), HOTKEYF_EXT);
    EXPECT_EQ(f.HotKeyUp->VirtualKey(), VK_UP);
    EXPECT_EQ(f.HotKeyX->Modifiers(), 0);
    EXPECT_EQ(f.HotKeyX->VirtualKey(), 'A');
    EXPECT_EQ(f.HotKeyY->Modifiers(), 0);
    EXPECT_EQ(f.HotKeyDown->Modifiers(), HOTKEYF_EXT); // 255 keeps what the field had
    EXPECT_EQ(f.HotKeyA->Modifiers(), HOTKEYF_SHIFT);
    EXPECT_EQ(f.HotKeyR->VirtualKey(), 'A'); // no entry: R and X both show A
}

TEST_F(MainWindow, KeyEntryOutOfRangeStopsLoadingWithARangeError) {
    for (const char* bad : {"70000", "-5"}) {
        WriteSettings(std::string("[Main]\r\nKeyUp=40\r\nKeyDown=") + bad + "\r\nKeyLeft=38\r\n");
        MessageBoxAnswerer ok(IDOK);
        TForm1& f = Form();
        ASSERT_EQ(ok.Seen().size(), 1u) << bad;
        EXPECT_EQ(ok.Seen()[0].text, "Range check error.");
        EXPECT_EQ(ok.Seen()[0].caption, "Quillet");
        EXPECT_EQ(f.HotKeyUp->VirtualKey(), VK_DOWN);   // read before the bad entry
        EXPECT_EQ(f.HotKeyLeft->VirtualKey(), VK_LEFT); // left at its design default
        EXPECT_FALSE(f.Timer1->Enabled());
        form.reset();
    }
}

TEST_F(MainWindow, LeavingTheGeneralPageControlsStopsTheAnimation) {
    TForm1& f = Form();
    f.Show();
    f.FilenameEdit->SetFocus();
    EXPECT_TRUE(f.Timer1->Enabled());
    f.btnOpen->SetFocus();
    EXPECT_FALSE(f.Timer1->Enabled());
    f.DOSSizeEdit->SetFocus();
    EXPECT_TRUE(f.Timer1->Enabled());
}

TEST(Modifiers, NumbersAndFlagsMapBothWays) {
    EXPECT_EQ(app::IntToModifiers(8), HOTKEYF_EXT);
    EXPECT_EQ(app::IntToModifiers(15), HOTKEYF_EXT | HOTKEYF_ALT | HOTKEYF_CONTROL | HOTKEYF_SHIFT);
    EXPECT_EQ(app::IntToModifiers(16 | 2), HOTKEYF_CONTROL);
    for (int n = 0; n < 16; ++n)
        EXPECT_EQ(app::ModifiersToInt(app::IntToModifiers(n)), n);
}

} // namespace
} // namespace quillet
