// Quillet's entry: the application object, the windows in their order, and the message loop.
#include "app/About.h"
#include "app/DEBUGWIN.h"
#include "app/DatFiles.h"
#include "app/DatFilesForm.h"
#include "app/Details.h"
#include "app/DirectX.h"
#include "app/Progress.h"
#include "app/ROMLoad.h"
#include "app/SnesForm.h"
#include "app/Warning.h"
#include "ui/Application.h"

#include <cstdlib>
#include <memory>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_HOTKEY_CLASS | ICC_TAB_CLASSES |
                                                                    ICC_BAR_CLASSES |
                                                                    ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);

    auto& application = quillet::ui::Application();
    application.SetTitle("Quillet");
    // The windows live until the program ends; the main window comes first. They go in the
    // reverse order, each with its windows destroyed while it is still whole.
    using quillet::MakeComponent;
    const auto form1 = MakeComponent<quillet::app::TForm1>();
    const auto aboutBox = MakeComponent<quillet::app::TAboutBox>();
    const auto debugger = MakeComponent<quillet::app::TDebugger>();
    const auto dlgWarn = MakeComponent<quillet::app::TdlgWarn>(form1->FInfo);
    const auto load = MakeComponent<quillet::app::TLoad>();
    const auto frmDirectX = MakeComponent<quillet::app::TfrmDirectX>();
    form1->SetAboutBox(*aboutBox);
    form1->SetLog(*debugger);
    form1->SetLoadWindow(*load);
    form1->SetEmulationWindows(*dlgWarn, *frmDirectX);
    // Beyond those six: the Details window and the DAT files it looks images up in.
    quillet::app::TDatFiles datFiles;
    const auto frmDetails = MakeComponent<quillet::app::TfrmDetails>(*form1);
    const auto frmProgress = MakeComponent<quillet::app::TfrmProgress>(*form1);
    const auto frmDatFiles =
        MakeComponent<quillet::app::TfrmDatFiles>(*form1, datFiles, *frmProgress);
    form1->SetDetailsWindows(*frmDetails, *frmDatFiles, datFiles);
    // The DAT files are read once the main window is up, so that a long read shows its
    // progress over it; the list is read now, so that nothing else can miss it.
    datFiles.LoadList();
    application.Post([&] { quillet::app::ReadDatFiles(datFiles, *frmProgress); });

    // An image named on the command line (as a file manager's "Open with" gives it) opens
    // once the windows are there, from the message loop, as a choice in the open dialog would.
    if (__argc > 1) {
        const std::string path = __argv[1];
        application.Post([&form1, path] { form1->OpenFile(path); });
    }
    application.Run();
    return 0;
}
