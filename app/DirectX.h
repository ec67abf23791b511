// The full-screen placeholder where the emulator will run: says it is not there yet.
#pragma once

#include "gamelib/Mx.h"
#include "ui/Forms.h"

#include <exception>

namespace quillet::app {

class TfrmDirectX : public ui::TForm {
public:
    explicit TfrmDirectX(TComponent* owner = nullptr);
    std::string ClassName() const override { return "TfrmDirectX"; }

    TMxScreen* MxScreen1 = nullptr;

    void MxScreen1Initialize();
    void MxScreen1Paint();
    void FormKeyPress(char& key);

protected:
    std::optional<LRESULT> HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    static constexpr UINT kShowStartFailure = WM_USER + 1;
    void DrawPlaceholder();
    std::exception_ptr startFailure_;
};

} // namespace quillet::app
