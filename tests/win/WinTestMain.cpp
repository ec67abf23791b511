// GoogleTest's entry for tests that make real windows: common controls ready, the application
// titled as the program titles it.
#include "ui/Application.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_HOTKEY_CLASS | ICC_TAB_CLASSES |
                                                                    ICC_BAR_CLASSES |
                                                                    ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    quillet::ui::Application().SetTitle("Quillet");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
