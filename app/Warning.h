// The warning dialog: lists an image's errors before emulation and can be silenced for it.
#pragma once

#include "rom/SnesImageInfo.h"
#include "ui/Forms.h"

#include <set>
#include <string>

namespace quillet::app {

class TdlgWarn : public ui::TForm {
public:
    // `image` is the main window's record: its title names the settings section.
    explicit TdlgWarn(const SNESImageInfo& image, TComponent* owner = nullptr);
    std::string ClassName() const override { return "TdlgWarn"; }

    ui::TEdit* Memo1 = nullptr;
    ui::TCheckBox* CheckBox1 = nullptr;
    ui::TBitBtn* BitBtn1 = nullptr;

    void FormCreate();
    void BitBtn1Click();
    // Whether the box silenced this section since the program started.
    bool SilencedThisRun(const std::string& section) const {
        return silencedThisRun_.contains(section);
    }

private:
    const SNESImageInfo& image_;
    std::set<std::string> silencedThisRun_;
};

} // namespace quillet::app
