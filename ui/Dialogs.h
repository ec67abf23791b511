// The common open-file and save-file dialogs.
#pragma once

#include "base/Component.h"
#include "ui/Win32.h"

#include <string>
#include <utility>
#include <vector>

namespace quillet::ui {

// What the open and the save dialog share: the choices they start with and the answer.
class TFileDialog : public TComponent {
public:
    explicit TFileDialog(TComponent* owner) : TComponent(owner) {}

    std::string Title;
    std::string DefaultExt;
    std::vector<std::pair<std::string, std::string>> Filter; // shown text, pattern
    int FilterIndex = 1;                                     // 1 is the first filter
    bool PathMustExist = true;
    // Kept between runs; the dialog starts with it and leaves it as it was when cancelled.
    std::string FileName;

    // Shows the dialog; true when the user chose a file.
    virtual bool Execute(HWND owner) = 0;

protected:
    // Runs GetOpenFileNameA or GetSaveFileNameA with these flags besides the shared ones.
    bool Run(HWND owner, DWORD flags, bool save);
};

class TOpenDialog : public TFileDialog {
public:
    explicit TOpenDialog(TComponent* owner) : TFileDialog(owner) {}
    std::string ClassName() const override { return "TOpenDialog"; }

    bool FileMustExist = true;

    bool Execute(HWND owner) override;
};

class TSaveDialog : public TFileDialog {
public:
    explicit TSaveDialog(TComponent* owner) : TFileDialog(owner) {}
    std::string ClassName() const override { return "TSaveDialog"; }

    // Asks before a file that exists is chosen.
    bool OverwritePrompt = true;

    bool Execute(HWND owner) override;
};

} // namespace quillet::ui
