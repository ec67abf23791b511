// The keyboard, the focus and the windows as a Windows user expects them, through real key
// messages and the program's own message loop.
#include "app/About.h"
#include "app/DEBUGWIN.h"
#include "app/DirectX.h"
#include "app/Warning.h"
#include "tests/win/MainWindowFixture.h"
#include "tools/RomImageBuilder.h"

#include <gtest/gtest.h>

#include <map>

namespace quillet::testing {
namespace {

// The main window shown and active, each button counting its presses instead of running its
// command, so that keys can be followed to the button they press.
class Keyboard : public MainWindow {
protected:
    Keyboard() {
        for (auto [button, name] :
             {std::pair{form.btnOpen, "Open"}, std::pair{form.btnEmu, "Emulate"},
              std::pair{form.btnExit, "Close"}})
            button->OnClick = [this, name](TComponent*) { ++pressed[name]; };
        form.Show();
        PumpMessages(50);
    }
    // The key goes where the focus is, as the keyboard's keys do.
    void Press(WORD key, bool alt = false) {
        PressKey(GetFocus(), key, alt);
        PumpMessages(30);
    }
    void MakeEmulateTheDefault() {
        Open(folder.Write("demo.smc", samples::DemoImage()));
        ASSERT_TRUE(form.btnEmu->Enabled());
    }

