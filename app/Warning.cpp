#include "app/Warning.h"

#include "app/PictureBitmaps.h"
#include "app/SnesForm.h"

namespace quillet::app {

TdlgWarn::TdlgWarn(const SNESImageInfo& image, TComponent* owner) : TForm(owner), image_(image) {
    SetName("dlgWarn");
    CreateForm("Warning", 301, 155, ui::TBorderStyle::Dialog,
               {.systemMenu = false, .minimize = false, .maximize = false});
    Font().Set("MS Sans Serif", -11);
    Memo1 = &Create<ui::TEdit>(*this, RECT{10, 8, 291, 105}, true);
    Memo1->SetText("\r\n");
    CheckBox1 = &Create<ui::TCheckBox>(*this, RECT{9, 108, 292, 125},
                                       "Don't bother me about this in the future.");
    BitBtn1 = &Create<ui::TBitBtn>(*this, RECT{113, 128, 188, 153}, "OK");
    BitBtn1->SetGlyph(ToBitmap(GlyphImage(Glyph::Ok)), 2);
    BitBtn1->OnClick = [this](TComponent*) { BitBtn1Click(); };
    SetDefaultButton(BitBtn1);
    FormCreate();
}

void TdlgWarn::FormCreate() {
    CenterOnScreen();
}

void TdlgWarn::BitBtn1Click() {
    if (CheckBox1->Checked()) {
        const std::string section = ImageSection(image_.Name);
        WritePrivateProfileStringA(section.c_str(), "WarnErrors", "1", kSettingsFile);
    }
    Hide();
    SetModalResult(ui::mrOk);
}

} // namespace quillet::app
