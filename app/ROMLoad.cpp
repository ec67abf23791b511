#include "app/ROMLoad.h"

namespace quillet::app {

TLoad::TLoad(TComponent* owner) : TForm(owner) {
    SetName("Load");
    CreateForm("", 272, 86, ui::TBorderStyle::Single,
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

void TLoad::Restart() {
    // The bar starts from nothing read, not from where the last load left it; the window's
    // own paint, which follows, shows that.
    shown_ = given_ = 0;
    ProgressBar1->SetPosition(0);
    lastPaint_ = GetTickCount();
}

void TLoad::ShowProgress(int percent) {
    // Setting the bar paints it, which costs far more than reading a block: the bar follows
    // when its value changes, no more often than the eye can follow.
    given_ = percent;
    if (percent == shown_)
        return;
    const DWORD now = GetTickCount();
    if (now - lastPaint_ < kPaintInterval)
        return;
    shown_ = percent;
    lastPaint_ = now;
    ProgressBar1->SetPosition(percent);
    UpdateWindow(ProgressBar1->Handle());
}

void TLoad::Finish() {
    Hide();
    // Hidden, the bar takes its last value without painting it.
    if (given_ != shown_) {
        shown_ = given_;
        ProgressBar1->SetPosition(given_);
    }
}

} // namespace quillet::app
