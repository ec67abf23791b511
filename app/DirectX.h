// The full-screen placeholder where the emulator will run: says it is not there yet.
#pragma once

#include "gamelib/Mx.h"
#include "ui/Forms.h"

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
    void Activate() override;

private:
    void DrawPlaceholder();
};

} // namespace quillet::app
