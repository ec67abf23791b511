// Quillet's entry: the application object, the windows in their order, and the message loop.
#include "app/About.h"
#include "app/DEBUGWIN.h"
#include "app/DirectX.h"
#include "app/ROMLoad.h"
#include "app/SnesForm.h"
#include "app/Warning.h"
#include "ui/Application.h"

#include <memory>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_HOTKEY_CLASS | ICC_TAB_CLASSES |
                                                                    ICC_BAR_CLASSES |
                                                                    ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);

    auto& application = quillet::ui::Application();
    application.SetTitle("Quillet");
    // The windows live until the program ends; the main window comes first.
    const auto form1 = std::make_unique<quillet::app::TForm1>();
    const auto aboutBox = std::make_unique<quillet::app::TAboutBox>();
    const auto debugger = std::make_unique<quillet::app::TDebugger>();
    const auto dlgWarn = std::make_unique<quillet::app::TdlgWarn>(form1->FInfo);
    const auto load = std::make_unique<quillet::app::TLoad>();
    const auto frmDirectX = std::make_unique<quillet::app::TfrmDirectX>();
    form1->SetAboutBox(*aboutBox);
    form1->SetLog(*debugger);
    form1->SetLoadWindow(*load);
    form1->SetEmulationWindows(*dlgWarn, *frmDirectX);
    application.Run();
    return 0;
}
