// Controls that follow their fonts: the control and others may listen to one font.
#include "ui/Controls.h"
#include "ui/Forms.h"

#include <gtest/gtest.h>

#include <optional>

namespace quillet::testing {

TEST(Label, SizesItselfToEachNewFontBesideTheFontsOtherListeners) {
    ui::TForm form;
    form.CreateForm("Labels", 300, 200, ui::TBorderStyle::Single, {});
    auto& label = form.Create<ui::TLabel>(form, 8, 8, "Quillet");
    int heard = 0;
    std::optional<TConnection> other = label.Font().OnChange.Connect([&] {
        ++heard;
        // The label has taken the font by then, in the order the listeners came.
        EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(label.Handle(), WM_GETFONT, 0, 0)),
                  label.Font().Handle());
    });
    const int small = label.Height();
    label.Font().SetSize(24);
    EXPECT_EQ(heard, 1);
    const int big = label.Height();
    EXPECT_GT(big, small);

    other.reset();
    label.Font().SetSize(8);
    EXPECT_EQ(heard, 1);
    EXPECT_LT(label.Height(), big);
}

} // namespace quillet::testing