    std::map<std::string, int> pressed;
};

TEST_F(Keyboard, EnterPressesTheFocusedButtonOrElseTheDefaultOneAndEscapeAsksToClose) {
    MakeEmulateTheDefault();
    const struct {
        ui::TWinControl* focus;
        WORD key;
        const char* button;
    } cases[] = {
        {form.FilenameEdit, VK_RETURN, "Emulate"}, // the default after a valid image
        {form.PageControl1, VK_RETURN, "Emulate"},
        {form.btnOpen, VK_RETURN, "Open"}, // a focused push button takes Enter itself
        {form.btnExit, VK_RETURN, "Close"},
        {form.Memo1, VK_ESCAPE, "Close"}, // the cancel button
        {form.btnOpen, VK_ESCAPE, "Close"},
    };
    for (const auto& c : cases) {
        pressed.clear();
        if (c.focus == form.Memo1)
            form.PageControl1->SetActivePageIndex(1);
        c.focus->SetFocus();
        Press(c.key);
        EXPECT_EQ(pressed, (std::map<std::string, int>{{c.button, 1}}))
            << c.focus->ClassName() << " " << c.key;
        form.PageControl1->SetActivePageIndex(0);
    }
    // Without a valid image Open is the default again, and the disabled Emulate takes nothing.
    Open(folder.Write("short.sfc", std::vector<std::uint8_t>(100)));
    form.FilenameEdit->SetFocus();
    pressed.clear();
    Press(VK_RETURN);
    EXPECT_EQ(pressed, (std::map<std::string, int>{{"Open", 1}}));
}

TEST_F(Keyboard, AltAndAHotKeyPressesButtonsAndTurnsPages) {
    MakeEmulateTheDefault();
    form.FilenameEdit->SetFocus();
    for (const auto& [key, button] :
         {std::pair{'O', "Open"}, std::pair{'E', "Emulate"}, std::pair{'C', "Close"}}) {
        pressed.clear();
        Press(key, true);
        EXPECT_EQ(pressed, (std::map<std::string, int>{{button, 1}})) << key;
    }
    // Pages: the tabs take the focus, as a click on them does, and show the page.
    pressed.clear();
    for (const auto& [key, page] : {std::pair{'I', 1}, std::pair{'S', 2}, std::pair{'G', 0}}) {
        Press(key, true);
        EXPECT_EQ(form.PageControl1->ActivePageIndex(), page) << key;
        EXPECT_TRUE(form.PageControl1->Focused()) << key;
    }
    EXPECT_TRUE(form.Timer1->Enabled()); // back on the General page
    EXPECT_TRUE(pressed.empty());
}

TEST_F(Keyboard, TabFollowsTheOrderOfTheControlsIntoThePageOnShowSkippingWhatIsDisabled) {
    form.btnOpen->SetFocus();
    // Emulate is disabled without an image; after the page control, the page on show.
    for (ui::TWinControl* next : std::initializer_list<ui::TWinControl*>{
             form.btnExit, form.PageControl1, form.FilenameEdit, form.DOSSizeEdit}) {
        Press(VK_TAB);
        EXPECT_TRUE(next->Focused()) << next->ClassName();
    }
    // Shift+Tab goes back, round from the first control to the last field of the page.
    form.btnOpen->SetFocus();
    PressKeyWith(VK_SHIFT, GetFocus(), VK_TAB);
    EXPECT_TRUE(form.edtFileFmt->Focused());

    MakeEmulateTheDefault();
    form.btnOpen->SetFocus();
    Press(VK_TAB);
    EXPECT_TRUE(form.btnEmu->Focused());
    // On the settings page, the twelve fields in the pad's order.
    form.PageControl1->SetActivePageIndex(2);
    form.PageControl1->SetFocus();
    for (ui::THotKey* next :
         {form.HotKeyUp, form.HotKeyDown, form.HotKeyLeft, form.HotKeyRight, form.HotKeyX}) {
        Press(VK_TAB);
        EXPECT_TRUE(next->Focused());
    }
}

TEST_F(Keyboard, AfterAModalWindowTheFocusIsBackAndItsHotKeysWork) {
    MakeEmulateTheDefault();
    app::TAboutBox about;
    form.SetAboutBox(about);
    form.FilenameEdit->SetFocus();
    bool pictureMovedBehind = false;
    // While the box is up: the picture of the General page keeps moving, since the focus went
    // to another window, not to another control of this one. Then Enter closes the box.
    ui::Application().Post([&] {
        pictureMovedBehind = form.Timer1->Enabled();
        PressKey(GetFocus(), VK_RETURN);
    });
    form.About1Click();
    EXPECT_TRUE(pictureMovedBehind);
    EXPECT_EQ(about.ModalResult(), ui::mrOk);
    EXPECT_EQ(GetFocus(), form.FilenameEdit->Handle());
    for (int round = 0; round < 3; ++round) {
        Press('E', true);
        EXPECT_EQ(pressed["Emulate"], round + 1);
    }
}

TEST(Dialogs, EnterAndEscapeInTheAboutBoxAndTheWarning) {
    NoSettings noSettings;
    app::TAboutBox about;
    // Enter presses OK, which stops the picture; Escape closes the box as its close box does,
    // leaving the picture running.
    for (const auto& [key, result, timer] :
         {std::tuple{VK_RETURN, ui::mrOk, false}, std::tuple{VK_ESCAPE, ui::mrCancel, true}}) {
        about.Timer1->SetEnabled(true);
        ui::Application().Post([key = key] { PressKey(GetFocus(), static_cast<WORD>(key)); });
        EXPECT_EQ(about.ShowModal(), result);
        EXPECT_EQ(about.Timer1->Enabled(), timer);
    }

    // The warning has no close box: Escape leaves it up, Enter presses OK and stores the
    // ticked box's entry.
    SNESImageInfo image;
    image.Name = std::string("WARNED TITLE") + std::string(9, ' ');
    app::TdlgWarn warn(image);
    warn.CheckBox1->SetChecked(true);
    bool upAfterEscape = false;
    ui::Application().Post([&] {
        PressKey(GetFocus(), VK_ESCAPE);
        ui::Application().Post([&] {
            upAfterEscape = warn.Visible();
            PressKey(GetFocus(), VK_RETURN);
        });
    });
    EXPECT_EQ(warn.ShowModal(), ui::mrOk);
    EXPECT_TRUE(upAfterEscape);
    EXPECT_EQ(GetPrivateProfileIntA(image.Name.c_str(), "WarnErrors", 0, "QUILLET.INI"), 1u);
}

TEST(Windows, OneTaskBarButtonForTheWholeProgram) {
    NoSettings noSettings;
    app::TForm1 form;
    app::TAboutBox about;
    app::TDebugger debugger;
    app::TdlgWarn warn(form.FInfo);
    app::TLoad load;
    app::TfrmDirectX placeholder;
    // Every window is owned by the application's window; only the main one asks for a
    // button of its own, and the application's window is never shown.
    for (ui::TForm* window :
         std::initializer_list<ui::TForm*>{&form, &about, &debugger, &warn, &load, &placeholder}) {
        EXPECT_EQ(GetWindow(window->Handle(), GW_OWNER), ui::Application().Handle())
            << window->ClassName();
        const bool ownButton = (GetWindowLongA(window->Handle(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
        EXPECT_EQ(ownButton, window == &form) << window->ClassName();
    }
    EXPECT_FALSE(IsWindowVisible(ui::Application().Handle()));
    // Message boxes have an owner too, so they never get a button of their own.
    MessageBoxAnswerer ok(IDOK);
    HWND boxOwner = nullptr;
    ok.OnSeen = [&](const SeenBox&) { boxOwner = GetWindow(GetForegroundWindow(), GW_OWNER); };
    form.SpeedButton1Click();
    EXPECT_NE(boxOwner, nullptr);
}

TEST_F(Keyboard, ToolTipsShowOverADisabledButtonAndOverTheMovingPicture) {
    const auto tipAt = [&](const ui::TWinControl& control) {
        RECT r{};
        GetWindowRect(control.Handle(), &r);
        SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        PumpMessages(50);
        SetCursorPos((r.left + r.right) / 2 + 2, (r.top + r.bottom) / 2 + 1);
        // The tip comes after its initial delay, with the picture changing its hint meanwhile.
        const DWORD start = GetTickCount();
        while (!IsWindowVisible(form.ToolTips()) && GetTickCount() - start < 20000)
            PumpMessages(20);
        char text[128] = {};
        TTTOOLINFOA tool{};
        tool.cbSize = TTTOOLINFOA_V1_SIZE;
        tool.lpszText = text;
        const bool shown =
            IsWindowVisible(form.ToolTips()) &&
            SendMessageA(form.ToolTips(), TTM_GETCURRENTTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
        return shown ? std::string(text) : std::string("(no tip)");
    };
    ASSERT_FALSE(form.btnEmu->Enabled());
    EXPECT_EQ(tipAt(*form.btnEmu), "Not yet implemented");
    ASSERT_TRUE(form.Timer1->Enabled());
    const std::string picture = tipAt(*form.ProgramIcon);
    EXPECT_TRUE(picture == "Cool picture, eh?" || picture == "Pellow made it. hehehe") << picture;
}

TEST(Lifetime, AFormDestroyedWithAFocusedFieldRunsNoHandlerOnTheWay) {
    NoSettings noSettings;
    int handlersRun = 0;
    {
        auto form = MakeComponent<app::TForm1>();
        form->Show();
        form->FilenameEdit->SetFocus();
        for (ui::TWinControl* control : std::initializer_list<ui::TWinControl*>{
                 form->TabSheet1, form->FilenameEdit, form->PageControl1, form->btnOpen,
                 form.get()}) {
            control->OnExit = [&](TComponent*) { ++handlersRun; };
            control->OnEnter = [&](TComponent*) { ++handlersRun; };
        }
    }
    EXPECT_EQ(handlersRun, 0);
    // A control's own window goes with it too, without a word to the control.
    ui::TForm form;
    form.CreateForm("Form", 200, 100, ui::TBorderStyle::Single, {});
    auto& edit = form.Create<ui::TEdit>(form, RECT{0, 0, 100, 20});
    const HWND window = edit.Handle();
    form.FreeComponent(edit);
    EXPECT_FALSE(IsWindow(window));
}

} // namespace
} // namespace quillet::testing
