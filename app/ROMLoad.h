// The loading window: shown while the open command reads an image into memory.
#pragma once

#include "ui/Forms.h"

namespace quillet::app {

class TLoad : public ui::TForm {
public:
    explicit TLoad(TComponent* owner = nullptr);
    std::string ClassName() const override { return "TLoad"; }

    ui::TLabel* Label1 = nullptr;
    ui::TProgressBar* ProgressBar1 = nullptr;
    ui::TLabel* Label2 = nullptr;

    void FormCreate();
    // Puts the bar back to 0 before a load.
    void Restart();
    // Sets and paints the bar when its value changes, at most every 40 ms.
    void ShowProgress(int percent);
    // Hides the window after a load; the bar keeps the last value given.
    void Finish();

private:
    static constexpr DWORD kPaintInterval = 40;
    int shown_ = 50;
    int given_ = 50;
    DWORD lastPaint_ = 0;
};

} // namespace quillet::app
