#include "app/ROMLoad.h"

namespace quillet::app {

TLoad::TLoad(TComponent* owner) : TForm(owner) {
    SetName("Load");
    CreateForm("", 272, 86, ui::TBorderStyle::Dialog,
               {.systemMenu = false, .minimize = false, .maximize = false}, true);
    Font().Set("MS Sans Serif", -11);
    Label1 = &Create<ui::TLabel>(*this, 113, 16, "Loading...");
    ProgressBar1 = &Create<ui::TProgressBar>(*this, RECT{8, 40, 265, 55});
    ProgressBar1->SetPosition(shown_);
    Label2 = &Create<ui::TLabel>(*this, 103, 64, "Please Wait...");
    FormCreate();
}

void TLoad::FormCreate() {
    CenterOnScreen();
}

void TLoad::ShowProgress(int percent) {
    // Asking the bar, and setting it, cost a message each, and setting it paints it: the value
    // is kept here, and the bar follows when it changes, no more often than the eye can follow.
    if (percent == shown_)
        return;
    const DWORD now = GetTickCount();
    if (now - lastPaint_ < kPaintInterval && percent < 100)
        return;
    shown_ = percent;
    lastPaint_ = now;
    ProgressBar1->SetPosition(percent);
    UpdateWindow(ProgressBar1->Handle());
}

} // namespace quillet::app
