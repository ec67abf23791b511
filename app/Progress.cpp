#include "app/Progress.h"

namespace quillet::app {

TfrmProgress::TfrmProgress(ui::TForm& mainForm, TComponent* owner) : TForm(owner) {
    SetName("frmProgress");
    CreateForm("Reading DAT Files", 320, 72, ui::TBorderStyle::Dialog,
               {.systemMenu = false, .minimize = false, .maximize = false}, false, &mainForm);
    Font().Set("MS Sans Serif", -11);
    lblWhat = &Create<ui::TLabel>(*this, 8, 10, "", SIZE{304, 16});
    pbDone = &Create<ui::TProgressBar>(*this, RECT{8, 34, 312, 52});
}

void TfrmProgress::Step(const std::string& what, std::uint64_t done, std::uint64_t total) {
    if (total < kShownFrom)
        return;
    const DWORD now = GetTickCount();
    const bool newWork = what != what_;
    if (!newWork && now - lastPaint_ < 40 && done < total)
        return;
    lastPaint_ = now;
    if (newWork) {
        what_ = what;
        lblWhat->SetCaption(what);
    }
    if (!Visible()) {
        CenterOnScreen();
        // Shown without taking the activation: nothing is handled until the work ends.
        ShowWindow(Handle(), SW_SHOWNOACTIVATE);
    }
    pbDone->SetPosition(static_cast<int>(done * 100 / total));
    RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void TfrmProgress::Finish() {
    Hide();
    what_.clear();
}

} // namespace quillet::app
