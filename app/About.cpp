#include "app/About.h"

#include "app/PictureBitmaps.h"
#include "base/Version.h"

namespace quillet::app {

namespace {

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
std::string VersionCaption() {
    return std::string("Version ") + kProgramVersion + " Pre-Alpha";
}
constexpr const char* kCopyright = "Copyright (C) 2026 the Quillet developers.";
constexpr const char* kComments =
    "Thanks to everyone who kept us company through the long evenings of this work, and to the "
    "people who wrote the components and tools it is built with.";
constexpr const char* kThanks =
    "Thanks also to the writers of the technical documents on the SNES, who took the "
    "machine apart so that others could understand it.";

} // namespace

TAboutBox::TAboutBox(TComponent* owner) : TForm(owner) {
    SetName("AboutBox");
    CreateForm("About", 298, 268, ui::TBorderStyle::Dialog,
               {.systemMenu = true, .minimize = false, .maximize = false});
    Font().Set("Arial", -11);
    SetColor(kBlack);
    Panel1 = &Create<ui::TPanel>(*this, RECT{8, 8, 289, 225}, kBlack, kWhite, true);

    ProgramIcon = &Create<ui::TImage>(*Panel1, RECT{8, 16, 84, 51});
    ProductName = &Create<ui::TLabel>(*Panel1, 88, 16, "Quillet");
    ProductName->Font().Set("Arial", -19, ui::FontStyle::Bold);
    Version = &Create<ui::TLabel>(*Panel1, 88, 48, VersionCaption());
    Version->Font().Set("Arial", -12, ui::FontStyle::Italic);
    Copyright = &Create<ui::TLabel>(*Panel1, 8, 80, kCopyright);
    Copyright->Font().Set("MS Sans Serif", -11);
    Comments = &Create<ui::TLabel>(*Panel1, 8, 104, kComments, SIZE{265, 65});
    Comments->Font().Set("Arial", -9);
    Label1 = &Create<ui::TLabel>(*Panel1, 8, 164, kThanks, SIZE{265, 41});
    Label1->Font().Set("Arial", -9);

    OKButton = &Create<ui::TBitBtn>(*this, RECT{111, 236, 186, 261}, "OK");
    OKButton->OnClick = [this](TComponent*) { OKButtonClick(); };
    SetDefaultButton(OKButton);

    Timer1 = &Create<ui::TTimer>(100);
    Timer1->OnTimer = [this](TComponent*) { Timer1Timer(); };
    FormCreate();
}

void TAboutBox::FormCreate() {
    CenterOnScreen();
    ProgramIcon->Repaint();
    Version->SetCaption(VersionCaption());
    ProductName->SetCaption("Quillet");
    Copyright->SetCaption(kCopyright);
}

void TAboutBox::Timer1Timer() {
    ProgramIcon->Picture().CopyFrom(AnimationBitmaps()[static_cast<std::size_t>(FFrame)]);
    FFrame = (FFrame + 1) % kFrameCount;
    ProgramIcon->Repaint();
}

void TAboutBox::OKButtonClick() {
    Timer1->SetEnabled(false);
    SetModalResult(ui::mrOk);
}

} // namespace quillet::app
