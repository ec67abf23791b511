// The common open-file dialog.
#pragma once

#include "base/Component.h"
#include "ui/Win32.h"

#include <string>
#include <utility>
#include <vector>

namespace quillet::ui {

class TOpenDialog : public TComponent {
public:
    explicit TOpenDialog(TComponent* owner) : TComponent(owner) {}
    std::string ClassName() const override { return "TOpenDialog"; }

    std::string Title;
    std::string DefaultExt;
    std::vector<std::pair<std::string, std::string>> Filter; // shown text, pattern
    int FilterIndex = 1;                                     // 1 is the first filter
    bool PathMustExist = true;
    bool FileMustExist = true;
    // Kept between runs; the dialog starts with it and leaves it as it was when cancelled.
    std::string FileName;

    // Shows the dialog; true when the user chose a file.
    bool Execute(HWND owner);
};

} // namespace quillet::ui
