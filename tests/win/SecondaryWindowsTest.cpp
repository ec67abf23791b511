#include "app/About.h"
#include "app/SnesForm.h"
#include "app/Warning.h"

#include "tests/win/MessageBoxes.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

using testing::PumpMessages;

// Presses OK in the about box a little while after it came up.
void CALLBACK PressOkInAbout(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (HWND about = FindWindowA(nullptr, "About"))
        PostMessageA(about, WM_COMMAND, IDOK, 0);
}

TEST(AboutBox, AnimatesOnItsOwnAndOkStopsIt) {
    app::TForm1 form;
    app::TAboutBox about;
    form.SetAboutBox(about);
    EXPECT_EQ(about.Caption(), "About");
    EXPECT_EQ(about.ClientWidth(), 298);
    EXPECT_EQ(about.ClientHeight(), 268);
    EXPECT_EQ(about.ProductName->Caption(), "Quillet");
    EXPECT_EQ(about.Version->Caption(), "Version 0.0002 Pre-Alpha");
    EXPECT_FALSE(about.Timer1->Enabled());

    // The real timer runs while the box is up; OK stops it.
    SetTimer(nullptr, 0, 450, &PressOkInAbout);
    form.SetTag(20); // the main window's picture has its own counter
    form.About1Click();
    EXPECT_FALSE(about.Timer1->Enabled());
    EXPECT_EQ(about.ModalResult(), ui::mrOk);
    const int stopped = about.FFrame;
    EXPECT_GE(stopped, 2);
    EXPECT_EQ(about.ProgramIcon->Picture().Width(), 76);
    EXPECT_LT(stopped, 20);
    EXPECT_GE(form.Tag(), 20); // and went on moving behind the box

    // Shown again it goes on from where it stopped.
    about.Timer1Timer();
    EXPECT_EQ(about.FFrame, stopped + 1);
}

TEST(AboutBox, CloseBoxLeavesItsTimerRunning) {
    app::TForm1 form;
    app::TAboutBox about;
    form.SetAboutBox(about);
    PostMessageA(about.Handle(), WM_CLOSE, 0, 0);
    form.About1Click();
    EXPECT_EQ(about.ModalResult(), ui::mrCancel);
    EXPECT_TRUE(about.Timer1->Enabled());
    EXPECT_FALSE(IsWindowVisible(about.Handle()));
}

TEST(WarningDialog, TickedBoxStoresWarnErrorsUnderTheTitleWithoutItsPadding) {
    SNESImageInfo image;
    image.Name = std::string("SHORT") + std::string(16, ' ');
    app::TdlgWarn warn(image);
    EXPECT_EQ(warn.Caption(), "Warning");
    EXPECT_EQ(warn.ClientWidth(), 301);
    EXPECT_EQ(warn.ClientHeight(), 155);
    EXPECT_EQ(warn.CheckBox1->Caption(), "Don't bother me about this in the future.");
    EXPECT_EQ(warn.Memo1->Text(), "\r\n");
    EXPECT_FALSE(GetWindowLongA(warn.Handle(), GWL_STYLE) & WS_SYSMENU);

    const char* section = "SHORT                ";
    char folder[MAX_PATH] = {};
    GetWindowsDirectoryA(folder, MAX_PATH);
    const std::string settings = std::string(folder) + "\\QUILLET.INI";
    DeleteFileA(settings.c_str());
    warn.BitBtn1Click(); // not ticked: nothing stored
    EXPECT_EQ(GetPrivateProfileIntA(section, "WarnErrors", 0, "QUILLET.INI"), 0u);

    warn.CheckBox1->SetChecked(true);
    warn.BitBtn1Click();
    EXPECT_EQ(GetPrivateProfileIntA(section, "WarnErrors", 0, "QUILLET.INI"), 1u);
    // The file names the section without the blanks, so it can be read back after a restart.
    char names[64] = {};
    GetPrivateProfileSectionNamesA(names, sizeof names, "QUILLET.INI");
    EXPECT_STREQ(names, "SHORT");
    EXPECT_EQ(warn.ModalResult(), ui::mrOk);
    EXPECT_FALSE(IsWindowVisible(warn.Handle()));

    // The box stays ticked: the next image is silenced too.
    image.Name = std::string("OTHER\0GAME", 10) + std::string(11, ' ');
    warn.BitBtn1Click();
    EXPECT_EQ(GetPrivateProfileIntA("OTHER", "WarnErrors", 0, "QUILLET.INI"), 1u);
    DeleteFileA(settings.c_str());
    PumpMessages();
}

} // namespace
} // namespace quillet
