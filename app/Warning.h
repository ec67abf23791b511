// The warning dialog: lists an image's errors before emulation and can be silenced for it.
#pragma once

#include "rom/SnesImageInfo.h"
#include "ui/Forms.h"

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

private:
    const SNESImageInfo& image_;
};

} // namespace quillet::app
