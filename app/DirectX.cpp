#include "app/DirectX.h"

#include <exception>

namespace quillet::app {

TfrmDirectX::TfrmDirectX(TComponent* owner) : TForm(owner) {
    SetName("frmDirectX");
    CreateForm("DirectX", 435, 300, ui::TBorderStyle::Sizeable, {});
    MxScreen1 = &Create<TMxScreen>();
    MxScreen1->SetName("MxScreen1");
    MxScreen1->SetDisplayMode(TDisplayMode::dm640x480x8);
    MxScreen1->SetFlippingEnabled(false);
    MxScreen1->SetDebug(false);
    MxScreen1->SetBeepOnException(false);
    MxScreen1->OnInitialize = [this](TComponent*) { MxScreen1Initialize(); };
    MxScreen1->OnPaint = [this](TComponent*) { MxScreen1Paint(); };
    OnKeyPress = [this](TComponent*, char& key) { FormKeyPress(key); };
    MxScreen1->Loaded();
}

void TfrmDirectX::Activate() {
    // The screen starts on every activation. When it cannot, the placeholder closes and the
    // error is shown after it has gone: an error box over it would hand the activation back
    // to it when closed, and the screen would try again and fail again, for ever.
    try {
        TForm::Activate();
    } catch (...) {
        ui::Application().Post(
            [failure = std::current_exception()] { std::rethrow_exception(failure); });
        Close();
    }
}

void TfrmDirectX::DrawPlaceholder() {
    ui::TCanvas& canvas = MxScreen1->Back()->Canvas();
    canvas.Brush().Style = ui::TBrushStyle::Clear;
    canvas.Font().SetSize(24);
    canvas.Font().SetColor(RGB(255, 255, 255));
    canvas.TextOut(10, 20, "Quillet 0.0001");
    canvas.Font().SetColor(RGB(128, 128, 128));
    canvas.TextOut(8, 18, "Quillet 0.0001");
    canvas.Font().SetSize(8);
    canvas.Font().SetName("Small Fonts");
    canvas.Font().SetColor(RGB(255, 255, 0));
    canvas.TextOut(0, 50, "Emulation currently not available");
    canvas.TextOut(0, 60, "Press Escape to continue...");
    MxScreen1->Back()->Canvas().Release();
}

void TfrmDirectX::MxScreen1Initialize() {
    Show();
    DrawPlaceholder();
    MxScreen1->FadeOut(1);
    MxScreen1->Flip();
    MxScreen1->FadeIn(100);
}

void TfrmDirectX::MxScreen1Paint() {
    DrawPlaceholder();
    MxScreen1->Flip();
}

void TfrmDirectX::FormKeyPress(char& key) {
    if (key != 27)
        return;
    // The way back must always work: the display mode is left and the window closed even when
    // the fade fails, or when the screen never started and there is nothing to fade.
    try {
        if (MxScreen1->DirectDraw() != nullptr)
            MxScreen1->FadeOut(100);
    } catch (...) {
        MxScreen1->ShutDown();
        Close();
        throw;
    }
    MxScreen1->ShutDown();
    Close();
}

} // namespace quillet::app
