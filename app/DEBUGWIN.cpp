#include "app/DEBUGWIN.h"

namespace quillet::app {

TDebugger::TDebugger(TComponent* owner) : TForm(owner) {
    SetName("Debugger");
    CreateForm("Debugger", 560, 210, ui::TBorderStyle::Sizeable,
               {.systemMenu = false, .minimize = true, .maximize = false});
    Font().Set("MS Sans Serif", -11);

    CRT = &Create<TLumocrt>(*this, 0, 0);
    const ui::TFont courier("Courier New", -11);
    CRT->SetFont(courier);
    CRT->PrinterFont.Assign(courier);
    CRT->Font80.Assign(courier);
    CRT->Font132.Assign(courier);
    CRT->Crt().SetBackColor(clWindow);
    CRT->Crt().SetTextColor(clWindowText);
    CRT->SetColumns(80);
    CRT->SetRows(15);
    CRT->Crt().SetLineBreak(TLineBreak::CRLF);
    CRT->Loaded();
    FormCreate();
}

void TDebugger::FormCreate() {
    SetClientSize(CRT->Width(), CRT->Height());
    // The bottom right-hand corner of the screen, by the window's outer size.
    RECT frame{};
    GetWindowRect(Handle(), &frame);
    SetPosition(GetSystemMetrics(SM_CXSCREEN) - (frame.right - frame.left),
                GetSystemMetrics(SM_CYSCREEN) - (frame.bottom - frame.top));
    Show();
    CRT->WriteLine("Program Started...");
}

} // namespace quillet::app
