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
    // A title that cannot name a section is not stored (it would write lines of its own into
    // the file); a failed write is not looked at either: the warning simply comes again.
    //
    // The section keeps the title's padding blanks. Wine's profile functions find such a
    // section in a file they read, but not one they made since, until the file is read again
    // at the next start; and writing it again then makes a second one. So the box remembers
    // what it stored in this run, and stores each section once.
    if (CheckBox1->Checked()) {
        const std::optional<std::string> section = ImageSection(image_.Name);
        if (section && !SilencedThisRun(*section)) {
            WritePrivateProfileStringA(section->c_str(), "WarnErrors", "1", kSettingsFile);
            silencedThisRun_.insert(*section);
        }
    }
    Hide();
    SetModalResult(ui::mrOk);
}

} // namespace quillet::app
