// A small window with a progress bar for long work that blocks the program, such as reading a
// large DAT file: it shows itself only once the work is large enough to be seen.
#pragma once

#include "ui/Forms.h"

#include <cstdint>
#include <string>

namespace quillet::app {

class TfrmProgress : public ui::TForm {
public:
    explicit TfrmProgress(ui::TForm& mainForm, TComponent* owner = nullptr);
    std::string ClassName() const override { return "TfrmProgress"; }

    ui::TLabel* lblWhat = nullptr;
    ui::TProgressBar* pbDone = nullptr;

    // Work of this many bytes and more shows the window.
    static constexpr std::uint64_t kShownFrom = 1024 * 1024;

    // How far the work on `what` is; paints at once, at most every 40 ms.
    void Step(const std::string& what, std::uint64_t done, std::uint64_t total);
    // The work is over: the window goes.
    void Finish();

private:
    std::string what_;
    DWORD lastPaint_ = 0;
};

} // namespace quillet::app
