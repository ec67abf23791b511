#include "ui/Dialogs.h"
#include "ui/Forms.h"

#include "base/Exceptions.h"
#include "tests/win/MessageBoxes.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

using testing::MessageBoxAnswerer;
using testing::PumpMessages;

class Controls : public ::testing::Test {
protected:
    void SetUp() override {
        form.CreateForm("Test form", 300, 200, ui::TBorderStyle::Dialog, {.minimize = false});
    }
    ui::TForm form;
};

TEST_F(Controls, ProgressBarAndCheckBoxKeepWhatTheyAreGiven) {
    auto& bar = form.Create<ui::TProgressBar>(form, RECT{8, 40, 265, 55});
    EXPECT_EQ(bar.Position(), 0);
    bar.SetPosition(50);
    EXPECT_EQ(bar.Position(), 50);
    bar.SetPosition(150); // beyond the range: held at its end
    EXPECT_EQ(bar.Position(), 100);

    auto& box = form.Create<ui::TCheckBox>(form, RECT{8, 80, 200, 97}, "Don't ask again");
    EXPECT_FALSE(box.Checked());
    SendMessageA(box.Handle(), BM_CLICK, 0, 0);
    EXPECT_TRUE(box.Checked());
    box.SetChecked(false);
    EXPECT_FALSE(box.Checked());
    EXPECT_EQ(box.Caption(), "Don't ask again");
}

TEST_F(Controls, ErrorsAreShownWithAFullStopUnlessAnExceptionEventTakesThem) {
    {
        MessageBoxAnswerer ok(IDOK);
        ui::Application().HandleException(EIntOverflow());
        ASSERT_EQ(ok.Seen().size(), 1u);
        EXPECT_EQ(ok.Seen()[0].text, "Integer overflow.");
        EXPECT_EQ(ok.Seen()[0].caption, "Quillet");
        EXPECT_FALSE(ok.Seen()[0].hasCancel);
    }
    // A handler that raises ends there; the message loop goes on.
    auto& button = form.Create<ui::TBitBtn>(form, RECT{8, 8, 89, 38}, "&Go");
    button.OnClick = [](TComponent*) { throw ERangeError(); };
    std::string seen;
    ui::Application().OnException = [&](const std::exception& e) { seen = e.what(); };
    SendMessageA(button.Handle(), BM_CLICK, 0, 0);
    ui::Application().OnException = nullptr;
    EXPECT_EQ(seen, "Range check error");
}

TEST_F(Controls, OpenDialogKeepsItsFileNameWhenCancelled) {
    ui::TOpenDialog dialog(nullptr);
    dialog.Title = "Open Game";
    dialog.DefaultExt = "*.SFC;*.SMC";
    dialog.Filter = {{"All SNES images", "*.SFC;*.SMC"}, {"Super Famicom files (*.SFC)", "*.SFC"}};
    dialog.FileName = "C:\\games\\demo.smc";
    MessageBoxAnswerer cancel(IDCANCEL);
    EXPECT_FALSE(dialog.Execute(form.Handle()));
    ASSERT_EQ(cancel.Seen().size(), 1u);
    EXPECT_EQ(cancel.Seen()[0].caption, "Open Game");
    EXPECT_EQ(dialog.FileName, "C:\\games\\demo.smc");
}

TEST_F(Controls, ModalFormsReturnTheirResult) {
    ui::TForm dialog;
    dialog.CreateForm("Modal", 200, 100, ui::TBorderStyle::Dialog, {.minimize = false});
    auto& ok = dialog.Create<ui::TBitBtn>(dialog, RECT{60, 60, 141, 90}, "OK");
    ok.OnClick = [&](TComponent*) { dialog.SetModalResult(ui::mrOk); };
    dialog.SetDefaultButton(&ok);
    form.Show();
    PostMessageA(dialog.Handle(), WM_COMMAND, IDOK, 0);
    EXPECT_EQ(dialog.ShowModal(), ui::mrOk);
    EXPECT_FALSE(IsWindowVisible(dialog.Handle()));
    EXPECT_TRUE(IsWindowEnabled(form.Handle()));
    PumpMessages();
}

} // namespace
} // namespace quillet
