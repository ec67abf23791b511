// The about box: the program's name, version and thanks over the animated logo.
#pragma once

#include "ui/Forms.h"

namespace quillet::app {

class TAboutBox : public ui::TForm {
public:
    explicit TAboutBox(TComponent* owner = nullptr);
    std::string ClassName() const override { return "TAboutBox"; }

    ui::TPanel* Panel1 = nullptr;
    ui::TImage* ProgramIcon = nullptr;
    ui::TLabel* ProductName = nullptr;
    ui::TLabel* Version = nullptr;
    ui::TLabel* Copyright = nullptr;
    ui::TLabel* Comments = nullptr;
    ui::TLabel* Label1 = nullptr;
    ui::TBitBtn* OKButton = nullptr;
    ui::TTimer* Timer1 = nullptr;
    int FFrame = 0;

    void FormCreate();
    void Timer1Timer();
    void OKButtonClick();
};

} // namespace quillet::app
